// What the harnesses share: which parsed documents are small enough to analyse many times a
// second.
#pragma once

#include <cstdint>

#include "model/velm.hpp"

namespace velm::fuzz {

// The largest node id at a member end: the order of the global matrices is six times it.
inline std::uint64_t largest_node_id(const model::VELM& model) {
  std::uint64_t largest = 0;
  for (const model::MemberSet& set : model.member_sets)
    for (const model::Member& member : set.members) {
      if (member.start_node.id > largest) largest = member.start_node.id;
      if (member.end_node.id > largest) largest = member.end_node.id;
    }
  return largest;
}

}  // namespace velm::fuzz
