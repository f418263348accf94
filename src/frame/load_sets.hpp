// The loads of one result set of the engineering analysis: a load case's own, or a load
// combination's, each load case's loads times its factor.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "base/error.hpp"
#include "base/monitor.hpp"
#include "frame/structure.hpp"
#include "linalg/types.hpp"
#include "mechanics/member_loads.hpp"

namespace velm::frame {

// A force on a node, global axes: FX FY FZ MX MY MZ (nodal loads carry no moments, nodal
// actions may).
struct NodalForce {
  std::uint32_t node = 0;  // 1..N
  linalg::Vector6 force = linalg::Vector6::Zero();
};

// The force of a nodal load times a factor: component k is factor * direction_k * magnitude,
// multiplied in that order, and exactly 0 where direction_k is 0.
linalg::Vector6 nodal_force(const NodalLoad& load, double factor);

struct LoadSet {
  std::string label;  // "load case 2", "load combination 5"
  // The nodal loads of its cases, then their nodal actions, factored, in the order of the cases
  // and then the document.
  std::vector<NodalForce> nodal;
  // Line loads by member index, ascending, already factored, member axes.
  std::vector<std::size_t> line_members;
  std::vector<mechanics::MemberLoad> line_loads;
  // Which of nodal and of line_loads are members' own weights (self_weight), 1 where one is;
  // empty, or shorter than the loads, where none is (beyond their end).
  std::vector<std::uint8_t> weight_nodal, weight_lines;
  bool is_weight_line(std::size_t i) const { return i < weight_lines.size() && weight_lines[i]; }
  bool is_weight_nodal(std::size_t i) const { return i < weight_nodal.size() && weight_nodal[i]; }
  // The enforced displacements, 6 per node, factored and summed over the cases (0 where none);
  // empty when no case imposes any.
  std::vector<double> imposed;

  // The loads of member m: a run of line_loads (found by binary search).
  std::span<const mechanics::MemberLoad> on_member(std::size_t m) const;
};

LoadSet case_loads(const Structure& structure, std::size_t case_index);
LoadSet combination_loads(const Structure& structure, const Combination& combination);

// The load sets of every result set: the load cases, then the combinations, document order.
std::vector<LoadSet> result_load_sets(const Structure& structure);
// The same, asking `monitor` between the sets whether to stop (then failing with cancelled).
base::Expected<std::vector<LoadSet>> result_load_sets(const Structure& structure,
                                                      base::Monitor& monitor);

}  // namespace velm::frame
