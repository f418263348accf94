#include "solver/static_analysis.hpp"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <new>
#include <unordered_map>

#include "linalg/sparse_ldlt.hpp"
#include "mechanics/internal_forces.hpp"
#include "mechanics/transformation.hpp"
#include "solver/dof_numbering.hpp"
#include "solver/memory_budget.hpp"
#include "solver/sparse_global_matrix.hpp"
#include "solver/structure.hpp"

namespace velm::solver {

namespace {

constexpr const char* kDofNames[6] = {"UX", "UY", "UZ", "RX", "RY", "RZ"};
constexpr const char* kForceNames[6] = {"FX", "FY", "FZ", "MX", "MY", "MZ"};

std::unexpected<std::string> failure(std::string text) {
  return std::unexpected(std::move(text));
}

void stage(const AnalysisOptions& options, std::string_view name) {
  if (options.observer != nullptr) options.observer->stage_end(name);
}

// Tells the observer how far a stage has come and asks it whether to stop, once every
// kStride items of a loop (a few milliseconds of work at most).
class StageMonitor {
 public:
  StageMonitor(Observer* observer, std::string_view stage, std::size_t total)
      : observer_(observer), stage_(stage), total_(total) {
    if (observer_ != nullptr) observer_->stage_progress(stage_, 0.0);
  }
  // False when the observer asks to stop.
  bool keep_going(std::size_t done) {
    if (observer_ == nullptr || done % kStride != 0) return true;
    observer_->stage_progress(
        stage_, total_ == 0 ? 1.0 : static_cast<double>(done) / static_cast<double>(total_));
    return !observer_->stop_requested();
  }
  bool finish() {
    if (observer_ == nullptr) return true;
    observer_->stage_progress(stage_, 1.0);
    return !observer_->stop_requested();
  }

