// The axial functions against an independent evaluation of their series in extended
// precision, and continuous across the switch between the series and the closed forms.
#include "mechanics/stability_functions.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace velm::mechanics {
namespace {

// sum rho^n t^(2n+m) / (2n+m)! in long double, to 200 terms: for |rho t^2| <= 40 the largest
// term is below exp(6.4), so some 16 of the 19 digits remain.
long double reference(double rho, double t, int m) {
  long double term = 1.0L, sum = 0.0L;
  for (int k = 1; k <= m; ++k) term *= static_cast<long double>(t) / k;
  const long double x = static_cast<long double>(rho) * t * t;
  for (int n = 0; n < 200; ++n) {
    sum += term;
    term *= x / ((2 * n + m + 1) * (2 * n + m + 2));
  }
  return sum;
}

TEST(AxialFunctions, AreTheirSeriesOnBothSidesOfTheSwitchAndContinuousAcrossIt) {
  const double above = std::nextafter(4.0, 5.0);
  for (const double x : {-40.0, -9.0, -above, -4.0, -1.0, -1e-6, 1e-6, 1.0, 4.0, above, 9.0, 40.0})
    for (const double t : {1.0, 0.5}) {
      const double rho = x / (t * t);
      const AxialFunctions f = axial_functions(rho, t);
      for (int m = 0; m < 5; ++m) {
        // Relative to the function, or near its zeros in compression to t^m / m!.
        const double expected = static_cast<double>(reference(rho, t, m));
        const double scale =
            std::max(std::abs(expected), static_cast<double>(reference(0.0, t, m)));
        EXPECT_NEAR(f.phi[m], expected, 4e-15 * scale) << x << " " << t << " " << m;
      }
    }
  for (const double sign : {-1.0, 1.0}) {
    const AxialFunctions series = axial_functions(sign * 4.0, 1.0);
    const AxialFunctions closed = axial_functions(sign * above, 1.0);
    for (int m = 0; m < 5; ++m)
      EXPECT_NEAR(series.phi[m], closed.phi[m], 1e-14 * std::abs(series.phi[m])) << sign << m;
  }
}

TEST(AxialFunctions, AreTheTrigonometricAndHyperbolicFunctions) {
  const double t = 0.8, w = 2.0;  // |rho t^2| < 4: from the series
  const AxialFunctions c = axial_functions(-w * w, t), h = axial_functions(w * w, t);
  EXPECT_NEAR(c.phi[0], std::cos(w * t), 1e-15);
  EXPECT_NEAR(c.phi[1], std::sin(w * t) / w, 1e-15);
  EXPECT_NEAR(h.phi[0], std::cosh(w * t), 1e-15 * std::cosh(w * t));
  EXPECT_NEAR(h.phi[1], std::sinh(w * t) / w, 1e-15 * std::cosh(w * t));
  const AxialFunctions p = axial_functions(0.0, t);
  EXPECT_EQ(p.phi[0], 1.0);
  EXPECT_EQ(p.phi[1], t);
  EXPECT_DOUBLE_EQ(p.phi[4], t * t * t * t / 24);
}

}  // namespace
}  // namespace velm::mechanics
