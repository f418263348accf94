#include "mechanics/straight_moment_line.hpp"

namespace velm::mechanics {

namespace {

// d^n / n!, 0 for n < 0.
double power(double d, int n) {
  if (n < 0) return 0.0;
  double p = 1.0;
  for (int k = 1; k <= n; ++k) p *= d / k;
  return p;
}

}  // namespace

std::array<double, 2> straight_moment(double t, double m0, double m1,
                                      std::span<const MomentLoad> loads, bool right) {
  std::array<double, 2> m = {m0 * (1.0 - t) + m1 * t, m1 - m0};
  for_each_term(loads, [&](double a, int k, double c) {
    const double far = power(1.0 - a, k + 2);
    m[0] -= c * t * far;
    m[1] -= c * far;
    if (right ? t >= a : t > a) {
      m[0] += c * power(t - a, k + 2);
      m[1] += c * power(t - a, k + 1);
    }
  });
  return m;
}

double straight_deflection_value(double t, double m0, double m1,
                                 std::span<const MomentLoad> loads) {
  const double d = (t * t * t - t) / 6.0;
  const double u = 1.0 - t;
  double z = m0 * (u * u * u - u) / 6.0 + m1 * d;
  for_each_term(loads, [&](double a, int k, double c) {
    const double far4 = power(1.0 - a, k + 4), far2 = power(1.0 - a, k + 2);
    z -= c * (t * far4 + far2 * d);
    if (t > a) z += c * power(t - a, k + 4);
  });
  return z;
}

double straight_deflection_slope(double t, double m0, double m1,
                                 std::span<const MomentLoad> loads) {
  const double d_slope = (3.0 * t * t - 1.0) / 6.0;
  const double u = 1.0 - t;
  double z = -m0 * (3.0 * u * u - 1.0) / 6.0 + m1 * d_slope;
  for_each_term(loads, [&](double a, int k, double c) {
    const double far4 = power(1.0 - a, k + 4), far2 = power(1.0 - a, k + 2);
    z -= c * (far4 + far2 * d_slope);
    if (t > a) z += c * power(t - a, k + 3);
  });
  return z;
}

std::array<double, 2> straight_deflection(double t, double m0, double m1,
                                          std::span<const MomentLoad> loads) {
  return {straight_deflection_value(t, m0, m1, loads), straight_deflection_slope(t, m0, m1, loads)};
}

}  // namespace velm::mechanics
