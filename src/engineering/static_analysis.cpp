#include "engineering/static_analysis.hpp"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <new>

#include <Eigen/Geometry>

#include "mechanics/internal_forces.hpp"
#include "system/dof_numbering.hpp"
#include "frame/load_sets.hpp"
#include "system/member_actions.hpp"
#include "base/memory_budget.hpp"
#include "base/units.hpp"
#include "base/parallel_items.hpp"
#include "system/sparse_global_matrix.hpp"
#include "frame/structure.hpp"

namespace velm::engineering {

using frame::LoadSet;
using frame::Structure;
using frame::StructureMember;
using system::DofNumbering;
using system::ElementDofs;
using system::MemberActions;
using system::SparseGlobalFactor;
using system::SparseGlobalMatrix;
using system::FactorFailure;
using system::follower_map;
using system::member_actions;
using system::member_unknowns;
using system::to_unknowns;
using system::member_couplings;
using system::number_dofs;
using frame::build_structure;
using frame::eliminated_dofs;

namespace {

constexpr const char* kDofNames[6] = {"UX", "UY", "UZ", "RX", "RY", "RZ"};
constexpr const char* kForceNames[6] = {"FX", "FY", "FZ", "MX", "MY", "MZ"};
constexpr int kMaxSwitchingRounds = 50;

std::unexpected<std::string> failure(std::string text) {
  return std::unexpected(std::move(text));
}

// The refusal of a request whose result arrays alone would not fit (a huge number of
// stations, say), before any work starts.
std::expected<void, std::string> check_result_memory(const model::VELM& model,
                                                     const Structure& structure, int stations) {
  const double sets = static_cast<double>(model.load_cases.size() + model.load_combinations.size());
  const auto supports = static_cast<double>(model.nodal_supports.size());
  const auto members = static_cast<double>(structure.members.size());
  const double per_set =
      8.0 * (6.0 * structure.node_count + 6.0 * supports + (24.0 + 6.0 * stations) * members);
  const double needed = sets * per_set;
  const std::optional<std::uint64_t> available = base::available_memory();
  if (available && needed > static_cast<double>(*available))
    return failure(fmt::format(
        "The results would need about {:.1f} GB of memory ({} result sets of {} members at {} "
        "stations), more than the {} available.",
        needed / 1e9, model.load_cases.size() + model.load_combinations.size(),
        structure.members.size(), stations, base::gigabytes(*available)));
  return {};
}

// One analysis context: the structure, its unknowns, and the options.
class Analyser {
 public:
  Analyser(const Structure& structure, const AnalysisOptions& options, base::Monitor& monitor)
      : structure_(structure),
        dofs_(number_dofs(eliminated_dofs(structure), structure.coordinates)),
        options_(options),
        monitor_(monitor) {}

  std::size_t unknowns() const { return static_cast<std::size_t>(dofs_.count()); }

  // K over the unknowns with the members that are on.
  std::expected<std::unique_ptr<SparseGlobalFactor>, std::string> factorise(
      const std::vector<std::uint8_t>& active, bool report) {
    SparseGlobalMatrix stiffness(dofs_, couplings_);
    base::Monitor& told = report ? monitor_ : quiet_;
    base::StageMonitor monitor(told, "assemble", structure_.members.size());
    for (std::size_t m = 0; m < structure_.members.size(); ++m) {
      if (!monitor.keep_going(m)) return failure(base::kCancelled);
      const StructureMember& member = structure_.members[m];
      if (!active[m] || member.type == model::MemberType::Rigid) continue;
      const MemberActions actions = member_actions(member, {});
      linalg::Matrix12 global;
      to_unknowns(structure_, member, actions.stiffness, actions.fixed_end_forces, &global,
                  nullptr);
      stiffness.add_element(global, member_unknowns(structure_, dofs_, member));
    }
    if (!monitor.finish()) return failure(base::kCancelled);
    told.stage_end("assemble");
    if (unknowns() == 0) return std::unique_ptr<SparseGlobalFactor>();

    const std::optional<std::uint64_t> available = base::analysis_budget();
    auto factor = SparseGlobalFactor::create(std::move(stiffness).release(), available, told);
    if (!factor) {
      switch (factor.error().kind) {
        case FactorFailure::Kind::too_large:
          return failure(fmt::format(
              "The model is too large for this machine: the factorisation of its stiffness "
              "matrix ({} unknowns) would need about {} of memory, more than the {} available.",
              unknowns(), base::gigabytes(factor.error().estimated_bytes),
              base::gigabytes(available.value_or(0))));
        case FactorFailure::Kind::out_of_memory:
          return failure("Not enough memory for the analysis: " + factor.error().text + ".");
        case FactorFailure::Kind::failed:
          return failure("The sparse solver failed: " + factor.error().text + ".");
        case FactorFailure::Kind::cancelled:
          return failure(base::kCancelled);
      }
    }
    if (monitor_.stop_requested()) return failure(base::kCancelled);
    if ((*factor)->singular()) {
      const std::int64_t unknown = (*factor)->null_pivots().front();
      const std::uint32_t node = dofs_.node_of[static_cast<std::size_t>(unknown)];
      int dof = 0;
      for (int k = 0; k < 6; ++k)
        if (dofs_.index[6 * (node - std::size_t{1}) + static_cast<std::size_t>(k)] == unknown)
          dof = k;
      return failure(fmt::format("The structure is unstable: node {} is free to move in {}.", node,
                                 kDofNames[dof]));
    }
    return std::move(*factor);
  }

