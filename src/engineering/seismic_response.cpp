#include "engineering/seismic_response.hpp"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <numbers>

#include "engineering/result_recovery.hpp"
#include "frame/load_sets.hpp"
#include "mechanics/deflection_line.hpp"
#include "mechanics/internal_forces.hpp"

namespace velm::engineering {

double spectral_acceleration(std::span<const double> periods, std::span<const double> accelerations,
                             double period) {
  if (periods.empty()) return 0.0;
  if (period <= periods.front()) return accelerations.front();
  if (period >= periods.back()) return accelerations.back();
  const auto above = std::upper_bound(periods.begin(), periods.end(), period);
  const std::size_t j = static_cast<std::size_t>(above - periods.begin());
  const double t0 = periods[j - 1], t1 = periods[j];
  if (t1 == t0) return accelerations[j];
  const double w = (period - t0) / (t1 - t0);
  return accelerations[j - 1] + w * (accelerations[j] - accelerations[j - 1]);
}

double cqc_coefficient(double omega_i, double omega_j, double zeta) {
  const double beta = omega_j / omega_i;
  const double z2 = zeta * zeta;
  const double numerator = 8.0 * z2 * (1.0 + beta) * std::pow(beta, 1.5);
  const double denominator =
      (1.0 - beta * beta) * (1.0 - beta * beta) + 4.0 * z2 * beta * (1.0 + beta) * (1.0 + beta);
  return denominator > 0.0 ? numerator / denominator : 1.0;
}

namespace {

// Combines the modal values r (k per entry, entry after entry) into `out`.
class Combiner {
 public:
  Combiner(std::vector<double> rho, std::size_t modes) : rho_(std::move(rho)), k_(modes) {}
  double operator()(const double* r, std::size_t stride) const {
    double sum = 0.0;
    for (std::size_t i = 0; i < k_; ++i)
      for (std::size_t j = 0; j < k_; ++j) sum += rho_[i * k_ + j] * r[i * stride] * r[j * stride];
    return std::sqrt(std::max(sum, 0.0));
  }

