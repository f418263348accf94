#include "engineering/static_analysis.hpp"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <new>
#include <unordered_set>

#include "base/finite.hpp"
#include "base/memory_budget.hpp"
#include "base/units.hpp"
#include "engineering/active_set_analysis.hpp"
#include "engineering/buckling_analysis.hpp"
#include "engineering/linear_analysis.hpp"
#include "engineering/result_recovery.hpp"
#include "engineering/second_order_analysis.hpp"
#include "engineering/set_checks.hpp"
#include "frame/imperfections.hpp"
#include "frame/load_sets.hpp"
#include "frame/structure.hpp"
#include "model/dof_labels.hpp"
#include "system/discrete_model.hpp"

namespace velm::engineering {

namespace {

using frame::Structure;

// The refusal of a request whose result arrays alone would not fit (a huge number of
// stations, say), before any work starts.
base::Expected<void> check_result_memory(const Structure& structure,
                                         const AnalysisOptions& options) {
  const int stations = options.stations;
  const std::size_t set_count = structure.result_set_count();
  const auto sets = static_cast<double>(set_count);
  const auto supports = static_cast<double>(structure.support_ids.size());
  const auto members = static_cast<double>(structure.members.size());
  const double per_set = 8.0 * ((15.0 + 6.0 * options.buckling_modes) * structure.node_count +
                                6.0 * supports + (24.0 + 6.0 * stations) * members);
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

// "Load case 2", "Combination 3": how a result set's own failure names it.
std::string set_name(const Structure& structure, std::size_t s) {
  const std::size_t cases = structure.load_cases.size();
  return s < cases ? fmt::format("Load case {}", structure.load_cases[s].id)
                   : fmt::format("Combination {}", structure.combinations[s - cases].id);
}

// The failure text of a result set: its name, then what went wrong, as one sentence.
std::string set_error_text(const std::string& name, const base::Error& error) {
  std::string text = error.code == base::ErrorCode::unstable &&
                             error.detail.find("unstable") == std::string::npos &&
                             error.detail.find("critical") == std::string::npos &&
                             error.detail.find("balance") == std::string::npos
                         ? "the structure is unstable: " + error.detail
                         : error.detail;
  if (!text.empty() && text.front() >= 'A' && text.front() <= 'Z' &&
      !(text.size() > 1 && text[1] >= 'A' && text[1] <= 'Z'))
    text.front() = static_cast<char>(text.front() - 'A' + 'a');
  if (!text.empty() && text.back() != '.') text += '.';
  return name + ": " + text;
}

// A failed result set keeps its id, name and failure; its arrays are emptied.
void fail_set(ResultSet& set, std::string text) {
  ResultSet failed;
  failed.id = set.id;
  failed.name = std::move(set.name);
  failed.order = set.order;
  failed.iterations = set.iterations;
  failed.error = std::move(text);
  set = std::move(failed);
}

// The members that are on: all but those listed as switched off.
std::vector<std::uint8_t> active_members(const Structure& structure, const ResultSet& set) {
  std::vector<std::uint8_t> active(structure.members.size(), 1);
  if (set.inactive_members.empty()) return active;
  const std::unordered_set<std::uint32_t> off(set.inactive_members.begin(),
                                              set.inactive_members.end());
  for (std::size_t m = 0; m < structure.members.size(); ++m)
    if (off.contains(structure.members[m].id)) active[m] = 0;
  return active;
}

// Each buckling mode over all nodes, scaled so that its largest translation component is +1
// (or its largest rotation component, where no node translates).
void record_buckling(const system::DiscreteModel& model, const Buckling& buckling, ResultSet& out) {
  const std::size_t n = model.unknowns();
  const std::size_t nodes = model.structure.node_count;
  out.critical_load_factors = buckling.factors;
  out.buckling_modes.clear();
  out.buckling_modes.reserve(buckling.factors.size() * 6 * nodes);
  for (std::size_t k = 0; k < buckling.factors.size(); ++k) {
    std::vector<double> mode = node_displacements(model, buckling.modes.data() + k * n);
    double largest = 0.0;
    for (const int first : {0, 3}) {
      for (std::size_t i = 0; i < nodes; ++i)
        for (int j = first; j < first + 3; ++j)
          if (std::abs(mode[6 * i + j]) > std::abs(largest)) largest = mode[6 * i + j];
      if (largest != 0.0) break;
    }
    if (largest != 0.0)
      for (double& value : mode) value /= largest;
    out.buckling_modes.insert(out.buckling_modes.end(), mode.begin(), mode.end());
  }
}

// The critical load factors of a result set analysed on `model`, when asked for; `shared`, when
// given, the elastic stiffness of every member on.
base::Expected<void> add_buckling(const system::DiscreteModel& model,
                                  const AnalysisOptions& options, base::Monitor& monitor,
                                  ResultSet& out, const ElasticStiffness* shared = nullptr) {
  if (options.buckling_modes <= 0 || out.error) return {};
  const std::vector<std::uint8_t> active = active_members(model.structure, out);
  const std::vector<double> axial = member_axial_forces(out.end_forces);
  if (!out.inactive_members.empty()) shared = nullptr;
  auto buckling =
      critical_load_factors(model, active, axial, options.buckling_modes, monitor, shared);
  if (!buckling) {
    if (!belongs_to_set(buckling.error())) return std::unexpected(std::move(buckling.error()));
    return {};  // the eigensolver did not converge: the set keeps its results, with no factors
  }
  record_buckling(model, *buckling, out);
  return {};
}

// The checks of a result set analysed on `structure`, its failure recorded in it.
void check_set(const Structure& structure, const frame::LoadSet& set, const std::string& name,
               ResultSet& result) {
  if (result.error) return;
  if (auto fault = find_non_finite(result, set.label, structure))
    return fail_set(result, name + ": " + *fault);
  if (auto unbalanced = find_unbalanced_dof(structure, set, result))
    return fail_set(result, set_error_text(name, {base::ErrorCode::unstable, *unbalanced}));
}

// One result set on its own geometry: its imperfections, then the active-set or second-order
// analysis, its critical load factors and its checks.
base::Expected<void> analyse_alone(const Structure& structure,
                                   const system::DiscreteModel& discrete,
                                   const std::vector<double>& offsets, std::size_t s,
                                   const AnalysisOptions& options, base::Monitor& monitor,
                                   bool report_stages, ResultSet& out) {
  std::optional<Structure> moved;
  std::optional<system::DiscreteModel> moved_model;
  if (!offsets.empty()) {
    auto made = frame::moved_structure(structure, offsets);
    if (!made) return std::unexpected(std::move(made.error()));
    moved.emplace(std::move(*made));
    moved_model.emplace(*moved, monitor);
    if (!moved_model->complete() || monitor.stop_requested())
      return base::fail(base::ErrorCode::cancelled);
  }
  const Structure& geometry = moved ? *moved : structure;
  const system::DiscreteModel& model = moved_model ? *moved_model : discrete;
  const std::size_t cases = geometry.load_cases.size();
  const frame::LoadSet set =
      s < cases ? frame::case_loads(geometry, s)
                : frame::combination_loads(geometry, geometry.combinations[s - cases]);
  auto outcome = options.second_order
                     ? analyse_second_order(model, set, options, monitor, report_stages, out)
                     : analyse_switching_set(model, set, options, monitor, report_stages, out);
  if (!outcome) return std::unexpected(std::move(outcome.error()));
  const std::string name = set_name(geometry, s);
  if (*outcome) {
    fail_set(out, set_error_text(name, **outcome));
    return {};
  }
  check_set(geometry, set, name, out);
  return add_buckling(model, options, monitor, out);
}

base::Expected<StaticAnalysis> run(const model::VELM& model, const model::Extensions& extensions,
                                   const AnalysisOptions& options, base::Monitor& monitor) {
  auto built = frame::build_structure(model, extensions, monitor);
  if (!built) return std::unexpected(std::move(built.error()));
  const Structure& structure = *built;
  if (monitor.stop_requested()) return base::fail(base::ErrorCode::cancelled);
  auto offsets = frame::imperfection_offsets(model, structure);
  if (!offsets) return std::unexpected(std::move(offsets.error()));
  if (auto fits = check_result_memory(structure, options); !fits)
    return std::unexpected(std::move(fits.error()));

  // The assembly starts with the element data of the members and the load sets, asking whether
  // to stop as it goes.
  monitor.stage_progress("assemble", 0.0);
  const system::DiscreteModel discrete(structure, monitor);
  if (!discrete.complete() || monitor.stop_requested())
    return base::fail(base::ErrorCode::cancelled);
  StaticAnalysis analysis = geometry(structure, options);
  auto made_sets = frame::result_load_sets(structure, monitor);
  if (!made_sets) return std::unexpected(std::move(made_sets.error()));
  const std::vector<frame::LoadSet> sets = std::move(*made_sets);
  if (monitor.stop_requested()) return base::fail(base::ErrorCode::cancelled);
  const std::size_t cases = structure.load_cases.size();
  std::vector<ResultSet> results(sets.size());
  // A result set is analysed alone in second order, with tension or compression members, or
  // with imperfections; the others share one factorisation.
  std::vector<std::uint8_t> shared(sets.size(), 0);
  for (std::size_t s = 0; s < sets.size(); ++s) {
    const bool is_case = s < cases;
    results[s].id = is_case ? structure.load_cases[s].id : structure.combinations[s - cases].id;
    results[s].name =
        is_case ? structure.load_cases[s].name : structure.combinations[s - cases].name;
    shared[s] = !options.second_order && !structure.has_switching_members && (*offsets)[s].empty();
  }

  const bool any_shared = std::ranges::any_of(shared, [](std::uint8_t on) { return on != 0; });
  // The modal analysis of the same stiffness (every member on) reuses its factorisation.
  std::optional<system::Factorisation> kept;
  const bool keep = options.modal.modes > 0 && !structure.has_switching_members;
  if (any_shared) {
    if (auto done = analyse_linear(discrete, sets, shared, options, monitor, results,
                                   keep ? &kept : nullptr);
        !done)
      return std::unexpected(done.error());
  }
  // The elastic stiffness of the model's own geometry, for the critical loads of the result sets
  // that share it.
  std::optional<ElasticStiffness> elastic;
  for (std::size_t s = 0; s < sets.size(); ++s) {
    if (shared[s]) {
      check_set(structure, sets[s], set_name(structure, s), results[s]);
      if (options.buckling_modes > 0 && !results[s].error && !elastic) {
        base::Monitor quiet;
        auto made = elastic_stiffness(
            discrete, std::vector<std::uint8_t>(structure.members.size(), 1), quiet);
        if (!made) return std::unexpected(std::move(made.error()));
        elastic.emplace(std::move(*made));
      }
      if (auto added =
              add_buckling(discrete, options, monitor, results[s], elastic ? &*elastic : nullptr);
          !added)
        return std::unexpected(std::move(added.error()));
    } else {
      if (auto done = analyse_alone(structure, discrete, (*offsets)[s], s, options, monitor,
                                    !any_shared && s == 0, results[s]);
          !done)
        return std::unexpected(std::move(done.error()));
      if (!any_shared)
        monitor.stage_progress("results",
                               static_cast<double>(s + 1) / static_cast<double>(sets.size()));
    }
    if (monitor.stop_requested()) return base::fail(base::ErrorCode::cancelled);
    if (!results[s].error) {
      if ((*offsets)[s].empty())
        results[s].imperfections.assign(3 * std::size_t{structure.node_count}, 0.0);
      else
        results[s].imperfections = std::move((*offsets)[s]);
    }
  }
  if (!any_shared) monitor.stage_end("solve");
  analysis.load_cases.assign(
      std::make_move_iterator(results.begin()),
      std::make_move_iterator(results.begin() + static_cast<std::ptrdiff_t>(cases)));
  analysis.combinations.assign(
      std::make_move_iterator(results.begin() + static_cast<std::ptrdiff_t>(cases)),
      std::make_move_iterator(results.end()));
  monitor.stage_end("results");
  if (options.modal.modes > 0) {
    auto modal = modal_analysis(structure, options.modal, monitor, kept ? &*kept : nullptr);
    if (!modal) return std::unexpected(std::move(modal.error()));
    analysis.modal = std::make_shared<ModalResult>(std::move(*modal));
  }
  return analysis;
}

}  // namespace

base::Expected<StaticAnalysis> analyse_statics(const model::VELM& model,
                                               const AnalysisOptions& options,
                                               base::Monitor& monitor) {
  return analyse_statics(model, model::Extensions{}, options, monitor);
}

base::Expected<StaticAnalysis> analyse_statics(const model::VELM& model,
                                               const model::Extensions& extensions,
                                               const AnalysisOptions& options,
                                               base::Monitor& monitor) {
  try {
    return run(model, extensions, options, monitor);
  } catch (const std::bad_alloc&) {
    return base::fail(base::ErrorCode::out_of_memory);
  }
}

}  // namespace velm::engineering
