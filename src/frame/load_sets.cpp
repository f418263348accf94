#include "frame/load_sets.hpp"

#include <algorithm>
#include <numeric>

#include <fmt/format.h>

namespace velm::frame {

namespace {

void add_case(const Structure& structure, std::size_t c, double factor,
              std::vector<std::pair<std::size_t, mechanics::MemberLoad>>& lines, LoadSet& set) {
  for (const model::NodalLoad& load : structure.model->load_cases[c].nodal_loads)
    set.nodal.emplace_back(&load, factor);
  for (const MemberLineLoad& line : structure.line_loads[c]) {
    mechanics::MemberLoad scaled = line.load;
    scaled.q *= factor;
    lines.emplace_back(line.member, scaled);
  }
}

void finish(std::vector<std::pair<std::size_t, mechanics::MemberLoad>>& lines, LoadSet& set) {
  std::stable_sort(lines.begin(), lines.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  set.line_members.reserve(lines.size());
  set.line_loads.reserve(lines.size());
  for (const auto& [member, load] : lines) {
    set.line_members.push_back(member);
    set.line_loads.push_back(load);
  }
}

}  // namespace

std::span<const mechanics::MemberLoad> LoadSet::on_member(std::size_t m) const {
  const auto range = std::equal_range(line_members.begin(), line_members.end(), m);
  const auto first = static_cast<std::size_t>(range.first - line_members.begin());
  const auto count = static_cast<std::size_t>(range.second - range.first);
  return {line_loads.data() + first, count};
}

LoadSet case_loads(const Structure& structure, std::size_t case_index) {
  LoadSet set;
  set.label = fmt::format("load case {}", structure.model->load_cases[case_index].id);
  std::vector<std::pair<std::size_t, mechanics::MemberLoad>> lines;
  add_case(structure, case_index, 1.0, lines, set);
  finish(lines, set);
  return set;
}

LoadSet combination_loads(const Structure& structure, const model::LoadCombination& combination) {
  LoadSet set;
  set.label = fmt::format("load combination {}", combination.load_combination_id);
  std::vector<std::pair<std::size_t, mechanics::MemberLoad>> lines;
  const auto& cases = structure.model->load_cases;
  for (const auto& [case_id, factor] : combination.load_cases_factors)
    for (std::size_t c = 0; c < cases.size(); ++c)
      if (cases[c].id == case_id) add_case(structure, c, factor, lines, set);
  finish(lines, set);
  return set;
}

}  // namespace velm::frame
