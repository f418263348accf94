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

std::array<double, 6> SecondOrderForceLine::at(double x, bool right) const {
  std::array<double, 6> s = InternalForceLine(f_, length_, loads_).at(x, right);
  const double t = x / length_;
  s[4] = y_.moment(t, right)[0];
  s[5] = z_.moment(t, right)[0];
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
// dM/dt (its derivative is rho M + c(t) on the piece) kept inside the bracket, bisection where a
// step would leave it or would not halve it.
template <class Moment, class Load>
double stationary_point(const Moment& moment, double rho, const Load& c, double lo, double hi) {
  const bool rising = moment(hi)[1] > 0.0;  // dM/dt < 0 at lo, > 0 at hi
  double t = 0.5 * (lo + hi);
  for (int iteration = 0; iteration < 200; ++iteration) {
    const std::array<double, 2> m = moment(t);
    if (m[1] == 0.0) break;
    if ((m[1] > 0.0) == rising)
      hi = t;
    else
      lo = t;
    const double slope = rho * m[0] + c(t);
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
  bool at_start = false, at_end = false;  // concentrated loads on the ends
  for (const MemberLoad& load : loads_) {
    for (const double x : {load.start, load.end})
      if (x > 0.0 && x < length_) cuts.push_back(x);
    if (load.concentrated()) {
      at_start |= load.start <= 0.0;
      at_end |= load.start >= length_;
    }
  }
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
    if (i > 0 || at_start) take(at(cuts[i], true), 0, 5);
    if (i > 0) take(at(cuts[i], false), 0, 5);
    if (i + 2 == cuts.size() && at_end) take(at(cuts[i + 1], false), 0, 5);
    for (const Plane* plane : {&y_, &z_}) {
      const int k = plane == &y_ ? 4 : 5;
      // Inside the piece, from its start: its first point takes the right limit.
      const auto moment = [&](double t) { return plane->moment(t, t == t0); };
      // The load of M'' on the piece.
      double c0 = 0.0;
      bool ramps = false;
      const double middle = 0.5 * (t0 + t1);
      for (const MomentLoad& load : plane->loads)
        if (load.kind == MomentLoad::Kind::distributed && load.a < middle && middle < load.b) {
          c0 += load.c;
          ramps |= load.slope != 0.0;
        }
      const auto c = [&](double t) {
        if (!ramps) return c0;
        double sum = 0.0;
        for (const MomentLoad& load : plane->loads)
          if (load.kind == MomentLoad::Kind::distributed && load.a < middle && middle < load.b)
            sum += load.c + load.slope * (t - load.a);
        return sum;
      };
      // In compression, dM/dt = A cos(u tau) + B sin(u tau) / u from the piece's start: split
      // where cos(u tau) = 0, so that each part has at most one stationary point.
      std::vector<double> parts = {t0};
      const double rho = plane->solutions.rho();
      if (rho < 0.0) {
        const double period = std::numbers::pi / std::sqrt(-rho);
        for (double p = t0 + 0.5 * period; p < t1; p += period) parts.push_back(p);
      }
      parts.push_back(t1);
      const auto bracketed = [&](double a, double b) {
        const double da = moment(a)[1], db = moment(b)[1];
        if ((da < 0.0 && db > 0.0) || (da > 0.0 && db < 0.0))
          take(at(stationary_point(moment, rho, c, a, b) * length_), k, k);
      };
      for (std::size_t j = 0; j + 1 < parts.size(); ++j) {
        const double a = parts[j], b = parts[j + 1];
        if (j > 0) take(at(a * length_, true), k, k);
        if (!ramps) {
          bracketed(a, b);
          continue;
        }
        // Under a linear load M'' = rho M + c(t) solves the homogeneous equation, so it has
        // at most one root on the part, which separates the (at most two) roots of M'.
        const auto curvature = [&](double t) { return rho * moment(t)[0] + c(t); };
        double lo = a, hi = b;
        const double ca = curvature(a), cb = curvature(b);
        if ((ca < 0.0 && cb > 0.0) || (ca > 0.0 && cb < 0.0)) {
          for (int iteration = 0; iteration < 200 && hi - lo > 1e-15; ++iteration) {
            const double mid = 0.5 * (lo + hi);
            if ((curvature(mid) > 0.0) == (ca > 0.0))
              lo = mid;
            else
              hi = mid;
          }
          const double split = 0.5 * (lo + hi);
          bracketed(a, split);
          bracketed(split, b);
          take(at(split * length_), k, k);
        } else {
          bracketed(a, b);
        }
      }
    }
  }
}

}  // namespace velm::mechanics
