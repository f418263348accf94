#include "engineering/static_analysis.hpp"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <new>

#include "base/finite.hpp"
#include "base/memory_budget.hpp"
#include "base/units.hpp"
#include "engineering/active_set_analysis.hpp"
#include "engineering/equilibrium.hpp"
#include "engineering/linear_analysis.hpp"
#include "frame/load_sets.hpp"
#include "frame/structure.hpp"
#include "model/dof_labels.hpp"
#include "system/discrete_model.hpp"

namespace velm::engineering {

namespace {

using frame::Structure;

// The refusal of a request whose result arrays alone would not fit (a huge number of
// stations, say), before any work starts.
base::Expected<void> check_result_memory(const Structure& structure, int stations) {
  const std::size_t set_count = structure.result_set_count();
  const auto sets = static_cast<double>(set_count);
  const auto supports = static_cast<double>(structure.support_ids.size());
  const auto members = static_cast<double>(structure.members.size());
  const double per_set =
      8.0 * (6.0 * structure.node_count + 6.0 * supports + (24.0 + 6.0 * stations) * members);
  const double needed = sets * per_set;
  const std::optional<std::uint64_t> available = base::available_memory();
  if (available && needed > static_cast<double>(*available))
    return base::fail(
        base::ErrorCode::too_large,
        fmt::format("The results would need about {:.1f} GB of memory ({} result sets of {} "
                    "members at {} stations), more than the {} available.",
                    needed / 1e9, set_count, structure.members.size(), stations,
                    base::gigabytes(*available)));
  return {};
}

std::optional<std::string> find_non_finite(const ResultSet& set, const std::string& which,
                                           const StaticAnalysis& analysis) {
  if (const auto i = base::first_non_finite(set.displacements.data(), set.displacements.size()))
    return fmt::format(
        "The displacements of {} are not finite at node {}, {}: the stiffness or load values "
        "of the model are out of range.",
        which, *i / 6 + 1, model::kDofLabels[*i % 6]);
  if (const auto i = base::first_non_finite(set.reactions.data(), set.reactions.size()))
    return fmt::format(
        "The reactions of {} are not finite at support {}, {}: the stiffness or load values of "
        "the model are out of range.",
        which, analysis.support_ids[*i / 6], model::kForceLabels[*i % 6]);
  const std::size_t members = analysis.member_ids.size();
  const std::size_t per_member = members == 0 ? 0 : set.internal_forces.size() / members;
  for (std::size_t m = 0; m < members; ++m) {
    if (base::first_non_finite(set.end_forces.data() + 12 * m, 12) ||
        base::first_non_finite(set.internal_forces.data() + per_member * m, per_member))
      return fmt::format(
          "The member forces of {} are not finite in member {}: the stiffness or load values of "
          "the model are out of range.",
          which, analysis.member_ids[m]);
  }
  return std::nullopt;
}

// A result set whose member forces do not balance its nodal loads at some free dof (K u - F,
// with K u recovered member by member) is the solution of a matrix that is singular in all but
// rounding, or too ill-conditioned to be solved: it is refused, never returned. Sound solves
// balance to 1e-16..1e-13 of the largest force at a node (the bundled building: 2e-14); a
// member 10^6 times stiffer than its neighbours, standing in for a rigid link, leaves 6e-7;
// the near-mechanisms that random frames produce leave 1e-4 to 1.
base::Expected<void> check_equilibrium(const Structure& structure, const frame::LoadSet& set,
                                       const ResultSet& result, const StaticAnalysis& analysis) {
  constexpr double kTolerance = 1e-5;
  std::vector<double> loads(6 * structure.node_count, 0.0);
  for (const frame::NodalForce& load : set.nodal)
    for (std::size_t k = 0; k < 6; ++k)
      loads[6 * (load.node - 1) + k] += load.force(static_cast<Eigen::Index>(k));
  const auto worst = find_unbalanced(analysis.member_nodes, analysis.member_axes, result.end_forces,
                                     loads, structure.restraints, kTolerance);
  if (!worst) return {};
  return base::fail(
      base::ErrorCode::unstable,
      fmt::format("the results of {} do not balance at node {} in {} (by {:.1e} of "
                  "the largest force at a node): its stiffness matrix is too "
                  "ill-conditioned to be solved, a mechanism or nearly one, or "
                  "members that differ too much in stiffness",
                  set.label, worst->node, model::kDofLabels[worst->dof], worst->misfit));
}

StaticAnalysis geometry(const Structure& structure, const AnalysisOptions& options) {
  StaticAnalysis analysis;
  analysis.node_count = structure.node_count;
  analysis.stations = options.stations;
  analysis.coordinates = structure.coordinates;
  analysis.restraints = structure.restraints;
  analysis.support_ids = structure.support_ids;
  const std::size_t members = structure.members.size();
  analysis.member_ids.reserve(members);
  analysis.member_nodes.reserve(members);
  analysis.member_axes.reserve(9 * members);
  analysis.member_lengths.reserve(members);
  for (const frame::StructureMember& member : structure.members) {
    analysis.member_ids.push_back(member.id);
    analysis.member_nodes.push_back({member.start, member.end});
    for (int i = 0; i < 3; ++i)
      for (int j = 0; j < 3; ++j) analysis.member_axes.push_back(member.axes(i, j));
    analysis.member_lengths.push_back(member.length);
  }
  return analysis;
}

base::Expected<StaticAnalysis> run(const model::VELM& model, const AnalysisOptions& options,
                                   base::Monitor& monitor) {
  auto built = frame::build_structure(model, monitor);
  if (!built) return std::unexpected(std::move(built.error()));
  const Structure& structure = *built;
  if (monitor.stop_requested()) return base::fail(base::ErrorCode::cancelled);
  if (auto fits = check_result_memory(structure, options.stations); !fits)
    return std::unexpected(std::move(fits.error()));

  const system::DiscreteModel discrete(structure, monitor);
  if (monitor.stop_requested()) return base::fail(base::ErrorCode::cancelled);
  StaticAnalysis analysis = geometry(structure, options);
  const std::vector<frame::LoadSet> sets = frame::result_load_sets(structure);
  if (monitor.stop_requested()) return base::fail(base::ErrorCode::cancelled);
  const std::size_t cases = structure.load_cases.size();
  std::vector<ResultSet> results(sets.size());
  for (std::size_t s = 0; s < sets.size(); ++s) {
    const bool is_case = s < cases;
    results[s].id = is_case ? structure.load_cases[s].id : structure.combinations[s - cases].id;
    results[s].name =
        is_case ? structure.load_cases[s].name : structure.combinations[s - cases].name;
  }

  const auto done = structure.has_switching_members
                        ? analyse_active_set(discrete, sets, options, monitor, results)
                        : analyse_linear(discrete, sets, options, monitor, results);
  if (!done) return std::unexpected(done.error());

  for (std::size_t s = 0; s < sets.size(); ++s) {
    if (auto fault = find_non_finite(results[s], sets[s].label, analysis))
      return base::fail(base::ErrorCode::not_finite, std::move(*fault));
    if (auto balanced = check_equilibrium(structure, sets[s], results[s], analysis); !balanced)
      return std::unexpected(std::move(balanced.error()));
  }
  analysis.load_cases.assign(
      std::make_move_iterator(results.begin()),
      std::make_move_iterator(results.begin() + static_cast<std::ptrdiff_t>(cases)));
  analysis.combinations.assign(
      std::make_move_iterator(results.begin() + static_cast<std::ptrdiff_t>(cases)),
      std::make_move_iterator(results.end()));
  monitor.stage_end("results");
  return analysis;
}

}  // namespace

base::Expected<StaticAnalysis> analyse_statics(const model::VELM& model,
                                               const AnalysisOptions& options,
                                               base::Monitor& monitor) {
  try {
    return run(model, options, monitor);
  } catch (const std::bad_alloc&) {
    return base::fail(base::ErrorCode::out_of_memory);
  }
}

}  // namespace velm::engineering
