#include "listing/supports.hpp"

#include <utility>

#include "base/internal_fault.hpp"

namespace velm::listing {

void constrain_dof(GlobalMatrix& matrix, std::uint32_t node_id,
                   const model::NodalSupport& support) {
  if (node_id == 0) throw InternalFault(kIndexOutOfBounds);
  const std::array<bool, 6> fixed = model::fixed_dofs(support);
  const std::uint64_t first = 6 * (std::uint64_t{node_id} - 1);
  for (std::uint64_t k = 0; k < 6; ++k)
    if (fixed[k]) matrix.constrain(first + k);
}

std::vector<std::vector<std::uint32_t>> apply_supports(GlobalMatrix& matrix,
                                                       const model::VELM& model,
                                                       const model::SupportMap& supports) {
  model::SupportedNodes found = model::supported_nodes(model, supports);
  if (found.nodes.size() != model.nodal_supports.size()) throw InternalFault(kIndexOutOfBounds);
  for (std::size_t i = 0; i < found.nodes.size(); ++i)
    for (const std::uint32_t node : found.nodes[i])
      constrain_dof(matrix, node, model.nodal_supports[i]);
  return std::move(found.nodes);
}

}  // namespace velm::listing
