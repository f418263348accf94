#include "mechanics/moment_solutions.hpp"

#include <cmath>

#include "mechanics/stability_functions.hpp"

namespace velm::mechanics {

namespace {

// Beyond this tension the growing exponentials of the polynomial forms would cancel (the loss
// is about exp(w)); below it the scaled forms would (their terms are of order 1/rho).
constexpr double kScaledFrom = 4.0;

}  // namespace

MomentSolutions::MomentSolutions(double rho) : rho_(rho) {
  if (rho > kScaledFrom) {
    w_ = std::sqrt(rho);
    one_minus_e2w_ = -std::expm1(-2.0 * w_);
    return;
  }
  const EndFunctions one = end_functions(rho);
  for (int m = 0; m < 5; ++m) at_one_[m] = one.phi[m];
  d_ = one.d;
}

// In the scaled forms, with e(s) = exp(-w s) and D = 1 - e(2), for x, z >= 0, x + z <= 1:
//   sinh(w x) / sinh(w)                 = e(1 - x) (1 - e(2x)) / D
//   sinh(w x) cosh(w z) / sinh(w)       = e(1 - x - z) (1 - e(2x)) (1 + e(2z)) / (2D)
//   cosh(w x) cosh(w z) / sinh(w)       = e(1 - x - z) (1 + e(2x)) (1 + e(2z)) / (2D)

std::array<double, 2> MomentSolutions::h(double t) const {
  if (!scaled()) {
    const AxialFunctions f = axial_functions(rho_, t);
    return {f.phi[1] / at_one_[1], f.phi[0] / at_one_[1]};
  }
  const double decay = std::exp(-w_ * (1.0 - t)) / one_minus_e2w_;
  const double e2t = std::exp(-2.0 * w_ * t);
  return {-std::expm1(-2.0 * w_ * t) * decay, w_ * (1.0 + e2t) * decay};
}

std::array<double, 2> MomentSolutions::y(double t, double a) const {
  if (!scaled()) {
    const AxialFunctions far = axial_functions(rho_, 1.0 - a);
    const std::array<double, 2> hh = h(t);
    std::array<double, 2> v = {-far.phi[2] * hh[0], -far.phi[2] * hh[1]};
    if (t > a) {
      const AxialFunctions near = axial_functions(rho_, t - a);
      v[0] += near.phi[2];
      v[1] += near.phi[1];
    }
    return v;
  }
  const auto sinh_cosh = [&](double x, double z) {
    return std::exp(-w_ * (1.0 - x - z)) * -std::expm1(-2.0 * w_ * x) *
           (1.0 + std::exp(-2.0 * w_ * z)) / (2.0 * one_minus_e2w_);
  };
  const auto cosh_cosh = [&](double x, double z) {
    return std::exp(-w_ * (1.0 - x - z)) * (1.0 + std::exp(-2.0 * w_ * x)) *
           (1.0 + std::exp(-2.0 * w_ * z)) / (2.0 * one_minus_e2w_);
  };
  const std::array<double, 2> hh = h(t);
  if (t <= a)
    return {(hh[0] - sinh_cosh(t, 1.0 - a)) / rho_, (hh[1] - w_ * cosh_cosh(t, 1.0 - a)) / rho_};
  return {(sinh_cosh(1.0 - t, a) + hh[0] - 1.0) / rho_,
          (hh[1] - w_ * cosh_cosh(1.0 - t, a)) / rho_};
}

std::array<double, 2> MomentSolutions::line(double t, double m0, double m1,
                                            std::span<const MomentLoad> loads) const {
  const std::array<double, 2> from_start = h(1.0 - t), from_end = h(t);
  std::array<double, 2> m = {m0 * from_start[0] + m1 * from_end[0],
                             -m0 * from_start[1] + m1 * from_end[1]};
  for (const MomentLoad& load : loads) {
    const std::array<double, 2> on = y(t, load.a), off = y(t, load.b);
    m[0] += load.c * (on[0] - off[0]);
    m[1] += load.c * (on[1] - off[1]);
  }
  return m;
}

std::array<double, 2> MomentSolutions::fixed_end_values(std::span<const MomentLoad> loads) const {
  if (!scaled()) {
    // v = C2 Phi_2 + C3 Phi_3 + u, v'''' - rho v'' = load, v(0) = v'(0) = 0, and
    //   C2 Phi_2 + C3 Phi_3 = -u(1),   C2 Phi_1 + C3 Phi_2 = -u'(1);
    // m = v'', so m(0) = C2 and m(1) = C2 Phi_0 + C3 Phi_1 + u''(1).
    double v = 0.0, slope = 0.0, curvature = 0.0;  // u, u', u'' at t = 1
    for (const MomentLoad& load : loads) {
      const AxialFunctions on = axial_functions(rho_, 1.0 - load.a);
      const AxialFunctions off = axial_functions(rho_, 1.0 - load.b);
      v += load.c * (on.phi[4] - off.phi[4]);
      slope += load.c * (on.phi[3] - off.phi[3]);
      curvature += load.c * (on.phi[2] - off.phi[2]);
    }
    const double* p = at_one_;
    const double c2 = (-v * p[2] + slope * p[3]) / d_;
    const double c3 = (-slope * p[2] + v * p[1]) / d_;
    return {c2, c2 * p[0] + c3 * p[1] + curvature};
  }
  // m = m0 h(1 - t) + m1 h(t) + m_load: with j0 = int h = int h(1 - t) = tanh(w/2) / w and
  // j1 = int t h = coth(w) / w - 1/rho (so int t h(1 - t) = j0 - j1),
  //   int y(t; a) dt   = (tanh(w/2) + R(1 - a) - R(a)) / (w rho) - (1 - a) / rho,
  //   int t y(t; a) dt = (coth(w) - R(a)) / (w rho) - (1 - a^2) / (2 rho),
  // R(z) = cosh(w z) / sinh(w) = e(1 - z) (1 + e(2z)) / D; the two conditions are
  //   (m0 + m1) j0 = -int m_load,   m0 (j0 - j1) + m1 j1 = -int t m_load.
  const double e1 = std::exp(-w_);
  const double tanh_half = -std::expm1(-w_) / (1.0 + e1);
  const double coth = (2.0 - one_minus_e2w_) / one_minus_e2w_;
  const auto r = [&](double z) {
    return std::exp(-w_ * (1.0 - z)) * (1.0 + std::exp(-2.0 * w_ * z)) / one_minus_e2w_;
  };
  const auto integral = [&](double a) {
    return (tanh_half + r(1.0 - a) - r(a)) / (w_ * rho_) - (1.0 - a) / rho_;
  };
  const auto first_moment = [&](double a) {
    return (coth - r(a)) / (w_ * rho_) - 0.5 * (1.0 - a * a) / rho_;
  };
  double load_integral = 0.0, load_moment = 0.0;
  for (const MomentLoad& load : loads) {
    load_integral += load.c * (integral(load.a) - integral(load.b));
    load_moment += load.c * (first_moment(load.a) - first_moment(load.b));
  }
  const double j0 = tanh_half / w_, j1 = coth / w_ - 1.0 / rho_;
  const double m1 = (-load_moment + (j0 - j1) * load_integral / j0) / (2.0 * j1 - j0);
  return {-load_integral / j0 - m1, m1};
}

}  // namespace velm::mechanics
