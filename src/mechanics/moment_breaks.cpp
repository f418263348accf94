#include "mechanics/moment_breaks.hpp"

#include "mechanics/bracketed_root.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

namespace velm::mechanics {

std::vector<double> monotone_breaks(const MomentLine& line, double rho,
                                    std::span<const MomentLoad> loads, double t0, double t1) {
  std::vector<double> breaks;
  // Inside the piece, from its start: its first point takes the right limit.
  const auto moment = [&](double t) { return line(t, t == t0); };
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
  if (rho < 0.0) {
    const double period = std::numbers::pi / std::sqrt(-rho);
    for (double p = t0 + 0.5 * period; p < t1; p += period) parts.push_back(p);
  }
  parts.push_back(t1);
  const auto bracketed = [&](double a, double b) {
    const double da = moment(a)[1], db = moment(b)[1];
    if ((da < 0.0 && db > 0.0) || (da > 0.0 && db < 0.0))
      // Newton steps on m', whose slope is rho m + c(t) on the piece.
      breaks.push_back(bracketed_root(
          [&](double t) {
            const std::array<double, 2> m = moment(t);
            return std::array<double, 2>{m[1], rho * m[0] + c(t)};
          },
          a, b));
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
