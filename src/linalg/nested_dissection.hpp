// Fill-reducing orderings of a sparse symmetric matrix computed on its compressed graph: one
// vertex per group of consecutive unknowns that share their pattern (the free dofs of one
// node), so that the graph ordered is some 36 times smaller than the matrix.
#pragma once

#include <cstdint>
#include <expected>
#include <vector>

#include "linalg/sparse_matrix.hpp"

namespace velm::linalg {

// The graph of a matrix's groups of unknowns, compressed sparse rows, zero-based, both
// directions of every edge, no self loops; weight[v] is the group's number of unknowns.
struct GroupGraph {
  std::vector<std::int32_t> starts;  // groups + 1
  std::vector<std::int32_t> neighbours;
  std::vector<std::int32_t> weight;

  std::int32_t vertices() const { return static_cast<std::int32_t>(weight.size()); }
};

// The graph of the groups that begin at `group_starts` (ascending first unknowns, zero-based;
// the last group ends at the matrix's order): two groups are adjacent where the matrix holds
// an entry between an unknown of each.
GroupGraph group_graph(const SparseSymmetricMatrix& matrix,
                       const std::vector<std::int32_t>& group_starts);

enum class OrderingFailure { out_of_memory, failed };

// A nested-dissection ordering of the graph's vertices: order[k] is the vertex eliminated k-th.
// The partitioner's random choices start from one fixed seed on every call, and calls are
// serialised, so the ordering depends on the graph alone, whichever thread asks.
std::expected<std::vector<std::int32_t>, OrderingFailure> nested_dissection(
    const GroupGraph& graph);

// The elimination position (one-based, as the sparse solver reads it) of every unknown when the
// groups are eliminated in `group_order` and the unknowns of a group one after the other.
std::vector<std::int32_t> unknown_positions(const std::vector<std::int32_t>& group_starts,
                                            std::int32_t size,
                                            const std::vector<std::int32_t>& group_order);

}  // namespace velm::linalg
