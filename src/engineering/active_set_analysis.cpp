#include "engineering/active_set_analysis.hpp"

#include <fmt/format.h>

#include <algorithm>

#include "engineering/result_recovery.hpp"
#include "system/assembly.hpp"
#include "system/factorisation.hpp"

namespace velm::engineering {

namespace {

// Passes on only the question whether to stop: the later rounds report no stages.
class StopOnly : public base::Monitor {
 public:
  explicit StopOnly(base::Monitor& monitor) : monitor_(monitor) {}
  bool stop_requested() override { return monitor_.stop_requested(); }

 private:
  base::Monitor& monitor_;
};

}  // namespace

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

base::Expected<void> analyse_active_set(const system::DiscreteModel& model,
                                        const std::vector<frame::LoadSet>& sets,
                                        const AnalysisOptions& options, base::Monitor& monitor,
                                        std::vector<ResultSet>& results) {
  const frame::Structure& structure = model.structure;
  const std::size_t unknowns = model.unknowns();
  StopOnly quiet(monitor);
  for (std::size_t s = 0; s < sets.size(); ++s) {
    std::vector<std::uint8_t> active(structure.members.size(), 1);
    std::vector<double> solution(unknowns);
    bool settled = false;
    for (int round = 0; round < kMaxSwitchingRounds && !settled; ++round) {
      base::Monitor& told = s == 0 && round == 0 ? monitor : quiet;
      std::fill(solution.begin(), solution.end(), 0.0);
      if (auto loaded = system::assemble_loads(model, sets[s], solution.data()); !loaded)
        return loaded;
      auto stiffness = system::assemble_stiffness(model, active, told);
      if (!stiffness) return std::unexpected(std::move(stiffness.error()));
      auto factor = system::Factorisation::of(std::move(*stiffness), model.dofs, told);
      if (!factor) return std::unexpected(std::move(factor.error()));
      if (auto solved = factor->solve_in_place(solution.data(), 1); !solved) return solved;
      recover_results(model, sets[s], solution.data(), active, options.stations, results[s]);
      const std::vector<std::uint8_t> next = next_active(structure, active, results[s]);
      settled = next == active;
      active = next;
    }
    if (!settled)
      return base::fail(
          base::ErrorCode::not_settled,
          fmt::format("The tension-only and compression-only members of {} did not settle in {} "
                      "rounds of switching members off and on.",
                      sets[s].label, kMaxSwitchingRounds));
    if (monitor.stop_requested()) return base::fail(base::ErrorCode::cancelled);
    monitor.stage_progress("results",
                           static_cast<double>(s + 1) / static_cast<double>(sets.size()));
  }
  monitor.stage_end("solve");
  return {};
}

}  // namespace velm::engineering
