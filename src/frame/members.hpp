// The members of the engineering analysis: their properties and end connections from the
// model's tables, the coordinates of the nodes their ends give, and their axes and lengths.
#pragma once

#include <cstdint>
#include <vector>

#include "base/error.hpp"
#include "frame/checks.hpp"
#include "frame/structure.hpp"
#include "model/lookup_maps.hpp"
#include "model/velm.hpp"

namespace velm::frame {

// Every member in document order with its id, nodes, type, properties and end connections
// (axes and length are left for orient_members). Fails on a missing section, material or
// hinge, a non-positive or non-finite E, G, A, I_y, I_z or J, and a bad hinge value.
base::Expected<std::vector<StructureMember>> read_members(const model::VELM& model,
                                                          const model::LookupMaps& maps,
                                                          CheckProgress& progress);

// Coordinates of every node id, from the first member end that gives it; the other copies must
// agree with it within 1e-9 of the model's largest extent in each coordinate.
base::Expected<std::vector<double>> node_coordinates(const model::VELM& model,
                                                     std::uint32_t node_count,
                                                     CheckProgress& progress);

// The axes and length of every member from the coordinates, its reference node and its
// rotation angle. Fails on coincident ends and a reference node on the member's axis.
base::Expected<void> orient_members(const model::VELM& model, Structure& structure,
                                    CheckProgress& progress);

}  // namespace velm::frame
