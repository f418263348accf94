// The unknowns of the engineering analysis: the dofs that no support fixes. Fixed dofs are not
// unknowns: they are eliminated from the system, so their displacement is exactly zero.
//
// The unknowns are numbered node by node in the order of the nodes' coordinates (Z, then Y,
// then X, then id), not in the order of their ids: the fill-reducing ordering of the solver
// breaks its ties by the input order, so a numbering that depends only on the geometry makes a
// model cost the same however its nodes are numbered.
#pragma once

#include <cstdint>
#include <vector>

namespace velm::system {

struct DofNumbering {
  std::vector<std::int64_t> index;  // per node dof (6N): the unknown's index, or -1 when fixed
  std::vector<std::int64_t> first;  // per node: index of its first unknown (they are consecutive)
  std::vector<std::uint8_t> free;   // per node: how many unknowns it has
  std::vector<std::uint32_t> node_of;  // per unknown: its node id

  std::int64_t count() const { return static_cast<std::int64_t>(node_of.size()); }
  // Whether node a (zero-based) comes before node b in the numbering.
  bool before(std::size_t a, std::size_t b) const {
    return first[a] < first[b] || (first[a] == first[b] && a < b);
  }
};

// From the dofs that are no unknowns (6 per node, non-zero where eliminated) and the
// coordinates (3 per node).
DofNumbering number_dofs(const std::vector<std::uint8_t>& restraints,
                         const std::vector<double>& coordinates);

}  // namespace velm::system
