#include "engineering/active_set_analysis.hpp"

#include <fmt/format.h>

#include <algorithm>

#include "engineering/result_recovery.hpp"
#include "engineering/stop_only.hpp"
#include "system/assembly.hpp"
#include "system/factorisation.hpp"

namespace velm::engineering {

std::vector<std::uint8_t> next_active(const frame::Structure& structure,
                                      const std::vector<std::uint8_t>& active,
                                      const ResultSet& results) {
  std::vector<std::uint8_t> next = active;
  for (std::size_t m = 0; m < structure.members.size(); ++m) {
    const frame::StructureMember& member = structure.members[m];
    if (!member.switching()) continue;
    double stretch = 0.0;  // tension positive
    if (active[m]) {
      stretch = -results.end_forces[12 * m];
    } else {
      const double* a = &results.displacements[6 * (member.start - 1)];
      const double* b = &results.displacements[6 * (member.end - 1)];
      for (int k = 0; k < 3; ++k) stretch += member.axes(0, k) * (b[k] - a[k]);
    }
    const bool wanted = member.type == model::MemberType::Tension ? stretch > 0.0 : stretch < 0.0;
    next[m] = active[m] ? (stretch == 0.0 || wanted) : wanted;
  }
  return next;
}

SetOutcome analyse_switching_set(const system::DiscreteModel& model, const frame::LoadSet& set,
                                 const AnalysisOptions& options, base::Monitor& monitor,
                                 bool report_stages, ResultSet& out) {
  const frame::Structure& structure = model.structure;
  StopOnly quiet(monitor);
  std::vector<std::uint8_t> active(structure.members.size(), 1);
  std::vector<double> solution(model.unknowns());
  for (int round = 0; round < kMaxSwitchingRounds; ++round) {
    base::Monitor& told = report_stages && round == 0 ? monitor : quiet;
    std::fill(solution.begin(), solution.end(), 0.0);
    if (auto loaded = system::assemble_loads(model, set, solution.data(), &active); !loaded)
      return std::unexpected(std::move(loaded.error()));
    auto stiffness = system::assemble_stiffness(model, active, told);
    if (!stiffness) return std::unexpected(std::move(stiffness.error()));
    auto factor = system::Factorisation::of(std::move(*stiffness), model.dofs, told,
                                            linalg::Definiteness::positive);
    if (!factor) {
      if (round == 0 || factor.error().code != base::ErrorCode::unstable)
        return std::unexpected(std::move(factor.error()));
      return set_failure(base::ErrorCode::unstable,
                         fmt::format("once its tension-only and compression-only members switch "
                                     "off, the structure is unstable: {}",
                                     factor.error().detail));
    }
    if (auto solved = factor->solve_in_place(solution.data(), 1); !solved)
      return std::unexpected(std::move(solved.error()));
    recover_results(model, set, solution.data(), active, options.stations, out);
    out.iterations = round + 1;
    const std::vector<std::uint8_t> next = next_active(structure, active, out);
    if (next == active) return std::nullopt;
    active = next;
    if (monitor.stop_requested()) return base::fail(base::ErrorCode::cancelled);
  }
  return set_failure(base::ErrorCode::not_settled,
                     fmt::format("its tension-only and compression-only members did not settle in "
                                 "{} rounds of switching members off and on",
                                 kMaxSwitchingRounds));
}

}  // namespace velm::engineering
