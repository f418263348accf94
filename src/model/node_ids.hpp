// Node numbering of a model: the member end nodes must be numbered 1..N without gaps, so that
// node n owns the global dofs 6(n-1) .. 6(n-1)+5.
#pragma once

#include <cstdint>
#include <expected>
#include <string>
#include <vector>

#include "model/member.hpp"

namespace velm::model {

// Fails with "Node ID <i> is missing. Node IDs must be consecutive starting from 1." for the
// smallest id i below the largest one that no member end uses. Id 0 is ignored here.
std::expected<void, std::string> validate_node_ids(const std::vector<model::MemberSet>& sets);

// N: the largest node id at any member end, 0 without members.
std::uint32_t node_count(const std::vector<model::MemberSet>& sets);

// Node id 0 owns no dofs: fails naming the first member (in document order) with an end on it.
std::expected<void, std::string> reject_node_zero(const std::vector<model::MemberSet>& sets);

}  // namespace velm::model
