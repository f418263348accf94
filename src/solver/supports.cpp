#include "solver/supports.hpp"

#include <algorithm>
#include <string_view>

#include "base/internal_fault.hpp"

namespace velm::solver {

namespace {

constexpr std::string_view kFixed = "Fixed";

// 0, 1, 2 for the one-letter axis keys, -1 for anything else.
int axis_index(std::string_view key) {
  if (key == "X") return 0;
  if (key == "Y") return 1;
  if (key == "Z") return 2;
  return -1;
}

void mark_fixed(const model::ConditionMap& conditions, int first_dof, std::array<bool, 6>& fixed) {
  for (const auto& [key, value] : conditions) {
    const int axis = axis_index(key);
    if (axis >= 0 && value == kFixed) fixed[static_cast<std::size_t>(first_dof + axis)] = true;
  }
}

}  // namespace

std::array<bool, 6> fixed_dofs(const model::NodalSupport& support) {
  std::array<bool, 6> fixed{};
  mark_fixed(support.displacement_conditions, 0, fixed);
  mark_fixed(support.rotation_conditions, 3, fixed);
  return fixed;
}

void constrain_dof(GlobalMatrix& matrix, std::uint32_t node_id,
                   const model::NodalSupport& support) {
  if (node_id == 0) throw InternalFault(kIndexOutOfBounds);
  const std::array<bool, 6> fixed = fixed_dofs(support);
  const std::uint64_t first = 6 * (std::uint64_t{node_id} - 1);
  for (std::uint64_t k = 0; k < 6; ++k)
    if (fixed[k]) matrix.constrain(first + k);
}

std::vector<std::vector<std::uint32_t>> apply_supports(GlobalMatrix& matrix,
                                                       const model::VELM& model,
                                                       const SupportMap& supports) {
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

}  // namespace velm::solver