  // The right-hand side of a load set over the unknowns: nodal loads and the fixed-end forces
  // of the line loads, moved to the nodes that loaded nodes follow.
  std::expected<void, std::string> load_vector(const LoadSet& set, double* rhs) const {
    for (const auto& [load, factor] : set.nodal) {
      linalg::Vector6 f = linalg::Vector6::Zero();
      for (int axis = 0; axis < 3; ++axis)
        if (load->direction[static_cast<std::size_t>(axis)] != 0.0)
          f(axis) = factor * load->direction[static_cast<std::size_t>(axis)] * load->magnitude;
      add_at_node(load->node, f, rhs);
    }
    for (std::size_t i = 0; i < set.line_members.size();) {
      const std::size_t m = set.line_members[i];
      const std::span<const mechanics::MemberLoad> loads = set.on_member(m);
      i += loads.size();
      const StructureMember& member = structure_.members[m];
      const MemberActions actions = member_actions(member, loads);
      if (actions.load_not_carried)
        return failure(fmt::format(
            "Member {} cannot carry the line load of {}: its end releases leave that action "
            "without stiffness.",
            member.id, set.label));
      linalg::Vector12 global;
      to_unknowns(structure_, member, actions.stiffness, actions.fixed_end_forces, nullptr,
                  &global);
      const ElementDofs element = member_unknowns(structure_, dofs_, member);
      for (std::size_t k = 0; k < 12; ++k)
        if (element[k] >= 0) rhs[element[k]] -= global(static_cast<Eigen::Index>(k));
    }
    return {};
  }

  // Every result of a load set from its displacements over the unknowns.
  std::expected<void, std::string> results(const LoadSet& set, const double* solution,
                                           const std::vector<std::uint8_t>& active,
                                           ResultSet& out) const {
    const std::size_t nodes = structure_.node_count;
    const std::size_t members = structure_.members.size();
    const auto stations = static_cast<std::size_t>(options_.stations);
    // Displacements: the unknowns, then every node that follows another.
    out.displacements.assign(6 * nodes, 0.0);
    for (std::size_t i = 0; i < 6 * nodes; ++i)
      if (const std::int64_t unknown = dofs_.index[i]; unknown >= 0)
        out.displacements[i] = solution[unknown];
    for (std::size_t n = 0; n < nodes; ++n) {
      const std::uint32_t root = structure_.root[n];
      if (root == n + 1) continue;
      const Eigen::Map<const linalg::Vector6> u_root(
          &out.displacements[6 * (root - std::size_t{1})]);
      const linalg::Vector6 u =
          follower_map(structure_, static_cast<std::uint32_t>(n + 1)) * u_root;
      std::copy(u.data(), u.data() + 6, &out.displacements[6 * n]);
    }

    out.end_forces.assign(12 * members, 0.0);
    out.internal_forces.assign(6 * stations * members, 0.0);
    out.internal_force_extremes.assign(12 * members, 0.0);
    out.inactive_members.clear();
    std::vector<double> sums(6 * nodes, 0.0);  // what each node exerts on its members
    for (std::size_t m = 0; m < members; ++m) {
      const StructureMember& member = structure_.members[m];
      if (!active[m]) {
        out.inactive_members.push_back(member.id);
        continue;
      }
      if (member.type == model::MemberType::Rigid) continue;
      const std::span<const mechanics::MemberLoad> loads = set.on_member(m);
      const MemberActions actions = member_actions(member, loads);
      linalg::Vector12 local;
      for (int b = 0; b < 4; ++b) {
        const double* u = &out.displacements[6 * ((b < 2 ? member.start : member.end) - 1) +
                                             3 * static_cast<std::size_t>(b % 2)];
        local.segment<3>(3 * b) = member.axes * linalg::Vector3{u[0], u[1], u[2]};
      }
      const linalg::Vector12 f = actions.stiffness * local + actions.fixed_end_forces;
      record_member(m, f, loads, out);
      add_member_forces(member, f, sums);
    }
    link_forces(set, sums, out);

    // Reactions: K u - F at the dofs each record fixes, summed over its nodes.
    for (const auto& [load, factor] : set.nodal)
      for (std::size_t axis = 0; axis < 3; ++axis)
        if (load->direction[axis] != 0.0)
          sums[6 * (load->node - 1) + axis] -= factor * load->direction[axis] * load->magnitude;
    out.reactions.assign(6 * structure_.support_nodes.size(), 0.0);
    for (std::size_t r = 0; r < structure_.support_nodes.size(); ++r)
      for (const std::uint32_t node : structure_.support_nodes[r])
        for (std::size_t k = 0; k < 6; ++k)
          if (structure_.support_dofs[r][k]) out.reactions[6 * r + k] += sums[6 * (node - 1) + k];
    return {};
  }

