// SecondOrderForceLine (declared with the rest of the member kernel in beam_column.hpp).
#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <vector>

#include "mechanics/beam_column.hpp"
#include "mechanics/internal_forces.hpp"

namespace velm::mechanics {

SecondOrderForceLine::SecondOrderForceLine(const linalg::Vector12& end_forces, double length,
                                           std::span<const MemberLoad> loads, double rho_y,
                                           double rho_z)
    : f_(end_forces),
      length_(length),
      loads_(loads),
      y_{MomentSolutions(rho_y), -end_forces(4), end_forces(10),
         moment_loads(loads, length, 2, -1.0)},
      z_{MomentSolutions(rho_z), -end_forces(5), end_forces(11),
         moment_loads(loads, length, 1, 1.0)} {}

std::array<double, 6> SecondOrderForceLine::at(double x) const {
  std::array<double, 6> s = InternalForceLine(f_, length_, loads_).at(x);
  const double t = x / length_;
  s[4] = y_.moment(t)[0];
  s[5] = z_.moment(t)[0];
  return s;
}

void SecondOrderForceLine::at_stations(int stations, double* out) const {
  const int last = stations - 1;
  for (int j = 0; j <= last; ++j) {
    double* row = out + 6 * j;
    if (j == 0) {
      for (int k = 0; k < 6; ++k) row[k] = -f_(k);
    } else if (j == last) {
      for (int k = 0; k < 6; ++k) row[k] = f_(6 + k);
    } else {
      const std::array<double, 6> s =
          at(static_cast<double>(j) * length_ / static_cast<double>(last));
      std::copy(s.begin(), s.end(), row);
    }
  }
}

namespace {

// The t in (lo, hi) where dM/dt, of opposite signs at lo and hi, vanishes: Newton steps on
// dM/dt (its derivative is rho M + c on the piece) kept inside the bracket, bisection where a
// step would leave it or would not halve it.
template <class Moment>
double stationary_point(const Moment& moment, double rho, double c, double lo, double hi) {
  const bool rising = moment(hi)[1] > 0.0;  // dM/dt < 0 at lo, > 0 at hi
  double t = 0.5 * (lo + hi);
  for (int iteration = 0; iteration < 200; ++iteration) {
    const std::array<double, 2> m = moment(t);
    if (m[1] == 0.0) break;
    if ((m[1] > 0.0) == rising)
      hi = t;
    else
      lo = t;
    const double slope = rho * m[0] + c;
    double next = slope != 0.0 ? t - m[1] / slope : lo;
    if (!(next > lo && next < hi) || std::abs(next - t) > 0.5 * (hi - lo)) next = 0.5 * (lo + hi);
    if (next == t || hi - lo <= 4.0 * std::numeric_limits<double>::epsilon() * std::abs(hi)) break;
    t = next;
  }
  return t;
}

}  // namespace

void SecondOrderForceLine::extremes(double* out) const {
  std::vector<double> cuts = {0.0, length_};
  for (const MemberLoad& load : loads_)
    for (const double x : {load.start, load.end})
      if (x > 0.0 && x < length_) cuts.push_back(x);
  std::sort(cuts.begin(), cuts.end());
  cuts.erase(std::unique(cuts.begin(), cuts.end()), cuts.end());

  double* low = out;
  double* high = out + 6;
  for (int k = 0; k < 6; ++k) {
    low[k] = std::min(-f_(k), f_(6 + k));
    high[k] = std::max(-f_(k), f_(6 + k));
  }
  const auto take = [&](const std::array<double, 6>& s, int first, int last) {
    for (int k = first; k <= last; ++k) {
      low[k] = std::min(low[k], s[static_cast<std::size_t>(k)]);
      high[k] = std::max(high[k], s[static_cast<std::size_t>(k)]);
    }
  };
  for (std::size_t i = 0; i + 1 < cuts.size(); ++i) {
    const double t0 = cuts[i] / length_, t1 = cuts[i + 1] / length_;
    if (i > 0) take(at(cuts[i]), 0, 5);
    for (const Plane* plane : {&y_, &z_}) {
      const int k = plane == &y_ ? 4 : 5;
      const auto moment = [&](double t) { return plane->moment(t); };
      // The load of M'' on the piece.
      double c = 0.0;
      const double middle = 0.5 * (t0 + t1);
      for (const MomentLoad& load : plane->loads)
        if (load.a < middle && middle < load.b) c += load.c;
      // In compression, dM/dt = A cos(u tau) + B sin(u tau) / u from the piece's start: split
      // where cos(u tau) = 0, so that each part has at most one stationary point.
      std::vector<double> parts = {t0};
      const double rho = plane->solutions.rho();
      if (rho < 0.0) {
        const double period = std::numbers::pi / std::sqrt(-rho);
        for (double p = t0 + 0.5 * period; p < t1; p += period) parts.push_back(p);
      }
      parts.push_back(t1);
      for (std::size_t j = 0; j + 1 < parts.size(); ++j) {
        const double a = parts[j], b = parts[j + 1];
        if (j > 0) take(at(a * length_), k, k);
        const double da = moment(a)[1], db = moment(b)[1];
        if ((da < 0.0 && db > 0.0) || (da > 0.0 && db < 0.0))
          take(at(stationary_point(moment, rho, c, a, b) * length_), k, k);
      }
    }
  }
}

}  // namespace velm::mechanics
