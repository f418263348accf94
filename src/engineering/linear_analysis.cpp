#include "engineering/linear_analysis.hpp"

#include <algorithm>

#include "base/parallel_items.hpp"
#include "engineering/result_recovery.hpp"
#include "system/assembly.hpp"
#include "system/factorisation.hpp"

namespace velm::engineering {

base::Expected<void> analyse_linear(const system::DiscreteModel& model,
                                    const std::vector<frame::LoadSet>& sets,
                                    const std::vector<std::uint8_t>& wanted,
                                    const AnalysisOptions& options, base::Monitor& monitor,
                                    std::vector<ResultSet>& results,
                                    std::optional<system::Factorisation>* keep) {
  const frame::Structure& structure = model.structure;
  const std::size_t cases = structure.load_cases.size();
  const std::size_t unknowns = model.unknowns();
  const std::vector<std::uint8_t> all_on(structure.members.size(), 1);

  std::vector<double> solution(unknowns * cases, 0.0);
  for (std::size_t c = 0; c < cases; ++c) {
    if (monitor.stop_requested()) return base::fail(base::ErrorCode::cancelled);
    if (auto loaded = system::assemble_loads(model, sets[c], solution.data() + c * unknowns);
        !loaded)
      return loaded;
  }
  auto stiffness = system::assemble_stiffness(model, all_on, monitor);
  if (!stiffness) return std::unexpected(std::move(stiffness.error()));
  auto factor = system::Factorisation::of(std::move(*stiffness), model.dofs, monitor,
                                          linalg::Definiteness::positive);
  if (!factor) return std::unexpected(std::move(factor.error()));
  if (unknowns > 0) {
    monitor.stage_progress("solve", 0.0);
    if (auto solved =
            factor->solve_in_place(solution.data(), static_cast<std::int32_t>(cases), &monitor);
        !solved)
      return solved;
  }
  if (keep != nullptr)
    keep->emplace(std::move(*factor));
  else
    factor->reset();
  if (monitor.stop_requested()) return base::fail(base::ErrorCode::cancelled);
  monitor.stage_end("solve");

  base::StageMonitor results_monitor(monitor, "results", sets.size());
  // The result sets are independent: each is computed on whichever thread takes it, from the
  // same inputs, so the values do not depend on the threads. Each asks as it goes whether the
  // loop is cancelled, so that a stop is answered within milliseconds, not a result set.
  auto set_results = [&](std::size_t s, const base::ItemGoing& going) -> base::Expected<void> {
    if (!wanted[s]) return {};
    const double* u = solution.data() + std::min(s, cases == 0 ? 0 : cases - 1) * unknowns;
    std::vector<double> combined;
    if (s >= cases) {
      combined.assign(unknowns, 0.0);
      for (const frame::Combination::Term& term : structure.combinations[s - cases].terms)
        for (std::size_t i = 0; i < unknowns; ++i)
          combined[i] += term.factor * solution[term.load_case * unknowns + i];
      // Its loads are its cases' loads times factors, which the load vectors of the cases
      // have checked already.
      u = combined.data();
    }
    if (!recover_results(model, sets[s], u, all_on, options.stations, results[s], going))
      return base::fail(base::ErrorCode::cancelled);
    return {};
  };
  auto keep_going = [&](std::size_t done) {
    monitor.stage_progress("results", static_cast<double>(done) / static_cast<double>(sets.size()));
    return !monitor.stop_requested();
  };
  if (auto done = base::for_each_item(sets.size(), base::Error{base::ErrorCode::cancelled, {}},
                                      set_results, keep_going);
      !done)
    return done;
  if (!results_monitor.finish()) return base::fail(base::ErrorCode::cancelled);
  return {};
}

}  // namespace velm::engineering
