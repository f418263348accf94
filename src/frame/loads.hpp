// The loads of the engineering analysis: every load case's nodal loads and its line loads in
// member axes, and every combination resolved to load case indices.
#pragma once

#include "base/error.hpp"
#include "frame/checks.hpp"
#include "frame/structure.hpp"
#include "model/velm.hpp"

namespace velm::frame {

// Fills load_cases (ids, names, nodal loads) and combinations, checking the nodal loads (node
// in the model, finite values) and the combinations (cases that exist, finite factors). The
// load case ids must be distinct (checked before).
base::Expected<void> read_loads(const model::VELM& model, Structure& structure,
                                CheckProgress& progress);

// Fills the line loads of every load case, located on their members and turned into member
// axes: needs the members with their axes and lengths.
base::Expected<void> read_line_loads(const model::VELM& model, Structure& structure,
                                     CheckProgress& progress);

}  // namespace velm::frame