  // Tension members with a compressive force, compression members with a tensile one, and
  // switched-off members whose ends move apart (tension) or together (compression).
  std::vector<std::uint8_t> next_active(const std::vector<std::uint8_t>& active,
                                        const ResultSet& set) const {
    std::vector<std::uint8_t> next = active;
    for (std::size_t m = 0; m < structure_.members.size(); ++m) {
      const StructureMember& member = structure_.members[m];
      if (!member.switching()) continue;
      double stretch = 0.0;  // tension positive
      if (active[m]) {
        stretch = -set.end_forces[12 * m];
      } else {
        const double* a = &set.displacements[6 * (member.start - 1)];
        const double* b = &set.displacements[6 * (member.end - 1)];
        for (int k = 0; k < 3; ++k) stretch += member.axes(0, k) * (b[k] - a[k]);
      }
      const bool wanted = member.type == model::MemberType::Tension ? stretch > 0.0 : stretch < 0.0;
      next[m] = active[m] ? (stretch == 0.0 || wanted) : wanted;
    }
    return next;
  }

 private:
  void add_at_node(std::uint32_t node, const linalg::Vector6& f, double* rhs) const {
    const std::uint32_t root = structure_.root[node - 1];
    const linalg::Vector6 moved =
        root == node ? f : (follower_map(structure_, node).transpose() * f).eval();
    for (std::size_t k = 0; k < 6; ++k)
      if (const std::int64_t unknown = dofs_.index[6 * (root - std::size_t{1}) + k]; unknown >= 0)
        rhs[unknown] += moved(static_cast<Eigen::Index>(k));
  }

  void record_member(std::size_t m, const linalg::Vector12& f,
                     std::span<const mechanics::MemberLoad> loads, ResultSet& out) const {
    const auto stations = static_cast<std::size_t>(options_.stations);
    std::copy(f.data(), f.data() + 12, &out.end_forces[12 * m]);
    const mechanics::InternalForceLine line(f, structure_.members[m].length, loads);
    line.at_stations(options_.stations, &out.internal_forces[6 * stations * m]);
    line.extremes(&out.internal_force_extremes[12 * m]);
  }

  // Adds, in global axes at its two nodes, what the nodes exert on a member.
  static void add_member_forces(const StructureMember& member, const linalg::Vector12& f,
                                std::vector<double>& sums) {
    for (int b = 0; b < 4; ++b) {
      const linalg::Vector3 global = member.axes.transpose() * f.segment<3>(3 * b);
      double* target = &sums[6 * ((b < 2 ? member.start : member.end) - 1) +
                             3 * static_cast<std::size_t>(b % 2)];
      target[0] += global.x();
      target[1] += global.y();
      target[2] += global.z();
    }
  }