 private:
  static constexpr std::size_t kStride = 1024;
  Observer* observer_;
  std::string_view stage_;
  std::size_t total_;
};

// The unknowns of a member's 12 dofs.
ElementDofs unknowns_of(const DofNumbering& dofs, const StructureMember& member) {
  ElementDofs element{};
  for (std::size_t k = 0; k < 6; ++k) {
    element[k] = dofs.index[6 * (member.start - std::size_t{1}) + k];
    element[6 + k] = dofs.index[6 * (member.end - std::size_t{1}) + k];
  }
  return element;
}

// The node and dof of an unknown.
std::pair<std::uint32_t, int> node_dof(const DofNumbering& dofs, std::int64_t unknown) {
  const std::uint32_t node = dofs.node_of[static_cast<std::size_t>(unknown)];
  for (int k = 0; k < 6; ++k)
    if (dofs.index[6 * (node - std::size_t{1}) + static_cast<std::size_t>(k)] == unknown)
      return {node, k};
  return {node, 0};
}

std::string gigabytes(std::uint64_t bytes) {
  return fmt::format("{:.1f} GB", static_cast<double>(bytes) / 1e9);
}

// Displacements, end forces, internal forces and reactions of every load case from the
// solutions (one column of `solution` per case, over the unknowns).
// False when the observer stopped the work.
bool load_case_results(const Structure& structure, const DofNumbering& dofs,
                       const std::vector<double>& solution, int stations,
                       std::vector<ResultSet>& sets, Observer* observer) {
  const std::size_t nodes = structure.node_count;
  const std::size_t members = structure.members.size();
  const auto unknowns = static_cast<std::size_t>(dofs.count());
  const std::size_t cases = sets.size();
  const auto per_member = static_cast<std::size_t>(6 * stations);
  std::vector<std::vector<double>> nodal_sums(cases);
  for (std::size_t c = 0; c < cases; ++c) {
    ResultSet& set = sets[c];
    set.displacements.assign(6 * nodes, 0.0);
    for (std::size_t i = 0; i < 6 * nodes; ++i)
      if (const std::int64_t unknown = dofs.index[i]; unknown >= 0)
        set.displacements[i] = solution[c * unknowns + static_cast<std::size_t>(unknown)];
    set.end_forces.resize(12 * members);
    set.internal_forces.resize(per_member * members);
    nodal_sums[c].assign(6 * nodes, 0.0);
  }

  StageMonitor monitor(observer, "results", members);
  for (std::size_t m = 0; m < members; ++m) {
    if (!monitor.keep_going(m)) return false;
    const StructureMember& member = structure.members[m];
    const linalg::Matrix12 k = mechanics::frame_stiffness(member.properties, member.length);
    const std::size_t s = 6 * (member.start - 1), e = 6 * (member.end - 1);
    for (std::size_t c = 0; c < cases; ++c) {
      ResultSet& set = sets[c];
      // f = k T u_e with T = diag(lambda, lambda, lambda, lambda).
      linalg::Vector12 local;
      for (int b = 0; b < 4; ++b) {
        const double* u = set.displacements.data() + (b < 2 ? s : e) + 3 * (b % 2);
        const linalg::Vector3 global{u[0], u[1], u[2]};
        local.segment<3>(3 * b) = member.axes * global;
      }
      const linalg::Vector12 f = k * local;
      std::copy(f.data(), f.data() + 12, set.end_forces.data() + 12 * m);
      mechanics::internal_forces_at_stations(f, member.length, stations,
                                             set.internal_forces.data() + per_member * m);
      double* sums = nodal_sums[c].data();
      for (int b = 0; b < 4; ++b) {
        const linalg::Vector3 global = member.axes.transpose() * f.segment<3>(3 * b);
        double* target = sums + (b < 2 ? s : e) + 3 * (b % 2);
        target[0] += global.x();
        target[1] += global.y();
        target[2] += global.z();
      }
    }
  }

  // Reactions: K u - F at the dofs each record fixes, summed over its nodes.
  const model::VELM& model = *structure.model;
  for (std::size_t c = 0; c < cases; ++c) {
    std::vector<double>& residual = nodal_sums[c];
    for (const model::NodalLoad& load : model.load_cases[c].nodal_loads)
      for (std::size_t axis = 0; axis < 3; ++axis)
        if (load.direction[axis] != 0.0)
          residual[6 * (load.node - 1) + axis] -= load.direction[axis] * load.magnitude;
    ResultSet& set = sets[c];
    set.reactions.assign(6 * structure.support_nodes.size(), 0.0);
    for (std::size_t r = 0; r < structure.support_nodes.size(); ++r)
      for (const std::uint32_t node : structure.support_nodes[r])
        for (std::size_t k = 0; k < 6; ++k)
          if (structure.support_dofs[r][k])
            set.reactions[6 * r + k] += residual[6 * (node - 1) + k];
  }
  return monitor.finish();
}

void add_scaled(std::vector<double>& target, const std::vector<double>& source, double factor) {
  for (std::size_t i = 0; i < target.size(); ++i) target[i] += factor * source[i];
}

std::vector<ResultSet> combination_results(const model::VELM& model,
                                           const std::vector<ResultSet>& cases) {
  std::unordered_map<std::uint32_t, std::size_t> position;
  for (std::size_t c = 0; c < cases.size(); ++c) position.emplace(cases[c].id, c);
  std::vector<ResultSet> sets;
  sets.reserve(model.load_combinations.size());
  for (const model::LoadCombination& combination : model.load_combinations) {
    ResultSet& set = sets.emplace_back();
    set.id = combination.load_combination_id;
    set.name = combination.name;
    const ResultSet& shape = cases.front();
    set.displacements.assign(shape.displacements.size(), 0.0);
    set.reactions.assign(shape.reactions.size(), 0.0);
    set.end_forces.assign(shape.end_forces.size(), 0.0);
    set.internal_forces.assign(shape.internal_forces.size(), 0.0);
    for (const auto& [case_id, factor] : combination.load_cases_factors) {
      const ResultSet& source = cases[position.at(case_id)];
      add_scaled(set.displacements, source.displacements, factor);
      add_scaled(set.reactions, source.reactions, factor);
      add_scaled(set.end_forces, source.end_forces, factor);
      add_scaled(set.internal_forces, source.internal_forces, factor);
    }
  }
  return sets;
}

std::optional<std::string> find_non_finite(const ResultSet& set, std::string_view kind,
                                           const StaticAnalysis& analysis) {
  const std::string which = fmt::format("{} {}", kind, set.id);
  for (std::size_t i = 0; i < set.displacements.size(); ++i)
    if (!std::isfinite(set.displacements[i]))
      return fmt::format(
          "The displacements of {} are not finite at node {}, {}: the stiffness or load values "
          "of the model are out of range.",
          which, i / 6 + 1, kDofNames[i % 6]);
  for (std::size_t i = 0; i < set.reactions.size(); ++i)
    if (!std::isfinite(set.reactions[i]))
      return fmt::format(
          "The reactions of {} are not finite at support {}, {}: the stiffness or load values of "
          "the model are out of range.",
          which, analysis.support_ids[i / 6], kForceNames[i % 6]);
  const auto finite = [](double v) { return std::isfinite(v); };
  const std::size_t members = analysis.member_ids.size();
  const std::size_t per_member = members == 0 ? 0 : set.internal_forces.size() / members;
  for (std::size_t m = 0; m < members; ++m) {
    const double* f = set.end_forces.data() + 12 * m;
    const double* g = set.internal_forces.data() + per_member * m;
    if (!std::all_of(f, f + 12, finite) || !std::all_of(g, g + per_member, finite))
      return fmt::format(
          "The member forces of {} are not finite in member {}: the stiffness or load values of "
          "the model are out of range.",
          which, analysis.member_ids[m]);
  }
  return std::nullopt;
}

// The result arrays are known in size before anything is solved: refuse a request whose arrays
// alone would not fit (a huge number of stations, say) before the work starts.
std::expected<void, std::string> check_result_memory(const model::VELM& model,
                                                     const Structure& structure, int stations) {
  const double sets = static_cast<double>(model.load_cases.size() + model.load_combinations.size());
  const auto supports = static_cast<double>(model.nodal_supports.size());
  const auto members = static_cast<double>(structure.members.size());
  const double per_set =
      8.0 * (6.0 * structure.node_count + 6.0 * supports + (12.0 + 6.0 * stations) * members);
  const double needed = sets * per_set;
  const std::optional<std::uint64_t> available = available_memory();
  if (available && needed > static_cast<double>(*available))
    return failure(fmt::format(
        "The results would need about {:.1f} GB of memory ({} result sets of {} members at {} "
        "stations), more than the {} available.",
        needed / 1e9, model.load_cases.size() + model.load_combinations.size(),
        structure.members.size(), stations, gigabytes(*available)));
  return {};
}

std::expected<StaticAnalysis, std::string> run(const model::VELM& model,
                                               const AnalysisOptions& options) {
  if (options.observer != nullptr) options.observer->stage_progress("check", 0.0);
  auto built = build_structure(model);
  if (!built) return failure(built.error());
  if (options.observer != nullptr && options.observer->stop_requested()) return failure(kCancelled);
  const Structure& structure = *built;
  if (auto fits = check_result_memory(model, structure, options.stations); !fits)
    return failure(fits.error());
  const DofNumbering dofs = number_dofs(structure.restraints, structure.coordinates);
  const auto unknowns = static_cast<std::size_t>(dofs.count());

  SparseGlobalMatrix stiffness(dofs, structure.members);
  StageMonitor assembly(options.observer, "assemble", structure.members.size());
  for (std::size_t m = 0; m < structure.members.size(); ++m) {
    if (!assembly.keep_going(m)) return failure(kCancelled);
    const StructureMember& member = structure.members[m];
    const linalg::Matrix12 k = mechanics::frame_stiffness(member.properties, member.length);
    stiffness.add_element(mechanics::to_global_axes(k, member.axes), unknowns_of(dofs, member));
  }

  // One right-hand side per load case, over the unknowns; loads on fixed dofs go to the
  // reactions alone.
  const std::size_t cases = model.load_cases.size();
  std::vector<double> solution(unknowns * cases, 0.0);
  for (std::size_t c = 0; c < cases; ++c)
    for (const model::NodalLoad& load : model.load_cases[c].nodal_loads)
      for (std::size_t axis = 0; axis < 3; ++axis)
        if (load.direction[axis] != 0.0)
          if (const std::int64_t unknown = dofs.index[6 * (load.node - 1) + axis]; unknown >= 0)
            solution[c * unknowns + static_cast<std::size_t>(unknown)] +=
                load.direction[axis] * load.magnitude;
  if (!assembly.finish()) return failure(kCancelled);
  stage(options, "assemble");

  if (unknowns > 0) {
    const std::optional<std::uint64_t> available = available_memory();
    auto factor =
        SparseGlobalFactor::create(std::move(stiffness).release(), available, options.observer);
    if (!factor) {
      switch (factor.error().kind) {
        case FactorFailure::Kind::too_large:
          return failure(fmt::format(
              "The model is too large for this machine: the factorisation of its stiffness "
              "matrix ({} unknowns) would need about {} of memory, more than the {} available.",
              unknowns, gigabytes(factor.error().estimated_bytes),
              gigabytes(available.value_or(0))));
        case FactorFailure::Kind::out_of_memory:
          return failure("Not enough memory for the analysis: " + factor.error().text + ".");
        case FactorFailure::Kind::failed:
          return failure("The sparse solver failed: " + factor.error().text + ".");
        case FactorFailure::Kind::cancelled:
          return failure(kCancelled);
      }
    }
    if (options.observer != nullptr && options.observer->stop_requested())
      return failure(kCancelled);
    if ((*factor)->singular()) {
      const auto [node, dof] = node_dof(dofs, (*factor)->null_pivots().front());
      return failure(fmt::format("The structure is unstable: node {} is free to move in {}.", node,
                                 kDofNames[dof]));
    }
    if (options.observer != nullptr) options.observer->stage_progress("solve", 0.0);
    if (auto solved = (*factor)->solve_in_place(solution.data(), static_cast<std::int32_t>(cases));
        !solved)
      return failure((solved.error().kind == linalg::SparseSolverError::Kind::out_of_memory
                          ? "Not enough memory for the analysis: "
                          : "The sparse solver failed: ") +
                     solved.error().text + ".");
    if (options.observer != nullptr && options.observer->stop_requested())
      return failure(kCancelled);
    stage(options, "solve");
  }

  StaticAnalysis analysis;
  analysis.node_count = structure.node_count;
  analysis.stations = options.stations;
  analysis.coordinates = structure.coordinates;
  analysis.restraints = structure.restraints;
  for (const model::NodalSupport& support : model.nodal_supports)
    analysis.support_ids.push_back(support.id);
  const std::size_t members = structure.members.size();
  analysis.member_ids.reserve(members);
  analysis.member_nodes.reserve(members);
  analysis.member_axes.reserve(9 * members);
  analysis.member_lengths.reserve(members);
  for (const StructureMember& member : structure.members) {
    analysis.member_ids.push_back(member.id);
    analysis.member_nodes.push_back({member.start, member.end});
    for (int i = 0; i < 3; ++i)
      for (int j = 0; j < 3; ++j) analysis.member_axes.push_back(member.axes(i, j));
    analysis.member_lengths.push_back(member.length);
  }

  analysis.load_cases.resize(cases);
  for (std::size_t c = 0; c < cases; ++c) {
    analysis.load_cases[c].id = model.load_cases[c].id;
    analysis.load_cases[c].name = model.load_cases[c].name;
  }
  if (!load_case_results(structure, dofs, solution, options.stations, analysis.load_cases,
                         options.observer))
    return failure(kCancelled);
  solution = {};
  if (!analysis.load_cases.empty())
    analysis.combinations = combination_results(model, analysis.load_cases);
  for (const ResultSet& set : analysis.load_cases)
    if (auto fault = find_non_finite(set, "load case", analysis)) return failure(*fault);
  for (const ResultSet& set : analysis.combinations)
    if (auto fault = find_non_finite(set, "load combination", analysis)) return failure(*fault);
  stage(options, "results");
  return analysis;
}

}  // namespace

std::expected<StaticAnalysis, std::string> analyse_statics(const model::VELM& model,
                                                           const AnalysisOptions& options) {
  try {
    return run(model, options);
  } catch (const std::bad_alloc&) {
    return failure("Not enough memory for the analysis: an allocation failed.");
  }
}

}  // namespace velm::solver
