// What every successful engineering analysis must satisfy, checked from its outputs and the
// model document alone (a second path beside the engine's own checks):
// - every number is finite, and every fixed dof has a displacement of exactly 0;
// - every node is in equilibrium: the forces its members take from it (their end forces,
//   turned into global axes) balance its nodal loads at its free dofs, and at its fixed dofs
//   leave over what the support records report as reactions (summed over their nodes);
// - every member is in equilibrium with its line loads: forces and moments about its start.
// Together these make the reactions balance the applied loads as a whole.
// Tolerances are relative to the size of the terms of each balance (normwise, per result set):
// 1e-4, ten times what the engine allows its own results before it refuses them.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "engineering/static_results.hpp"
#include "model/velm.hpp"

namespace velm::fuzz {

namespace detail {

using Vec3 = std::array<double, 3>;

inline Vec3 cross(const Vec3& a, const Vec3& b) {
  return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

// Local components (x, y, z of the member) turned into global ones: the axes' rows are the
// local axes in global components, so global = A^T local.
inline Vec3 to_global(const double* axes, const double* local) {
  Vec3 g{};
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) g[static_cast<std::size_t>(j)] += axes[3 * i + j] * local[i];
  return g;
}

// Relative size of a misfit against the terms it is made of.
inline bool fits(double misfit, double scale) {
  return std::abs(misfit) <= 1e-4 * scale + 1e-290;
}

}  // namespace detail

// The loads of one result set: per node (6N, forces only) and per member (the line loads in
// global axes with their factors), as the model document states them.
struct SetLoads {
  std::vector<double> nodal;
  struct Line {
    std::size_t member;
    detail::Vec3 w;  // force per length, global
    double start, end;
  };
  std::vector<Line> lines;
};

inline SetLoads set_loads(const model::VELM& model, const engineering::StaticAnalysis& analysis,
                          const std::vector<std::pair<std::size_t, double>>& cases) {
  SetLoads loads;
  loads.nodal.assign(6 * analysis.node_count, 0.0);
  std::unordered_map<std::uint32_t, std::size_t> member_index;
  for (std::size_t m = 0; m < analysis.member_ids.size(); ++m)
    member_index.emplace(analysis.member_ids[m], m);
  for (const auto& [c, factor] : cases) {
    const model::LoadCase& load_case = model.load_cases[c];
    for (const model::NodalLoad& load : load_case.nodal_loads)
      for (std::size_t k = 0; k < 3; ++k)
        if (load.direction[k] != 0.0 && load.node >= 1 && load.node <= analysis.node_count)
          loads.nodal[6 * (load.node - 1) + k] += factor * load.direction[k] * load.magnitude;
    for (const model::LineLoad& line : load_case.line_loads) {
      const auto found = member_index.find(line.member.id);
      if (found == member_index.end() || line.start_pos == line.end_pos) continue;
      const double length = analysis.member_lengths[found->second];
      loads.lines.push_back({found->second,
                             {factor * line.magnitude * line.direction[0],
                              factor * line.magnitude * line.direction[1],
                              factor * line.magnitude * line.direction[2]},
                             std::clamp(line.start_pos, 0.0, length),
                             std::clamp(line.end_pos, 0.0, length)});
    }
  }
  return loads;
}

// Null when the result set holds; else what fails.
inline std::optional<std::string> check_result_set(const model::VELM& model,
                                                   const engineering::StaticAnalysis& a,
                                                   const engineering::ResultSet& set,
                                                   const SetLoads& loads) {
  using detail::fits;
  using detail::Vec3;
  const std::size_t nodes = a.node_count;
  const std::size_t members = a.member_ids.size();
  const std::string which = set.name + " (" + std::to_string(set.id) + ")";
  // A result set that failed on its own says why and carries no results.
  if (set.error)
    return set.error->empty() || !set.displacements.empty() || !set.end_forces.empty()
               ? std::optional<std::string>(which + ": a failed result set without its text or "
                                                    "with results")
               : std::nullopt;
  for (const std::vector<double>* values : {&set.displacements, &set.reactions, &set.end_forces,
                                            &set.internal_forces, &set.internal_force_extremes})
    for (const double v : *values)
      if (!std::isfinite(v)) return which + ": a result is not finite";
  for (std::size_t i = 0; i < 6 * nodes; ++i)
    if (a.restraints[i] && set.displacements[i] != 0.0)
      return which + ": a fixed dof moves, node " + std::to_string(i / 6 + 1);

  // What the members take from each node, and the size of the terms.
  std::vector<double> taken(6 * nodes, 0.0), size(6 * nodes, 0.0);
  double largest = 0.0;
  for (std::size_t m = 0; m < members; ++m) {
    const double* axes = &a.member_axes[9 * m];
    const double* f = &set.end_forces[12 * m];
    for (int b = 0; b < 4; ++b) {
      const Vec3 g = detail::to_global(axes, f + 3 * b);
      const std::size_t node = a.member_nodes[m][b < 2 ? 0 : 1];
      for (std::size_t k = 0; k < 3; ++k) {
        const std::size_t i = 6 * (node - 1) + 3 * static_cast<std::size_t>(b % 2) + k;
        taken[i] += g[k];
        size[i] += std::abs(g[k]);
      }
    }
  }
  for (std::size_t i = 0; i < 6 * nodes; ++i) {
    size[i] += std::abs(loads.nodal[i]);
    largest = std::max(largest, size[i]);
  }
  // Free dofs balance; fixed ones leave the reaction, summed per support record.
  std::unordered_map<std::uint32_t, std::size_t> record_row;
  for (std::size_t r = 0; r < a.support_ids.size(); ++r) record_row.emplace(a.support_ids[r], r);
  std::vector<std::int64_t> node_record(nodes, -1);
  for (const model::MemberSet& member_set : model.member_sets)
    for (const model::Member& member : member_set.members)
      for (const model::Node* node : {&member.start_node, &member.end_node})
        if (node->nodal_support && node->id >= 1 && node->id <= nodes)
          if (const auto row = record_row.find(*node->nodal_support); row != record_row.end())
            node_record[node->id - 1] = static_cast<std::int64_t>(row->second);
  std::vector<double> reacted(set.reactions.size(), 0.0);
  for (std::size_t i = 0; i < 6 * nodes; ++i) {
    const double misfit = taken[i] - loads.nodal[i];
    if (!a.restraints[i]) {
      if (!fits(misfit, largest))
        return which + ": node " + std::to_string(i / 6 + 1) + " is not in equilibrium";
    } else if (const std::int64_t r = node_record[i / 6]; r >= 0) {
      reacted[6 * static_cast<std::size_t>(r) + i % 6] += misfit;
    }
  }
  for (std::size_t i = 0; i < reacted.size(); ++i)
    if (!fits(reacted[i] - set.reactions[i], largest))
      return which + ": the reactions of support " + std::to_string(a.support_ids[i / 6]) +
             " do not balance its nodes";

  // Each member with its line loads: forces, and moments about its start.
  std::vector<std::vector<const SetLoads::Line*>> on_member(members);
  for (const SetLoads::Line& line : loads.lines) on_member[line.member].push_back(&line);
  const bool inactive_listed = !set.inactive_members.empty();
  for (std::size_t m = 0; m < members; ++m) {
    if (inactive_listed && std::find(set.inactive_members.begin(), set.inactive_members.end(),
                                     a.member_ids[m]) != set.inactive_members.end())
      continue;
    const double* axes = &a.member_axes[9 * m];
    const double* f = &set.end_forces[12 * m];
    const double length = a.member_lengths[m];
    const Vec3 x{axes[0], axes[1], axes[2]};
    const Vec3 fs = detail::to_global(axes, f), ms = detail::to_global(axes, f + 3);
    const Vec3 fe = detail::to_global(axes, f + 6), me = detail::to_global(axes, f + 9);
    Vec3 force{}, moment{}, force_size{}, moment_size{};
    const Vec3 arm_e{length * x[0], length * x[1], length * x[2]};
    const Vec3 m_fe = detail::cross(arm_e, fe);
    for (std::size_t k = 0; k < 3; ++k) {
      force[k] = fs[k] + fe[k];
      force_size[k] = std::abs(fs[k]) + std::abs(fe[k]);
      moment[k] = ms[k] + me[k] + m_fe[k];
      moment_size[k] = std::abs(ms[k]) + std::abs(me[k]) + std::abs(m_fe[k]);
    }
    for (const SetLoads::Line* line : on_member[m]) {
      const double span = line->end - line->start, centre = 0.5 * (line->start + line->end);
      const Vec3 total{line->w[0] * span, line->w[1] * span, line->w[2] * span};
      const Vec3 arm{centre * x[0], centre * x[1], centre * x[2]};
      const Vec3 m_total = detail::cross(arm, total);
      for (std::size_t k = 0; k < 3; ++k) {
        force[k] += total[k];
        force_size[k] += std::abs(total[k]);
        moment[k] += m_total[k];
        moment_size[k] += std::abs(m_total[k]);
      }
    }
    const double scale_f = std::max({force_size[0], force_size[1], force_size[2], largest});
    const double scale_m =
        std::max({moment_size[0], moment_size[1], moment_size[2], largest * length});
    // In second order the moments balance about the deformed member, not the undeformed one.
    const bool moments_balance = set.order == 1;
    for (std::size_t k = 0; k < 3; ++k)
      if (!fits(force[k], scale_f) || (moments_balance && !fits(moment[k], scale_m)))
        return which + ": member " + std::to_string(a.member_ids[m]) +
               " is not in equilibrium with its loads";
  }
  return std::nullopt;
}

// Null when every result set of the analysis holds; else what fails first.
inline std::optional<std::string> check_results(const model::VELM& model,
                                                const engineering::StaticAnalysis& a) {
  std::unordered_map<std::uint32_t, std::size_t> case_index;
  for (std::size_t c = 0; c < model.load_cases.size(); ++c)
    case_index.emplace(model.load_cases[c].id, c);
  for (std::size_t c = 0; c < a.load_cases.size(); ++c)
    if (auto fault = check_result_set(model, a, a.load_cases[c], set_loads(model, a, {{c, 1.0}})))
      return fault;
  for (std::size_t s = 0; s < a.combinations.size(); ++s) {
    std::vector<std::pair<std::size_t, double>> cases;
    for (const auto& [id, factor] : model.load_combinations[s].load_cases_factors)
      if (const auto found = case_index.find(id); found != case_index.end())
        cases.emplace_back(found->second, factor);
    if (auto fault = check_result_set(model, a, a.combinations[s], set_loads(model, a, cases)))
      return fault;
  }
  return std::nullopt;
}

}  // namespace velm::fuzz