  // The forces the rigid links carry, from the equilibrium of the nodes that follow, leaves
  // first: a link takes at its child node what the node's loads leave over after its other
  // members, and passes it on to its parent node moved by the link's length.
  void link_forces(const LoadSet& set, std::vector<double>& sums, ResultSet& out) const {
    if (structure_.links_leaves_first.empty()) return;
    std::vector<double> loads(6 * structure_.node_count, 0.0);
    for (const auto& [load, factor] : set.nodal)
      for (std::size_t axis = 0; axis < 3; ++axis)
        loads[6 * (load->node - 1) + axis] += factor * load->direction[axis] * load->magnitude;
    for (const Structure::Link& link : structure_.links_leaves_first) {
      const StructureMember& member = structure_.members[link.member];
      const std::uint32_t child = link.child;
      const std::uint32_t parent = member.start == child ? member.end : member.start;
      double at_child[6], at_parent[6];
      for (std::size_t k = 0; k < 6; ++k)
        at_child[k] = loads[6 * (child - 1) + k] - sums[6 * (child - 1) + k];
      const double* c = structure_.xyz(child);
      const double* p = structure_.xyz(parent);
      const linalg::Vector3 r{c[0] - p[0], c[1] - p[1], c[2] - p[2]};
      const linalg::Vector3 force{at_child[0], at_child[1], at_child[2]};
      const linalg::Vector3 moment =
          -linalg::Vector3{at_child[3], at_child[4], at_child[5]} - r.cross(force);
      for (std::size_t k = 0; k < 3; ++k) {
        at_parent[k] = -at_child[k];
        at_parent[3 + k] = moment(static_cast<Eigen::Index>(k));
      }
      for (std::size_t k = 0; k < 6; ++k) {
        sums[6 * (child - 1) + k] += at_child[k];
        sums[6 * (parent - 1) + k] += at_parent[k];
      }
      const double* start = member.start == child ? at_child : at_parent;
      const double* end = member.start == child ? at_parent : at_child;
      linalg::Vector12 f;
      for (int b = 0; b < 4; ++b) {
        const double* g = (b < 2 ? start : end) + 3 * (b % 2);
        f.segment<3>(3 * b) = member.axes * linalg::Vector3{g[0], g[1], g[2]};
      }
      record_member(link.member, f, {}, out);
    }
  }

