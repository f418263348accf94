#include "engineering/modal_analysis.hpp"

#include <fmt/format.h>
#include <Eigen/Eigenvalues>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <optional>

#include "engineering/modal_masses.hpp"
#include "engineering/natural_modes.hpp"
#include "engineering/result_recovery.hpp"
#include "mechanics/dynamic_stiffness.hpp"
#include "system/assembly.hpp"
#include "system/factorisation.hpp"
#include "system/mass_assembly.hpp"
#include "system/member_unknowns.hpp"

namespace velm::engineering {

namespace {

using linalg::Vector;

// Segment lengths to begin with: omega_max at most these shares of a segment's clamped bending
// and axial (or torsional) frequencies.
constexpr double kBendingRatio = 0.15;
constexpr double kAxialRatio = 0.25;
// A frequency of the cut structure more than this above its exact value calls for finer cuts
// where the error sits: of the members whose error indicator is at least kShare of the largest.
constexpr double kGap = 1e-3;
constexpr double kShare = 0.1;
constexpr std::uint32_t kMostSegments = 64;
constexpr int kMostPasses = 8;

// How many segments each member needs for frequencies up to omega_max.
std::vector<std::uint32_t> segments_for(const frame::Structure& structure,
                                        const MemberMasses& masses, double omega_max) {
  std::vector<std::uint32_t> count(structure.members.size(), 1);
  for (std::size_t m = 0; m < structure.members.size(); ++m) {
    const frame::StructureMember& member = structure.members[m];
    if (member.axial_only() || member.type == model::MemberType::Rigid) continue;
    mechanics::LineMass heaviest = masses.own[m];
    heaviest.translational += masses.heaviest_line[m];
    const mechanics::ClampedFrequencies f =
        mechanics::clamped_frequencies(member.properties, heaviest, member.length);
    const double bending = std::sqrt(omega_max / (kBendingRatio * f.bending));
    const double axial = omega_max / (kAxialRatio * f.axial);
    const double need = std::ceil(std::max({1.0, bending, axial}));
    count[m] = need >= kMostSegments ? kMostSegments : static_cast<std::uint32_t>(need);
  }
  return count;
}

std::vector<std::vector<double>> cuts_for(const frame::Structure& structure,
                                          const MemberMasses& masses,
                                          const std::vector<std::uint32_t>& count) {
  std::vector<std::vector<double>> cuts(structure.members.size());
  const auto cut_able = [&](std::size_t m) {
    const frame::StructureMember& member = structure.members[m];
    return !member.axial_only() && member.type != model::MemberType::Rigid;
  };
  for (const LineMassPart& part : masses.lines)
    if (cut_able(part.member))
      for (const double x : {part.from, part.to}) cuts[part.member].push_back(x);
  for (std::size_t m = 0; m < structure.members.size(); ++m) {
    if (!cut_able(m)) continue;
    const double l = structure.members[m].length;
    for (std::uint32_t i = 1; i < count[m]; ++i) cuts[m].push_back(l * i / count[m]);
    std::vector<double>& at = cuts[m];
    std::sort(at.begin(), at.end());
    std::vector<double> kept;
    double last = 0.0;
    for (const double x : at)
      if (x - last > 1e-9 * l && l - x > 1e-9 * l) kept.push_back(last = x);
    at = std::move(kept);
  }
  return cuts;
}

// The roots of the Rayleigh functional phi^T D(omega) phi for the mode's shape, by secant
// steps from the estimate; the estimate itself where they do not settle below the first pole.
// `indicator` (per segment of the cut structure, added to): how far the segment's consistent
// K - omega^2 M misses its exact D(omega) on the mode at the refined omega, |u^T (K - omega^2 M
// - D) u|: where the cut structure's error sits.
double refined(const ModalSystem& system, const std::vector<mechanics::LineMass>& segment_mass,
               const std::vector<double>& node_mass, const Vector& shape, double estimate,
               double pole, std::vector<double>& indicator) {
  const frame::Structure& structure = system.cut.structure;
  const std::vector<double> nodes = node_displacements(*system.model, shape.data());
  std::vector<std::size_t> exact;
  std::vector<linalg::Vector12> motion;
  std::vector<double> strain, kinetic;  // u^T K u and u^T M u of the exact segments
  double stiff = 0.0, inert = 0.0;      // the parts in omega^0 and omega^2 of the others
  for (std::size_t s = 0; s < structure.members.size(); ++s) {
    const frame::StructureMember& member = structure.members[s];
    if (member.type == model::MemberType::Rigid) continue;
    const linalg::Vector12 u = system::local_end_displacements(member, nodes);
    if (member.axial_only()) {
      const system::ElementData& element = system.model->elements[s];
      stiff += u.dot(element.stiffness() * u);
      inert += u.dot(system::member_mass(member, element, segment_mass[s]) * u);
      continue;
    }
    exact.push_back(s);
    motion.push_back(u);
    const system::ElementData& element = system.model->elements[s];
    strain.push_back(u.dot(element.stiffness() * u));
    kinetic.push_back(u.dot(system::member_mass(member, element, segment_mass[s]) * u));
  }
  for (std::uint32_t node = 1; node <= structure.node_count; ++node)
    for (std::size_t k = 0; k < 3; ++k) {
      const double u = nodes[6 * (node - 1) + k];
      inert += node_mass[node - 1] * u * u;
    }
  // The supports' springs, k u^2.
  for (std::size_t i = 0; i < structure.springs.size(); ++i)
    stiff += structure.springs[i] * nodes[i] * nodes[i];
  // phi^T D(omega) phi; with `indicator`, also each exact segment's |u^T (K - omega^2 M - D) u|.
  const auto functional = [&](double omega, std::vector<double>* errors) {
    double sum = stiff - omega * omega * inert;
    for (std::size_t i = 0; i < exact.size(); ++i) {
      const std::size_t s = exact[i];
      const frame::StructureMember& member = structure.members[s];
      linalg::Matrix12 d =
          mechanics::dynamic_stiffness(member.properties, segment_mass[s], member.length, omega);
      if (member.released)
        d = mechanics::Condensation(d, member.ends, member.length,
                                    mechanics::Condensation::Balance::none)
                .stiffness();
      const double exact_part = motion[i].dot(d * motion[i]);
      sum += exact_part;
      if (errors != nullptr)
        (*errors)[s] += std::abs(strain[i] - omega * omega * kinetic[i] - exact_part);
    }
    return sum;
  };
  // The functional falls as -omega^2 phi^T M phi near the root, phi^T M phi = 1: a first step
  // omega + f / (2 omega), then secant steps, each error about the product of the last two,
  // until a step is below 1e-11 of omega (the functional is a sum over the members with
  // rounding of about 1e-10 of omega^2: below that its sign is noise) or |f| stops falling.
  std::vector<double> local(indicator.size(), 0.0);
  double a = estimate, fa = functional(a, nullptr);
  double b = a + fa / (2.0 * a);
  double omega = estimate, best = std::abs(fa);
  for (int step = 0; step < 8; ++step) {
    if (!(b > 0.0) || !(b < pole) || !std::isfinite(b)) break;
    std::fill(local.begin(), local.end(), 0.0);
    const double fb = functional(b, &local);
    if (!(std::abs(fb) < best)) break;
    best = std::abs(fb);
    omega = b;
    if (std::abs(b - a) <= 1e-11 * b || fb == 0.0 || fb == fa) break;
    const double c = b - fb * (b - a) / (fb - fa);
    a = b, fa = fb;
    b = c;
  }
  if (!(std::abs(omega - estimate) < 0.05 * estimate)) omega = estimate;
  if (omega != estimate)
    for (std::size_t s = 0; s < local.size(); ++s) indicator[s] += local[s];
  return omega;
}

// The motion r of direction d (0..2 along X, Y, Z; 3..5 about them through the origin) at a
// node at x: (translation, rotation).
linalg::Vector6 rigid_motion(int d, const double* x) {
  linalg::Vector6 r = linalg::Vector6::Zero();
  if (d < 3) {
    r(d) = 1.0;
  } else {
    linalg::Vector3 axis = linalg::Vector3::Zero();
    axis(d - 3) = 1.0;
    r.head<3>() = axis.cross(linalg::Vector3{x[0], x[1], x[2]});
    r(d) = 1.0;
  }
  return r;
}

linalg::Vector12 local_rigid(const frame::Structure& structure,
                             const frame::StructureMember& member, int d) {
  linalg::Vector12 local;
  for (int e = 0; e < 2; ++e) {
    const linalg::Vector6 r = rigid_motion(d, structure.xyz(e == 0 ? member.start : member.end));
    local.segment<3>(6 * e) = member.axes * r.head<3>();
    local.segment<3>(6 * e + 3) = member.axes * r.tail<3>();
  }
  return local;
}

}  // namespace

base::Expected<ModalResult> modal_analysis(const frame::Structure& structure,
                                           const ModalOptions& options, base::Monitor& monitor,
                                           const system::Factorisation* shared) {
  auto found_masses = member_masses(structure, options);
  if (!found_masses) return std::unexpected(std::move(found_masses.error()));
  const MemberMasses& masses = *found_masses;

  auto system = std::make_shared<ModalSystem>();
  system->original = structure;
  std::vector<std::uint32_t> count(structure.members.size(), 1);
  std::vector<Mode> modes;
  std::vector<mechanics::LineMass> segment_mass;
  std::vector<double> node_mass;
  base::Monitor quiet;
  std::optional<system::SparseGlobalMatrix> mass;
  for (int pass = 0; pass < kMostPasses; ++pass) {
    system->cut = frame::subdivided_structure(structure, cuts_for(structure, masses, count));
    system->model = std::make_unique<system::DiscreteModel>(system->cut.structure, monitor);
    if (!system->model->complete() || monitor.stop_requested())
      return base::fail(base::ErrorCode::cancelled);
    const frame::Subdivision& cut = system->cut;
    segment_mass = segment_masses(cut, masses);
    node_mass = masses.nodes;
    node_mass.resize(cut.structure.node_count, 0.0);
    mass.emplace(system::assemble_mass(*system->model, segment_mass, node_mass));
    // Small systems are solved densely from K; larger ones on K's factorisation, which is the
    // caller's while the structure is uncut.
    const bool dense = system->model->unknowns() <= kDenseModesOrder;
    const bool uncut = cut.structure.node_count == structure.node_count;
    std::optional<system::SparseGlobalMatrix> stiffness;
    std::optional<system::Factorisation> own;
    if (dense || shared == nullptr || !uncut) {
      const std::vector<std::uint8_t> all(cut.structure.members.size(), 1);
      auto assembled = system::assemble_stiffness(*system->model, all, pass == 0 ? monitor : quiet);
      if (!assembled) return std::unexpected(std::move(assembled.error()));
      if (dense) {
        stiffness.emplace(std::move(*assembled));
      } else {
        auto factor = system::Factorisation::of(std::move(*assembled), system->model->dofs,
                                                pass == 0 ? monitor : quiet);
        if (!factor) return std::unexpected(std::move(factor.error()));
        own.emplace(std::move(*factor));
      }
    }
    if (monitor.stop_requested()) return base::fail(base::ErrorCode::cancelled);
    auto lowest = dense ? dense_modes(*stiffness, *mass, options.modes)
                        : lowest_modes(*mass, own ? *own : *shared, options.modes, monitor);
    if (!lowest) return std::unexpected(std::move(lowest.error()));
    own.reset();
    modes = std::move(*lowest);
    bool finer = false;
    const auto cut_finer = [&](std::size_t m, std::uint32_t segments) {
      const frame::StructureMember& member = structure.members[m];
      if (member.axial_only() || member.type == model::MemberType::Rigid) return;
      if (masses.own[m].translational + masses.heaviest_line[m] <= 0.0) return;
      segments = std::min(segments, kMostSegments);
      if (segments > count[m]) count[m] = segments, finer = true;
    };
    if (static_cast<int>(modes.size()) < options.modes) {
      // Fewer modes than asked: members with mass of their own have more between their nodes.
      for (std::size_t m = 0; m < count.size(); ++m) cut_finer(m, 2 * count[m] + 2);
    }
    if (!modes.empty()) {
      const std::vector<std::uint32_t> needed = segments_for(structure, masses, modes.back().omega);
      for (std::size_t m = 0; m < count.size(); ++m) cut_finer(m, needed[m]);
    }
    if (finer) continue;

    // The first pole of any segment bounds the refinement.
    double pole = std::numeric_limits<double>::infinity();
    for (std::size_t s = 0; s < cut.structure.members.size(); ++s) {
      const frame::StructureMember& member = cut.structure.members[s];
      if (member.axial_only() || member.type == model::MemberType::Rigid) continue;
      const mechanics::ClampedFrequencies f =
          mechanics::clamped_frequencies(member.properties, segment_mass[s], member.length);
      pole = std::min({pole, f.bending, f.axial});
    }
    // Refine every frequency; where the cut structure's own frequency lies more than kGap above
    // the exact one, cut the members that hold most of its error finer, and solve again.
    std::vector<double> per_member(structure.members.size(), 0.0);
    for (Mode& mode : modes) {
      if (monitor.stop_requested()) return base::fail(base::ErrorCode::cancelled);
      mode.shape /= std::sqrt(mode.shape.dot(mass->multiply(mode.shape)));
      std::vector<double> indicator(cut.structure.members.size(), 0.0);
      const double estimate = mode.omega;
      mode.omega = refined(*system, segment_mass, node_mass, mode.shape, estimate, pole, indicator);
      if (estimate - mode.omega <= kGap * mode.omega) continue;
      for (std::size_t s = 0; s < indicator.size(); ++s)
        per_member[cut.original[s]] += indicator[s];
    }
    const double largest = *std::max_element(per_member.begin(), per_member.end());
    if (largest > 0.0 && pass + 1 < kMostPasses)
      for (std::size_t m = 0; m < per_member.size(); ++m)
        if (per_member[m] >= kShare * largest) cut_finer(m, 2 * count[m]);
    if (!finer) break;
  }
  if (modes.empty())
    return base::fail(base::ErrorCode::invalid_model,
                      "The model has no mass that can move: every mass sits on fixed degrees of "
                      "freedom.");
  std::stable_sort(modes.begin(), modes.end(),
                   [](const Mode& a, const Mode& b) { return a.omega < b.omega; });

  const frame::Structure& cut = system->cut.structure;
  ModalResult result;
  const std::size_t n_nodes = structure.node_count;

  // Per segment, M r for the six rigid motions r (member axes), once for every mode: the
  // participation is then (T u)^T (M r), T the motion of the released ends.
  std::vector<std::size_t> heavy;
  std::vector<Eigen::Matrix<double, 12, 6>> weights;
  for (std::size_t s = 0; s < cut.members.size(); ++s) {
    const frame::StructureMember& member = cut.members[s];
    const mechanics::LineMass& line = segment_mass[s];
    if (member.type == model::MemberType::Rigid ||
        (line.translational == 0.0 && line.torsional == 0.0))
      continue;
    const linalg::Matrix12 local =
        member.axial_only()
            ? mechanics::bar_mass(line.translational, member.length, 0.0, member.length)
            : mechanics::consistent_mass(line, member.length, 0.0, member.length);
    Eigen::Matrix<double, 12, 6> w;
    for (int d = 0; d < 6; ++d) {
      const linalg::Vector12 r = local_rigid(cut, member, d);
      w.col(d) = local * r;
      result.total_masses[static_cast<std::size_t>(d)] += r.dot(w.col(d));
    }
    heavy.push_back(s);
    weights.push_back(w);
  }
  for (std::uint32_t node = 1; node <= cut.node_count; ++node)
    for (int d = 0; d < 6; ++d) {
      const linalg::Vector6 r = rigid_motion(d, cut.xyz(node));
      result.total_masses[static_cast<std::size_t>(d)] +=
          node_mass[node - 1] * r.head<3>().squaredNorm();
    }

  for (const Mode& mode : modes) {
    std::vector<double> nodes = node_displacements(*system->model, mode.shape.data());
    // The sign: the largest translation at the nodes positive (the first on a tie), else the
    // largest rotation.
    double pick = 0.0;
    for (const std::size_t from : {std::size_t{0}, std::size_t{3}}) {
      double best = 0.0;
      for (std::size_t i = 0; i < n_nodes; ++i)
        for (std::size_t k = from; k < from + 3; ++k)
          if (std::abs(nodes[6 * i + k]) > std::abs(best)) best = nodes[6 * i + k];
      if (best != 0.0) {
        pick = best;
        break;
      }
    }
    const double sign = pick < 0.0 ? -1.0 : 1.0;
    Vector shape = sign * mode.shape;
    for (double& v : nodes) v *= sign;

    Eigen::Matrix<double, 6, 1> gamma = Eigen::Matrix<double, 6, 1>::Zero();
    for (std::size_t h = 0; h < heavy.size(); ++h) {
      const std::size_t s = heavy[h];
      const frame::StructureMember& member = cut.members[s];
      linalg::Vector12 u = system::local_end_displacements(member, nodes);
      if (member.released && !member.axial_only())
        u = system->model->elements[s].condensation.end_motion() * u;
      gamma.noalias() += weights[h].transpose() * u;
    }
    for (std::uint32_t node = 1; node <= cut.node_count; ++node) {
      const double m = node_mass[node - 1];
      if (m == 0.0) continue;
      for (int d = 0; d < 6; ++d) {
        const linalg::Vector6 r = rigid_motion(d, cut.xyz(node));
        for (int k = 0; k < 3; ++k) gamma(d) += m * nodes[6 * (node - 1) + k] * r(k);
      }
    }
    result.frequencies.push_back(mode.omega / (2.0 * std::numbers::pi));
    result.periods.push_back(2.0 * std::numbers::pi / mode.omega);
    result.shapes.insert(result.shapes.end(), nodes.begin(),
                         nodes.begin() + static_cast<std::ptrdiff_t>(6 * n_nodes));
    std::array<double, 6> factors{};
    for (int d = 0; d < 6; ++d) {
      factors[static_cast<std::size_t>(d)] = gamma(d);
      result.participation_factors.push_back(gamma(d));
      result.effective_masses.push_back(gamma(d) * gamma(d));
    }
    system->modes.push_back(std::move(shape));
    system->omegas.push_back(mode.omega);
    system->participation.push_back(factors);
  }
  result.mass_source = masses.source;
  result.system = std::move(system);
  return result;
}

}  // namespace velm::engineering
