// Initial imperfections: the node positions each result set is analysed on.
//
// A load case has the imperfections of its own rotation_imperfections and
// translation_imperfections; a combination those of every imperfection case whose
// load_combinations name its load_combination_id (the rest of those embedded copies is not
// read), and not those of its load cases. An imperfection moves the nodes of the members of its
// member sets (the model's member sets whose id its embedded copies carry; their own members
// are not read), each node once per imperfection, by
//   rotation:     magnitude * (a x (x - p)),  a = axis / |axis|, p = point, magnitude in radians:
//                 the small-angle sway of the design codes (phi times the distance from the
//                 axis); to first order in the angle a rigid rotation of whatever it covers;
//   translation:  magnitude * a, magnitude a length;
// and by the sum over the imperfections of its result set. axis_only is not used.
#pragma once

#include <span>
#include <vector>

#include "base/error.hpp"
#include "frame/structure.hpp"
#include "model/velm.hpp"

namespace velm::frame {

// Per result set (the load cases, then the combinations, document order): the offsets X, Y, Z of
// every node (N x 3), or nothing when the result set has no imperfections. Fails (invalid_model,
// naming the imperfection case or load case and the imperfection) on a member set that is not in
// the model, a zero axis, or a non-finite magnitude, axis or point; every imperfection of the
// document is checked, used or not.
base::Expected<std::vector<std::vector<double>>> imperfection_offsets(const model::VELM& model,
                                                                      const Structure& structure);

// The structure with its nodes moved by `offsets` (N x 3): member lengths and axes follow (the
// axes turned by the least rotation that takes the old member axis to the new one, so that a
// section keeps its orientation), and line loads keep their global directions, their distances
// along the member and their magnitudes per unit length (a load reaching the old end reaches
// the new one). Fails (invalid_model) when a member's ends come together.
base::Expected<Structure> moved_structure(const Structure& structure,
                                          std::span<const double> offsets);

}  // namespace velm::frame
