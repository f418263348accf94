#include "mechanics/moment_breaks.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <numbers>

namespace velm::mechanics {

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

std::vector<double> monotone_breaks(const MomentSolutions& solutions, double m0, double m1,
                                    std::span<const MomentLoad> loads, double t0, double t1) {
  std::vector<double> breaks;
  // Inside the piece, from its start: its first point takes the right limit.
  const auto moment = [&](double t) { return solutions.line(t, m0, m1, loads, t == t0); };
  // The load of m'' on the piece.
  double c0 = 0.0;
  bool ramps = false;
  const double middle = 0.5 * (t0 + t1);
  for (const MomentLoad& load : loads)
    if (load.kind == MomentLoad::Kind::distributed && load.a < middle && middle < load.b) {
      c0 += load.c;
      ramps |= load.slope != 0.0;
    }
  const auto c = [&](double t) {
    if (!ramps) return c0;
    double sum = 0.0;
    for (const MomentLoad& load : loads)
      if (load.kind == MomentLoad::Kind::distributed && load.a < middle && middle < load.b)
        sum += load.c + load.slope * (t - load.a);
    return sum;
  };
  std::vector<double> parts = {t0};
  const double rho = solutions.rho();
  if (rho < 0.0) {
    const double period = std::numbers::pi / std::sqrt(-rho);
    for (double p = t0 + 0.5 * period; p < t1; p += period) parts.push_back(p);
  }
  parts.push_back(t1);
  const auto bracketed = [&](double a, double b) {
    const double da = moment(a)[1], db = moment(b)[1];
    if ((da < 0.0 && db > 0.0) || (da > 0.0 && db < 0.0))
      breaks.push_back(stationary_point(moment, rho, c, a, b));
  };
  for (std::size_t j = 0; j + 1 < parts.size(); ++j) {
    const double a = parts[j], b = parts[j + 1];
    if (j > 0) breaks.push_back(a);
    if (!ramps) {
      bracketed(a, b);
      continue;
    }
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
      breaks.push_back(split);
      bracketed(split, b);
    } else {
      bracketed(a, b);
    }
  }
  return breaks;
}

}  // namespace velm::mechanics
