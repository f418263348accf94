#include "listing/supports.hpp"

#include <algorithm>

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
  std::vector<std::vector<std::uint32_t>> applied(model.nodal_supports.size());
  const auto apply = [&](const model::Node& node) {
    if (!node.nodal_support) return;
    const auto entry = supports.find(*node.nodal_support);
    if (entry == supports.end()) return;
    constrain_dof(matrix, node.id, *entry->second);
    const auto position = static_cast<std::size_t>(entry->second - model.nodal_supports.data());
    if (position >= applied.size()) throw InternalFault(kIndexOutOfBounds);
    applied[position].push_back(node.id);
  };
  for (const model::MemberSet& set : model.member_sets) {
    for (const model::Member& member : set.members) {
      apply(member.start_node);
      apply(member.end_node);
    }
  }
  for (std::vector<std::uint32_t>& nodes : applied) {
    std::sort(nodes.begin(), nodes.end());
    nodes.erase(std::unique(nodes.begin(), nodes.end()), nodes.end());
  }
  return applied;
}

}  // namespace velm::listing
