#include "model/support_dofs.hpp"

#include <algorithm>
#include <string_view>

namespace velm::model {

namespace {

constexpr std::string_view kFixed = "Fixed";

// 0, 1, 2 for the one-letter axis keys, -1 for anything else.
int axis_index(std::string_view key) {
  if (key == "X") return 0;
  if (key == "Y") return 1;
  if (key == "Z") return 2;
  return -1;
}

void mark_fixed(const ConditionMap& conditions, int first_dof, std::array<bool, 6>& fixed) {
  for (const auto& [key, value] : conditions) {
    const int axis = axis_index(key);
    if (axis >= 0 && value == kFixed) fixed[static_cast<std::size_t>(first_dof + axis)] = true;
  }
}

}  // namespace

std::array<bool, 6> fixed_dofs(const NodalSupport& support) {
  std::array<bool, 6> fixed{};
  mark_fixed(support.displacement_conditions, 0, fixed);
  mark_fixed(support.rotation_conditions, 3, fixed);
  return fixed;
}

SupportedNodes supported_nodes(const VELM& model, const SupportMap& supports) {
  SupportedNodes found;
  found.nodes.resize(model.nodal_supports.size());
  for (const MemberSet& set : model.member_sets) {
    for (const Member& member : set.members) {
      for (const Node* node : {&member.start_node, &member.end_node}) {
        if (!node->nodal_support) continue;
        const auto entry = supports.find(*node->nodal_support);
        if (entry == supports.end()) {
          if (!found.unknown) found.unknown = {node->id, member.id, *node->nodal_support};
          continue;
        }
        const auto position = static_cast<std::size_t>(entry->second - model.nodal_supports.data());
        found.nodes[position].push_back(node->id);
      }
    }
  }
  for (std::vector<std::uint32_t>& nodes : found.nodes) {
    std::sort(nodes.begin(), nodes.end());
    nodes.erase(std::unique(nodes.begin(), nodes.end()), nodes.end());
  }
  return found;
}

}  // namespace velm::model
