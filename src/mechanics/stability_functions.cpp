#include "mechanics/stability_functions.hpp"

#include <cmath>

namespace velm::mechanics {

namespace {

// sum over n of x^n t^(2n+m) / (2n+m)!, x = rho t^2, |x| <= 4: the terms fall below 1e-19 of
// the first by n = 13.
double series(double x, double t, int m) {
  double term = 1.0;
  for (int k = 1; k <= m; ++k) term *= t / k;
  double sum = term;
  for (int n = 0; n < 20; ++n) {
    term *= x / ((2 * n + m + 1) * (2 * n + m + 2));
    const double next = sum + term;
    if (next == sum) break;
    sum = next;
  }
  return sum;
}

}  // namespace

AxialFunctions axial_functions(double rho, double t) {
  AxialFunctions f{};
  double* phi = f.phi;
  const double x = rho * t * t;
  if (std::abs(x) <= 4.0) {
    // Phi_3, Phi_4 by their series, the others from Phi_m = t^m / m! + rho Phi_(m+2), which
    // adds a smaller term to the leading one.
    phi[4] = series(x, t, 4);
    phi[3] = series(x, t, 3);
    phi[2] = 0.5 * t * t + rho * phi[4];
    phi[1] = t + rho * phi[3];
    phi[0] = 1.0 + rho * phi[2];
    return f;
  }
  const double w = std::sqrt(std::abs(rho));
  phi[0] = rho > 0.0 ? std::cosh(w * t) : std::cos(w * t);
  phi[1] = (rho > 0.0 ? std::sinh(w * t) : std::sin(w * t)) / w;
  phi[2] = (phi[0] - 1.0) / rho;
  phi[3] = (phi[1] - t) / rho;
  phi[4] = (phi[2] - 0.5 * t * t) / rho;
  return f;
}

double axial_function_5(double rho, double t) {
  const double x = rho * t * t;
  if (std::abs(x) <= 4.0) return series(x, t, 5);
  return (axial_functions(rho, t).phi[3] - t * t * t / 6.0) / rho;
}

EndFunctions end_functions(double rho) {
  EndFunctions e{};
  double* phi = e.phi;
  if (rho >= -4.0) {
    const AxialFunctions f = axial_functions(rho, 1.0);
    for (int m = 0; m < 5; ++m) phi[m] = f.phi[m];
    e.d = phi[3] - 2.0 * phi[4];  // without the cancellation of Phi_2^2 - Phi_1 Phi_3
    return e;
  }
  const double u = std::sqrt(-rho), u2 = -rho;
  const double s = std::sin(0.5 * u), c = std::cos(0.5 * u);
  phi[0] = 1.0 - 2.0 * s * s;
  phi[1] = 2.0 * s * c / u;
  phi[2] = 2.0 * s * s / u2;
  phi[3] = (1.0 - phi[1]) / u2;
  phi[4] = (0.5 - phi[2]) / u2;
  e.d = 2.0 * s * (2.0 * s - u * c) / (u2 * u2);
  return e;
}

}  // namespace velm::mechanics
