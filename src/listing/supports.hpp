// Nodal supports: which dofs a support record fixes, and their application to the global
// matrix through the member end nodes that name them.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "model/velm.hpp"
#include "listing/global_matrix.hpp"
#include "model/lookup_maps.hpp"
#include "model/support_dofs.hpp"

namespace velm::listing {

// Fixes in `matrix` every dof of node `node_id` that the support fixes.
void constrain_dof(GlobalMatrix& matrix, std::uint32_t node_id, const model::NodalSupport& support);

// Walks the member ends in document order (start node, then end node) and applies the support
// each one names, when the map holds it. Returns, per entry of model.nodal_supports, the
// distinct node ids (ascending) to which that very record was applied; a record shadowed by a
// later one with the same id gets none.
std::vector<std::vector<std::uint32_t>> apply_supports(GlobalMatrix& matrix,
                                                       const model::VELM& model,
                                                       const model::SupportMap& supports);

}  // namespace velm::listing