 private:
  std::vector<double> rho_;
  std::size_t k_;
};

// Widens the extremes `out` (per member `width` minima, then `width` maxima) to minus and plus
// the largest combined value (a magnitude) of each component over the member's points
// [first[m], first[m + 1]) of `points`.
void widen_extremes(const std::vector<double>& points, const std::vector<std::size_t>& first,
                    std::size_t width, std::vector<double>& out) {
  for (std::size_t m = 0; m + 1 < first.size(); ++m)
    for (std::size_t c = 0; c < width; ++c) {
      double largest = out[2 * width * m + width + c];
      for (std::size_t p = first[m]; p < first[m + 1]; ++p)
        largest = std::max(largest, points[p * width + c]);
      out[2 * width * m + c] = -largest;
      out[2 * width * m + width + c] = largest;
    }
}

}  // namespace

ResultSet spectrum_response(const ModalSystem& system, const GroundMotion& motion, int stations) {
  const frame::Structure& original = system.original;
  const frame::Structure& cut = system.cut.structure;
  const std::size_t k = system.modes.size();
  const linalg::Vector3 d =
      linalg::Vector3{motion.direction[0], motion.direction[1], motion.direction[2]}.normalized();
  std::vector<double> rho(k * k, 0.0);
  for (std::size_t i = 0; i < k; ++i)
    for (std::size_t j = 0; j < k; ++j)
      rho[i * k + j] = motion.rule == ModalCombination::srss
                           ? (i == j ? 1.0 : 0.0)
                           : cqc_coefficient(system.omegas[i], system.omegas[j], motion.damping);
  const Combiner combine(std::move(rho), k);

  const std::size_t nodes = original.node_count, members = original.members.size();
  const std::size_t supports = original.support_nodes.size();
  const auto per_member = static_cast<std::size_t>(stations);
  // Modal values, mode-fastest: entry e of mode i at [e * k + i].
  std::vector<double> displacements(6 * nodes * k), reactions(6 * supports * k);
  std::vector<double> node_reactions(6 * nodes * k);
  std::vector<double> end_forces(12 * members * k), along(6 * per_member * members * k);
  // Per member, the ends of its pieces (both sides of each cut), 6 values each.
  std::vector<std::size_t> piece_start(members + 1, 0);
  for (std::size_t m = 0; m < members; ++m)
    piece_start[m + 1] = piece_start[m] + 2 * system.cut.segment_count[m];
  std::vector<double> pieces(6 * piece_start[members] * k);
  // Deflections at the stations, and relative to the member's chord at the stations and then
  // at the cut points (the ends of its segments).
  std::vector<double> deflections(3 * per_member * members * k);
  std::vector<std::size_t> point_start(members + 1, 0);
  for (std::size_t m = 0; m < members; ++m)
    point_start[m + 1] = point_start[m] + per_member + system.cut.segment_count[m] + 1;
  std::vector<double> off_chord(3 * point_start[members] * k);

  const frame::LoadSet none;
  const std::vector<std::uint8_t> all(cut.members.size(), 1);
  for (std::size_t i = 0; i < k; ++i) {
    const std::array<double, 6>& gamma = system.participation[i];
    const double participation = d.x() * gamma[0] + d.y() * gamma[1] + d.z() * gamma[2];
    const double omega = system.omegas[i];
    const double sa =
        spectral_acceleration(motion.periods, motion.accelerations, 2.0 * std::numbers::pi / omega);
    const linalg::Vector u = system.modes[i] * (participation * sa / (omega * omega));
    ResultSet modal;
    recover_results(*system.model, none, u.data(), all, 2, modal);
    for (std::size_t e = 0; e < 6 * nodes; ++e) displacements[e * k + i] = modal.displacements[e];
    for (std::size_t e = 0; e < 6 * supports; ++e) reactions[e * k + i] = modal.reactions[e];
    for (std::size_t e = 0; e < 6 * nodes; ++e) node_reactions[e * k + i] = modal.node_reactions[e];
    for (std::size_t m = 0; m < members; ++m) {
      const std::size_t first = system.cut.first_segment[m];
      const std::size_t count = system.cut.segment_count[m];
      const double* start = &modal.end_forces[12 * first];
      const double* end = &modal.end_forces[12 * (first + count - 1)];
      for (std::size_t c = 0; c < 6; ++c) {
        end_forces[(12 * m + c) * k + i] = start[c];
        end_forces[(12 * m + 6 + c) * k + i] = end[6 + c];
      }
      const double length = original.members[m].length;
      std::size_t s = first;
      for (std::size_t j = 0; j < per_member; ++j) {
        const double x = length * static_cast<double>(j) / static_cast<double>(per_member - 1);
        while (s + 1 < first + count && system.cut.offset[s + 1] <= x) ++s;
        const Eigen::Map<const linalg::Vector12> f(&modal.end_forces[12 * s]);
        std::array<double, 6> value;
        if (j == 0) {
          for (std::size_t c = 0; c < 6; ++c) value[c] = -start[c];
        } else if (j + 1 == per_member) {
          for (std::size_t c = 0; c < 6; ++c) value[c] = end[6 + c];
        } else {
          value = mechanics::InternalForceLine(f, cut.members[s].length, {})
                      .at(x - system.cut.offset[s]);
        }
        for (std::size_t c = 0; c < 6; ++c)
          along[((m * per_member + j) * 6 + c) * k + i] = value[c];
        // The segment's end translations, as its recovery gave them.
        const double* w = &modal.deflections[6 * s];
        linalg::Vector12 ends = linalg::Vector12::Zero();
        for (int c = 0; c < 3; ++c) {
          ends(c) = w[c];
          ends(6 + c) = w[3 + c];
        }
        const std::array<double, 3> moved =
            j == 0 ? std::array<double, 3>{w[0], w[1], w[2]}
            : j + 1 == per_member
                ? std::array<double, 3>{modal.deflections[6 * (first + count - 1) + 3],
                                        modal.deflections[6 * (first + count - 1) + 4],
                                        modal.deflections[6 * (first + count - 1) + 5]}
                : mechanics::DeflectionLine(ends, f, cut.members[s].length,
                                            cut.members[s].properties, {}, 0.0, 0.0)
                      .at(x - system.cut.offset[s]);
        for (std::size_t c = 0; c < 3; ++c)
          deflections[((m * per_member + j) * 3 + c) * k + i] = moved[c];
      }
      // Off the chord: at the stations, then at the cut points.
      const double* u0 = &deflections[(m * per_member * 3) * k + i];
      const double* u1 = &deflections[((m * per_member + per_member - 1) * 3) * k + i];
      const auto relative = [&](std::size_t point, double x, const double* at, std::size_t stride) {
        for (std::size_t c = 0; c < 3; ++c)
          off_chord[((point_start[m] + point) * 3 + c) * k + i] =
              at[c * stride] - u0[c * k] - x / length * (u1[c * k] - u0[c * k]);
      };
      for (std::size_t j = 0; j < per_member; ++j)
        relative(j, length * static_cast<double>(j) / static_cast<double>(per_member - 1),
                 &deflections[((m * per_member + j) * 3) * k + i], k);
      for (std::size_t p = 0; p <= count; ++p) {
        const std::size_t segment = first + std::min<std::size_t>(p, count - 1);
        const double* w = &modal.deflections[6 * segment + (p == count ? 3 : 0)];
        relative(per_member + p, p == count ? length : system.cut.offset[segment], w, 1);
      }
      for (std::size_t p = 0; p < count; ++p) {
        const double* f = &modal.end_forces[12 * (first + p)];
        for (std::size_t c = 0; c < 6; ++c) {
          pieces[((piece_start[m] + 2 * p) * 6 + c) * k + i] = -f[c];
          pieces[((piece_start[m] + 2 * p + 1) * 6 + c) * k + i] = f[6 + c];
        }
      }
    }
  }

  ResultSet out;
  out.id = 0;
  const char* rule = motion.rule == ModalCombination::cqc ? "CQC" : "SRSS";
  out.name = fmt::format("response spectrum, direction ({:g}, {:g}, {:g}), {} over {} modes", d.x(),
                         d.y(), d.z(), rule, k);
  const auto combined = [&](const std::vector<double>& modal) {
    std::vector<double> values(modal.size() / std::max<std::size_t>(k, 1));
    for (std::size_t e = 0; e < values.size(); ++e) values[e] = combine(&modal[e * k], 1);
    return values;
  };
  out.displacements = combined(displacements);
  out.reactions = combined(reactions);
  out.node_reactions = combined(node_reactions);
  out.end_forces = combined(end_forces);
  out.internal_forces = combined(along);
  out.internal_force_extremes.assign(12 * members, 0.0);
  std::vector<std::size_t> station_start(members + 1);
  for (std::size_t m = 0; m <= members; ++m) station_start[m] = m * per_member;
  widen_extremes(combined(pieces), piece_start, 6, out.internal_force_extremes);
  widen_extremes(out.internal_forces, station_start, 6, out.internal_force_extremes);
  out.deflections = combined(deflections);
  out.deflection_extremes.assign(6 * members, 0.0);
  widen_extremes(combined(off_chord), point_start, 3, out.deflection_extremes);
  out.imperfections.assign(3 * nodes, 0.0);
  return out;
}

}  // namespace velm::engineering
