#include "frame/load_sets.hpp"

#include <algorithm>

#include <fmt/format.h>

namespace velm::frame {

namespace {

// A member load of the set with its member and whether it is a member's own weight.
struct Line {
  std::size_t member = 0;
  mechanics::MemberLoad load;
  bool weight = false;
};
using Lines = std::vector<Line>;

void add_case(const Structure& structure, const LoadCase& load_case, double factor, Lines& lines,
              LoadSet& set) {
  for (const NodalLoad& load : load_case.nodal_loads)
    set.nodal.push_back({load.node, nodal_force(load, factor)});
  for (const NodalAction& action : load_case.nodal_actions) {
    if (action.weight) set.weight_nodal.resize(set.nodal.size() + 1, 0);
    set.nodal.push_back({action.node, factor * action.action});
    if (action.weight) set.weight_nodal.back() = 1;
  }
  for (const MemberLineLoad& line : load_case.line_loads) {
    mechanics::MemberLoad scaled = line.load;
    scaled.q *= factor;
    if (scaled.varying()) scaled.dq *= factor;
    lines.push_back({line.member, scaled, line.weight});
  }
  if (!load_case.imposed.empty() && set.imposed.empty())
    set.imposed.assign(6 * std::size_t{structure.node_count}, 0.0);
  for (const ImposedDisplacement& d : load_case.imposed)
    set.imposed[6 * (d.node - std::size_t{1}) + static_cast<std::size_t>(d.dof)] +=
        factor * d.value;
}

void finish(Lines& lines, LoadSet& set) {
  std::stable_sort(lines.begin(), lines.end(),
                   [](const Line& a, const Line& b) { return a.member < b.member; });
  set.line_members.reserve(lines.size());
  set.line_loads.reserve(lines.size());
  for (std::size_t i = 0; i < lines.size(); ++i) {
    set.line_members.push_back(lines[i].member);
    set.line_loads.push_back(lines[i].load);
    if (lines[i].weight) {
      set.weight_lines.resize(lines.size(), 0);
      set.weight_lines[i] = 1;
    }
  }
}

}  // namespace

linalg::Vector6 nodal_force(const NodalLoad& load, double factor) {
  linalg::Vector6 f = linalg::Vector6::Zero();
  for (std::size_t axis = 0; axis < 3; ++axis)
    if (load.direction[axis] != 0.0)
      f(static_cast<Eigen::Index>(axis)) = factor * load.direction[axis] * load.magnitude;
  return f;
}

std::span<const mechanics::MemberLoad> LoadSet::on_member(std::size_t m) const {
  const auto range = std::equal_range(line_members.begin(), line_members.end(), m);
  const auto first = static_cast<std::size_t>(range.first - line_members.begin());
  const auto count = static_cast<std::size_t>(range.second - range.first);
  return {line_loads.data() + first, count};
}

LoadSet case_loads(const Structure& structure, std::size_t case_index) {
  const LoadCase& load_case = structure.load_cases[case_index];
  LoadSet set;
  set.label = fmt::format("load case {}", load_case.id);
  Lines lines;
  add_case(structure, load_case, 1.0, lines, set);
  finish(lines, set);
  return set;
}

LoadSet combination_loads(const Structure& structure, const Combination& combination) {
  LoadSet set;
  set.label = fmt::format("load combination {}", combination.id);
  Lines lines;
  for (const Combination::Term& term : combination.terms)
    add_case(structure, structure.load_cases[term.load_case], term.factor, lines, set);
  finish(lines, set);
  return set;
}

std::vector<LoadSet> result_load_sets(const Structure& structure) {
  base::Monitor quiet;
  return *result_load_sets(structure, quiet);
}

base::Expected<std::vector<LoadSet>> result_load_sets(const Structure& structure,
                                                      base::Monitor& monitor) {
  std::vector<LoadSet> sets;
  sets.reserve(structure.result_set_count());
  for (std::size_t c = 0; c < structure.load_cases.size(); ++c) {
    if (monitor.stop_requested()) return base::fail(base::ErrorCode::cancelled);
    sets.push_back(case_loads(structure, c));
  }
  for (const Combination& combination : structure.combinations) {
    if (monitor.stop_requested()) return base::fail(base::ErrorCode::cancelled);
    sets.push_back(combination_loads(structure, combination));
  }
  return sets;
}

}  // namespace velm::frame
