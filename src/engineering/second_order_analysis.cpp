#include "engineering/second_order_analysis.hpp"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <optional>

#include "engineering/active_set_analysis.hpp"
#include "engineering/buckling_analysis.hpp"
#include "engineering/result_recovery.hpp"
#include "engineering/stop_only.hpp"
#include "system/assembly.hpp"
#include "system/elastic_supports.hpp"
#include "system/factorisation.hpp"

namespace velm::engineering {

namespace {

// The largest |a_i - b_i| against the largest |b_i|: at most `tolerance`, or both all zero.
bool settled(std::span<const double> a, std::span<const double> b, double tolerance) {
  double change = 0.0, size = 0.0;
  for (std::size_t i = 0; i < a.size(); ++i) {
    change = std::max(change, std::abs(a[i] - b[i]));
    size = std::max(size, std::abs(b[i]));
  }
  return change <= tolerance * size;
}

// Whether a member in compression is beyond the first critical load of the member with both
// ends held (N L^2 / EI = -4 pi^2 in a bending plane), or its released ends let it buckle with
// its nodes held: either makes the structure unstable, whatever its nodes do.
bool buckles_between_nodes(const frame::StructureMember& member,
                           const system::ElementData& element) {
  if (member.axial_only() || element.axial_force >= 0.0) return false;
  if (element.condensation.buckles_between_nodes()) return true;
  const double least_i = std::min(member.properties.i_y, member.properties.i_z);
  const double rho =
      element.axial_force * member.length * member.length / (member.properties.e_mod * least_i);
  return rho <= -4.0 * std::numbers::pi * std::numbers::pi;
}

}  // namespace

std::vector<double> member_axial_forces(std::span<const double> end_forces) {
  std::vector<double> forces(end_forces.size() / 12);
  for (std::size_t m = 0; m < forces.size(); ++m)
    forces[m] = 0.5 * (end_forces[12 * m + 6] - end_forces[12 * m]);
  return forces;
}

SetOutcome analyse_second_order(const system::DiscreteModel& model, const frame::LoadSet& set,
                                const AnalysisOptions& options, base::Monitor& monitor,
                                bool report_stages, ResultSet& out) {
  const frame::Structure& structure = model.structure;
  const std::size_t members = structure.members.size();
  StopOnly quiet(monitor);
  std::vector<std::uint8_t> active(members, 1);
  std::vector<double> solution(model.unknowns()), previous;
  std::vector<double> axial, first_order_axial;
  std::vector<std::uint8_t> first_order_active;
  std::vector<system::ElementData> elements;
  out.order = 2;

  // The loads exceed the elastic critical load: alpha_cr of the first-order axial forces.
  const auto beyond_critical = [&]() -> SetOutcome {
    auto buckling = critical_load_factors(model, first_order_active, first_order_axial, 1, quiet);
    if (!buckling) {
      if (!belongs_to_set(buckling.error())) return std::unexpected(std::move(buckling.error()));
      return set_failure(base::ErrorCode::unstable,
                         "the loads exceed the elastic critical load of the structure");
    }
    if (buckling->factors.empty())
      return set_failure(base::ErrorCode::unstable,
                         "the loads exceed the elastic critical load of the structure");
    return set_failure(base::ErrorCode::unstable,
                       fmt::format("the loads exceed the elastic critical load of the structure "
                                   "(alpha_cr = {:.3g})",
                                   buckling->factors.front()));
  };

  // The tangent stiffness, factorised when the members switch, at the first tangent round, and
  // whenever the rounds stop closing in fast: the other rounds correct the displacements with
  // it, du = K_T^-1 (F(N) - K_T(N) u), which settles at the same solution.
  std::optional<system::Factorisation> factor;
  bool refactorise = true;
  double last_step = 0.0;
  std::vector<double> loads(model.unknowns());
  for (int round = 0; round < kMaxSecondOrderRounds; ++round) {
    base::Monitor& told = report_stages && round == 0 ? monitor : quiet;
    const bool tangent = round > 0;
    if (tangent) {
      elements.clear();
      elements.reserve(members);
      for (std::size_t m = 0; m < members; ++m) {
        const frame::StructureMember& member = structure.members[m];
        if (member.type == model::MemberType::Rigid || !active[m]) {
          elements.push_back(model.elements[m]);
          continue;
        }
        elements.push_back(
            system::second_order_element_data(structure, model.dofs, member, axial[m]));
        if (buckles_between_nodes(member, elements.back())) return beyond_critical();
      }
    }
    const std::span<const system::ElementData> used =
        tangent ? std::span<const system::ElementData>(elements) : model.elements;
    std::fill(loads.begin(), loads.end(), 0.0);
    if (auto loaded = system::assemble_loads(model, used, set, loads.data(), &active); !loaded)
      return std::unexpected(std::move(loaded.error()));
    if (refactorise || !factor) {
      factor.reset();
      auto stiffness = system::assemble_stiffness(model, used, active, told);
      if (!stiffness) return std::unexpected(std::move(stiffness.error()));
      auto made = system::Factorisation::of(std::move(*stiffness), model.dofs, told);
      if (!made && (made.error().code != base::ErrorCode::unstable || round == 0))
        return std::unexpected(std::move(made.error()));
      if (!made || (tangent && made->negative_pivots() > 0)) {
        // Not positive definite: beyond the critical load, unless the members switched off
        // leave a mechanism whatever the axial forces.
        if (std::ranges::all_of(active, [](std::uint8_t on) { return on != 0; }))
          return beyond_critical();
        auto elastic = system::assemble_stiffness(model, active, quiet);
        if (!elastic) return std::unexpected(std::move(elastic.error()));
        auto plain = system::Factorisation::of(std::move(*elastic), model.dofs, quiet);
        if (plain) return beyond_critical();
        if (plain.error().code != base::ErrorCode::unstable)
          return std::unexpected(std::move(plain.error()));
        return set_failure(base::ErrorCode::unstable,
                           fmt::format("once its tension-only and compression-only members "
                                       "switch off, the structure is unstable: {}",
                                       plain.error().detail));
      }
      factor.emplace(std::move(*made));
      refactorise = !tangent;  // the first-order factor serves one round only
    }
    // The residual of the round's stiffness at the current displacements (the loads less what
    // the members take, k u; the fixed-end forces are in the loads), then the step.
    std::vector<double> step = loads;
    if (round > 0) {
      system::subtract_member_forces(
          model, used, member_end_forces(model, used, nullptr, solution.data(), active), active,
          step.data());
      system::subtract_spring_forces(model, solution.data(), step.data());
    }
    if (auto solved = factor->solve_in_place(step.data(), 1); !solved)
      return std::unexpected(std::move(solved.error()));
    previous = solution;
    for (std::size_t i = 0; i < solution.size(); ++i) solution[i] += step[i];
    out.iterations = round + 1;
    ResultSet probe;
    probe.end_forces = member_end_forces(model, used, &set, solution.data(), active);
    probe.displacements = node_displacements(model, solution.data(), set.imposed);
    std::vector<double> next_axial = member_axial_forces(probe.end_forces);
    if (round == 0) {
      first_order_axial = next_axial;
      first_order_active = active;
    }
    const std::vector<std::uint8_t> next = next_active(structure, active, probe);
    const bool converged = tangent && next == active &&
                           settled(previous, solution, kSecondOrderTolerance) &&
                           settled(axial, next_axial, kSecondOrderTolerance);
    if (converged) {
      recover_results(model, used, set, solution.data(), active, options.stations, out);
      return std::nullopt;
    }
    // Slow closing in (a step more than a fifth of the last) asks for a new tangent.
    double size = 0.0;
    for (const double d : step) size = std::max(size, std::abs(d));
    if (next != active || (round > 1 && size > 0.2 * last_step)) refactorise = true;
    last_step = size;
    active = next;
    axial = std::move(next_axial);
    if (monitor.stop_requested()) return base::fail(base::ErrorCode::cancelled);
  }
  return set_failure(base::ErrorCode::not_settled,
                     fmt::format("the second-order analysis did not converge in {} rounds",
                                 kMaxSecondOrderRounds));
}

}  // namespace velm::engineering
