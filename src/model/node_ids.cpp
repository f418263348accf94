#include "model/node_ids.hpp"

#include <algorithm>
#include <unordered_set>

namespace velm::model {

std::expected<void, std::string> validate_node_ids(const std::vector<model::MemberSet>& sets) {
  std::unordered_set<std::uint32_t> ids;
  std::uint32_t largest = 0;
  for (const model::MemberSet& set : sets) {
    for (const model::Member& member : set.members) {
      ids.insert(member.start_node.id);
      ids.insert(member.end_node.id);
      largest = std::max({largest, member.start_node.id, member.end_node.id});
    }
  }
  // 64-bit counter: the largest id may be the largest 32-bit value.
  for (std::uint64_t i = 1; i <= largest; ++i) {
    if (!ids.contains(static_cast<std::uint32_t>(i)))
      return std::unexpected("Node ID " + std::to_string(i) +
                             " is missing. Node IDs must be consecutive starting from 1.");
  }
  return {};
}

std::uint32_t node_count(const std::vector<model::MemberSet>& sets) {
  std::uint32_t count = 0;
  for (const model::MemberSet& set : sets)
    for (const model::Member& member : set.members)
      count = std::max({count, member.start_node.id, member.end_node.id});
  return count;
}

std::expected<void, std::string> reject_node_zero(const std::vector<model::MemberSet>& sets) {
  for (const model::MemberSet& set : sets) {
    for (const model::Member& member : set.members) {
      const bool at_start = member.start_node.id == 0;
      if (at_start || member.end_node.id == 0)
        return std::unexpected("Member " + std::to_string(member.id) + " has node ID 0 at its " +
                               (at_start ? "start" : "end") + "; node IDs must start from 1.");
    }
  }
  return {};
}

}  // namespace velm::model
