// The loads of one result set of the engineering analysis: a load case's own, or a load
// combination's, each load case's loads times its factor.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "mechanics/member_loads.hpp"
#include "model/velm.hpp"
#include "frame/structure.hpp"

namespace velm::frame {

struct LoadSet {
  std::string label;  // "load case 2", "load combination 5"
  std::vector<std::pair<const model::NodalLoad*, double>> nodal;  // load and its factor
  // Line loads by member index, ascending, already factored, member axes.
  std::vector<std::size_t> line_members;
  std::vector<mechanics::MemberLoad> line_loads;

  // The loads of member m: a run of line_loads (found by binary search).
  std::span<const mechanics::MemberLoad> on_member(std::size_t m) const;
};

LoadSet case_loads(const Structure& structure, std::size_t case_index);
LoadSet combination_loads(const Structure& structure, const model::LoadCombination& combination);

}  // namespace velm::frame