  const Structure& structure_;
  DofNumbering dofs_;
  std::vector<std::array<std::uint32_t, 2>> couplings_ = member_couplings(structure_);
  const AnalysisOptions& options_;
  base::Monitor& monitor_;
  base::Monitor quiet_;  // told nothing: the later rounds of switching members
};

std::optional<std::string> find_non_finite(const ResultSet& set, const std::string& which,
                                           const StaticAnalysis& analysis) {
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

StaticAnalysis geometry(const Structure& structure, const AnalysisOptions& options) {
  const model::VELM& model = *structure.model;
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
  return analysis;
}

std::expected<StaticAnalysis, std::string> run(const model::VELM& model,
                                               const AnalysisOptions& options,
                                               base::Monitor& monitor) {
  monitor.stage_progress("check", 0.0);
  auto built = build_structure(model);
  if (!built) return failure(built.error());
  const Structure& structure = *built;
  if (monitor.stop_requested()) return failure(base::kCancelled);
  if (auto fits = check_result_memory(model, structure, options.stations); !fits)
    return failure(fits.error());

  Analyser analyser(structure, options, monitor);
  StaticAnalysis analysis = geometry(structure, options);
  std::vector<LoadSet> sets;
  for (std::size_t c = 0; c < model.load_cases.size(); ++c)
    sets.push_back(case_loads(structure, c));
  for (const model::LoadCombination& combination : model.load_combinations)
    sets.push_back(combination_loads(structure, combination));
  const std::size_t cases = model.load_cases.size();
  std::vector<ResultSet> results(sets.size());
  for (std::size_t s = 0; s < sets.size(); ++s) {
    const bool is_case = s < cases;
    results[s].id =
        is_case ? model.load_cases[s].id : model.load_combinations[s - cases].load_combination_id;
    results[s].name = is_case ? model.load_cases[s].name : model.load_combinations[s - cases].name;
  }
  const std::vector<std::uint8_t> all_on(structure.members.size(), 1);
  const std::size_t unknowns = analyser.unknowns();

  if (!structure.has_switching_members) {
    // Linear: one factorisation, one solve for every load case; combinations are the factored
    // sums of the case solutions.
    std::vector<double> solution(unknowns * cases, 0.0);
    for (std::size_t c = 0; c < cases; ++c)
      if (auto loaded = analyser.load_vector(sets[c], solution.data() + c * unknowns); !loaded)
        return failure(loaded.error());
    auto factor = analyser.factorise(all_on, true);
    if (!factor) return failure(factor.error());
    if (unknowns > 0) {
      monitor.stage_progress("solve", 0.0);
      if (auto solved =
              (*factor)->solve_in_place(solution.data(), static_cast<std::int32_t>(cases));
          !solved)
        return failure("The sparse solver failed to solve: " + solved.error().text + ".");
    }
    factor->reset();
    if (monitor.stop_requested()) return failure(base::kCancelled);
    monitor.stage_end("solve");
    base::StageMonitor results_monitor(monitor, "results", sets.size());
    // The result sets are independent: each is computed on whichever thread takes it, from
    // the same inputs, so the values do not depend on the threads.
    auto set_results = [&](std::size_t s) -> std::expected<void, std::string> {
      const double* u = solution.data() + std::min(s, cases == 0 ? 0 : cases - 1) * unknowns;
      std::vector<double> combined;
      if (s >= cases) {
        combined.assign(unknowns, 0.0);
        for (const auto& [case_id, factor_value] :
             model.load_combinations[s - cases].load_cases_factors)
          for (std::size_t c = 0; c < cases; ++c)
            if (model.load_cases[c].id == case_id)
              for (std::size_t i = 0; i < unknowns; ++i)
                combined[i] += factor_value * solution[c * unknowns + i];
        // Its loads are its cases' loads times factors, which the load vectors of the cases
        // have checked already.
        u = combined.data();
      }
      return analyser.results(sets[s], u, all_on, results[s]);
    };
    auto keep_going = [&](std::size_t done) {
      monitor.stage_progress("results",
                             static_cast<double>(done) / static_cast<double>(sets.size()));
      return !monitor.stop_requested();
    };
    if (auto done = base::for_each_item(sets.size(), base::kCancelled, set_results, keep_going);
        !done)
      return failure(done.error());
    if (!results_monitor.finish()) return failure(base::kCancelled);
  } else {
    // Tension- and compression-only members: superposition does not hold, so every load set is
    // analysed on its own, switching members off and on until none changes.
    for (std::size_t s = 0; s < sets.size(); ++s) {
      std::vector<std::uint8_t> active = all_on;
      std::vector<double> solution(unknowns);
      bool settled = false;
      for (int round = 0; round < kMaxSwitchingRounds && !settled; ++round) {
        std::fill(solution.begin(), solution.end(), 0.0);
        if (auto loaded = analyser.load_vector(sets[s], solution.data()); !loaded)
          return failure(loaded.error());
        auto factor = analyser.factorise(active, s == 0 && round == 0);
        if (!factor) return failure(factor.error());
        if (unknowns > 0)
          if (auto solved = (*factor)->solve_in_place(solution.data(), 1); !solved)
            return failure("The sparse solver failed to solve: " + solved.error().text + ".");
        if (auto done = analyser.results(sets[s], solution.data(), active, results[s]); !done)
          return failure(done.error());
        const std::vector<std::uint8_t> next = analyser.next_active(active, results[s]);
        settled = next == active;
        active = next;
      }
      if (!settled)
        return failure(fmt::format(
            "The tension-only and compression-only members of {} did not settle in {} rounds of "
            "switching members off and on.",
            sets[s].label, kMaxSwitchingRounds));
      if (monitor.stop_requested()) return failure(base::kCancelled);
      monitor.stage_progress("results",
                             static_cast<double>(s + 1) / static_cast<double>(sets.size()));
    }
    monitor.stage_end("solve");
  }

  for (std::size_t s = 0; s < sets.size(); ++s)
    if (auto fault = find_non_finite(results[s], sets[s].label, analysis)) return failure(*fault);
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

std::expected<StaticAnalysis, std::string> analyse_statics(const model::VELM& model,
                                                           const AnalysisOptions& options,
                                                           base::Monitor& monitor) {
  try {
    return run(model, options, monitor);
  } catch (const std::bad_alloc&) {
    return failure("Not enough memory for the analysis: an allocation failed.");
  }
}

}  // namespace velm::engineering
