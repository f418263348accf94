// The root of a function between two points where it has opposite signs.
#pragma once

#include <array>
#include <cmath>
#include <limits>

namespace velm::mechanics {

// The t in (lo, hi) where f, of opposite signs at lo and hi, vanishes; f(t) returns its value
// and slope. Newton steps kept inside the bracket, bisection where a step would leave it or
// would not halve it; to the last few bits of t.
template <class F>
double bracketed_root(const F& f, double lo, double hi) {
  const bool rising = f(hi)[0] > 0.0;  // f < 0 at lo, > 0 at hi
  double t = 0.5 * (lo + hi);
  for (int iteration = 0; iteration < 200; ++iteration) {
    const std::array<double, 2> v = f(t);
    if (v[0] == 0.0) break;
    if ((v[0] > 0.0) == rising)
      hi = t;
    else
      lo = t;
    double next = v[1] != 0.0 ? t - v[0] / v[1] : lo;
    if (!(next > lo && next < hi) || std::abs(next - t) > 0.5 * (hi - lo)) next = 0.5 * (lo + hi);
    if (next == t || hi - lo <= 4.0 * std::numeric_limits<double>::epsilon() * std::abs(hi)) break;
    t = next;
  }
  return t;
}

}  // namespace velm::mechanics
