#include "frame/loads.hpp"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <unordered_map>

#include "frame/checks.hpp"

namespace velm::frame {

namespace {

const char* type_name(model::MemberType type) {
  switch (type) {
    case model::MemberType::Normal:
      return "normal";
    case model::MemberType::Truss:
      return "truss";
    case model::MemberType::Tension:
      return "tension-only";
    case model::MemberType::Compression:
      return "compression-only";
    case model::MemberType::Rigid:
      return "rigid";
  }
  return "normal";
}

}  // namespace

const model::LoadCaseExtension* case_extension(const model::Extensions& extensions, std::size_t c) {
  return extensions.load_cases && c < extensions.load_cases->size() ? &(*extensions.load_cases)[c]
                                                                    : nullptr;
}

std::optional<bool> local_axes(const std::optional<std::string>& axes) {
  if (!axes || *axes == "global") return false;
  if (*axes == "local") return true;
  return std::nullopt;
}

const char* member_type_name(model::MemberType type) {
  return type_name(type);
}

base::Expected<void> read_loads(const model::VELM& model, Structure& structure,
                                CheckProgress& progress) {
  const std::uint32_t node_count = structure.node_count;
  std::unordered_map<std::uint32_t, std::size_t> case_index;
  case_index.reserve(model.load_cases.size());
  structure.load_cases.resize(model.load_cases.size());
  for (std::size_t c = 0; c < model.load_cases.size(); ++c) {
    const model::LoadCase& load_case = model.load_cases[c];
    case_index.emplace(load_case.id, c);
    LoadCase& into = structure.load_cases[c];
    into.id = load_case.id;
    into.name = load_case.name;
    into.nodal_loads.reserve(load_case.nodal_loads.size());
    if (!progress.keep_going()) return cancelled();
    for (const model::NodalLoad& load : load_case.nodal_loads) {
      if (!progress.keep_going()) return cancelled();
      if (load.node == 0 || load.node > node_count)
        return invalid(fmt::format(
            "Nodal load {} of load case {} acts on node {}, which is not a node of the model{}.",
            load.id, load_case.id, load.node,
            node_count == 0 ? " (the model has no nodes)"
                            : fmt::format(" (nodes 1 to {})", node_count)));
      if (!std::isfinite(load.magnitude) || !std::isfinite(load.direction[0]) ||
          !std::isfinite(load.direction[1]) || !std::isfinite(load.direction[2]))
        return invalid(
            fmt::format("Nodal load {} of load case {} has a non-finite magnitude or direction.",
                        load.id, load_case.id));
      into.nodal_loads.push_back(
          {load.node, {load.direction[0], load.direction[1], load.direction[2]}, load.magnitude});
    }
  }
  structure.combinations.reserve(model.load_combinations.size());
  for (const model::LoadCombination& combination : model.load_combinations) {
    if (!progress.keep_going()) return cancelled();
    Combination& into = structure.combinations.emplace_back();
    into.id = combination.load_combination_id;
    into.name = combination.name;
    into.terms.reserve(combination.load_cases_factors.size());
    for (const auto& [case_id, factor] : combination.load_cases_factors) {
      const auto entry = case_index.find(case_id);
      if (entry == case_index.end())
        return invalid(fmt::format("Load combination {} names load case {}, which does not exist.",
                                   combination.load_combination_id, case_id));
      if (!std::isfinite(factor))
        return invalid(fmt::format("Load combination {} has a non-finite factor for load case {}.",
                                   combination.load_combination_id, case_id));
      into.terms.push_back({entry->second, factor});
    }
  }
  return {};
}

base::Expected<void> read_line_loads(const model::VELM& model, const model::Extensions& extensions,
                                     Structure& structure, CheckProgress& progress) {
  std::unordered_map<std::uint32_t, std::size_t> by_id;
  by_id.reserve(structure.members.size());
  for (std::size_t m = 0; m < structure.members.size(); ++m)
    by_id.emplace(structure.members[m].id, m);
  for (std::size_t c = 0; c < model.load_cases.size(); ++c) {
    const model::LoadCase& load_case = model.load_cases[c];
    if (!progress.keep_going()) return cancelled();
    const model::LoadCaseExtension* extended = case_extension(extensions, c);
    const std::vector<model::LineLoadExtension>* more =
        extended && extended->line_loads ? &*extended->line_loads : nullptr;
    for (std::size_t i = 0; i < load_case.line_loads.size(); ++i) {
      const model::LineLoad& line = load_case.line_loads[i];
      const model::LineLoadExtension* added = more && i < more->size() ? &(*more)[i] : nullptr;
      if (!progress.keep_going()) return cancelled();
      const std::uint32_t id = line.member.id;
      const auto entry = by_id.find(id);
      if (entry == by_id.end())
        return invalid(fmt::format(
            "Load case {} has a line load on member {}, which is not a member of the model.",
            load_case.id, id));
      const StructureMember& m = structure.members[entry->second];
      if (!std::isfinite(line.magnitude) || !std::isfinite(line.direction[0]) ||
          !std::isfinite(line.direction[1]) || !std::isfinite(line.direction[2]) ||
          !std::isfinite(line.start_pos) || !std::isfinite(line.end_pos) ||
          (added && added->end_magnitude && !std::isfinite(*added->end_magnitude)))
        return invalid(
            fmt::format("Load case {} has a line load on member {} with a non-finite value.",
                        load_case.id, id));
      const auto local = local_axes(added ? added->axes : std::nullopt);
      if (!local)
        return invalid(fmt::format(
            "Load case {} has a line load on member {} with axes \"{}\": it must be \"global\" "
            "or \"local\".",
            load_case.id, id, *added->axes));
      if (line.start_pos > line.end_pos)
        return invalid(fmt::format(
            "Load case {} has a line load on member {} from {} to {}: its start_pos must not "
            "exceed its end_pos.",
            load_case.id, id, line.start_pos, line.end_pos));
      const double slack = 1e-9 * m.length;
      if (line.start_pos < -slack || line.end_pos > m.length + slack)
        return invalid(fmt::format(
            "Load case {} has a line load on member {} from {} to {}, outside the member "
            "(length {}).",
            load_case.id, id, line.start_pos, line.end_pos, m.length));
      if (line.start_pos == line.end_pos) continue;
      if (m.switching() || m.type == model::MemberType::Rigid)
        return invalid(
            fmt::format("Member {} is a {} member and cannot carry the line load of load case {}.",
                        id, type_name(m.type), load_case.id));
      const linalg::Vector3 global{line.magnitude * line.direction[0],
                                   line.magnitude * line.direction[1],
                                   line.magnitude * line.direction[2]};
      MemberLineLoad& load = structure.load_cases[c].line_loads.emplace_back();
      load.member = entry->second;
      load.load.start = std::clamp(line.start_pos, 0.0, m.length);
      load.load.end = std::clamp(line.end_pos, 0.0, m.length);
      load.load.q = *local ? global : (m.axes * global).eval();
      if (added && added->end_magnitude) {
        const double change = *added->end_magnitude - line.magnitude;
        const linalg::Vector3 d{change * line.direction[0], change * line.direction[1],
                                change * line.direction[2]};
        load.load.dq = *local ? d : (m.axes * d).eval();
      }
    }
  }
  return {};
}

}  // namespace velm::frame
