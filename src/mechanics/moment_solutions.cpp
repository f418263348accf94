#include "mechanics/moment_solutions.hpp"

#include <cmath>

#include "mechanics/stability_functions.hpp"
#include "mechanics/straight_moment_line.hpp"

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

std::array<double, 2> MomentSolutions::y(double t, double a, int k, bool right) const {
  if (k == 0) return y(t, a);
  const bool after = right ? t >= a : t > a;
  if (!scaled()) {
    const AxialFunctions far = axial_functions(rho_, 1.0 - a);
    const std::array<double, 2> hh = h(t);
    const double at_end = far.phi[k + 2];
    std::array<double, 2> v = {-at_end * hh[0], -at_end * hh[1]};
    if (after) {
      const AxialFunctions near = axial_functions(rho_, t - a);
      v[0] += near.phi[k + 2];
      v[1] += k == -2 ? rho_ * near.phi[1] : near.phi[k + 1];
    }
    return v;
  }
  // sinh(w x) sinh(w z) / sinh(w), sinh(w x) cosh(w z) / sinh(w), cosh(w x) cosh(w z) / sinh(w)
  // in their bounded forms (x, z >= 0, x + z <= 1).
  const auto decay = [&](double x, double z) {
    return std::exp(-w_ * (1.0 - x - z)) / (2.0 * one_minus_e2w_);
  };
  const auto ss = [&](double x, double z) {
    return decay(x, z) * -std::expm1(-2.0 * w_ * x) * -std::expm1(-2.0 * w_ * z);
  };
  const auto sc = [&](double x, double z) {
    return decay(x, z) * -std::expm1(-2.0 * w_ * x) * (1.0 + std::exp(-2.0 * w_ * z));
  };
  const auto cc = [&](double x, double z) {
    return decay(x, z) * (1.0 + std::exp(-2.0 * w_ * x)) * (1.0 + std::exp(-2.0 * w_ * z));
  };
  if (k == -2)
    return after ? std::array<double, 2>{sc(1.0 - t, a), -w_ * cc(1.0 - t, a)}
                 : std::array<double, 2>{-sc(t, 1.0 - a), -w_ * cc(t, 1.0 - a)};
  if (k == -1)
    return after ? std::array<double, 2>{-ss(a, 1.0 - t) / w_, sc(a, 1.0 - t)}
                 : std::array<double, 2>{-ss(t, 1.0 - a) / w_, -sc(1.0 - a, t)};
  const std::array<double, 2> hh = h(t);
  if (after)
    return {(-ss(a, 1.0 - t) / w_ - (t - a) + (1.0 - a) * hh[0]) / rho_,
            (sc(a, 1.0 - t) - 1.0 + (1.0 - a) * hh[1]) / rho_};
  return {(-ss(1.0 - a, t) / w_ + (1.0 - a) * hh[0]) / rho_,
          (-sc(1.0 - a, t) + (1.0 - a) * hh[1]) / rho_};
}

std::array<double, 2> MomentSolutions::line(double t, double m0, double m1,
                                            std::span<const MomentLoad> loads, bool right) const {
  const std::array<double, 2> from_start = h(1.0 - t), from_end = h(t);
  std::array<double, 2> m = {m0 * from_start[0] + m1 * from_end[0],
                             -m0 * from_start[1] + m1 * from_end[1]};
  for (const MomentLoad& load : loads) {
    if (load.kind != MomentLoad::Kind::distributed) {
      const std::array<double, 2> v =
          y(t, load.a, load.kind == MomentLoad::Kind::point ? -1 : -2, right);
      m[0] += load.c * v[0];
      m[1] += load.c * v[1];
      continue;
    }
    const std::array<double, 2> on = y(t, load.a), off = y(t, load.b);
    m[0] += load.c * (on[0] - off[0]);
    m[1] += load.c * (on[1] - off[1]);
    if (load.slope == 0.0) continue;
    const std::array<double, 2> ramp_on = y(t, load.a, 1, right), ramp_off = y(t, load.b, 1, right);
    const double span = load.b - load.a;
    m[0] += load.slope * (ramp_on[0] - ramp_off[0] - span * off[0]);
    m[1] += load.slope * (ramp_on[1] - ramp_off[1] - span * off[1]);
  }
  return m;
}

namespace {

// Phi_0..Phi_5 at (rho, t).
struct SixFunctions {
  double phi[6];
};
SixFunctions six_functions(double rho, double t) {
  const AxialFunctions f = axial_functions(rho, t);
  SixFunctions s{};
  for (int m = 0; m < 5; ++m) s.phi[m] = f.phi[m];
  s.phi[5] = axial_function_5(rho, t);
  return s;
}

// (t - a)_+^n / n! and its derivative, n >= 1; for n = 0 the step (and 0).
std::array<double, 2> truncated_power(double t, double a, int n) {
  if (t <= a) return {0.0, 0.0};
  const double d = t - a;
  if (n == 0) return {1.0, 0.0};
  double value = 1.0, slope = 1.0;
  for (int k = 1; k <= n; ++k) {
    value *= d / k;
    if (k < n) slope *= d / k;
  }
  return {value, slope};
}

}  // namespace

std::array<double, 2> MomentSolutions::deflection(double t, double m0, double m1,
                                                  std::span<const MomentLoad> loads) const {
  if (rho_ == 0.0) return straight_deflection(t, m0, m1, loads);
  const auto each_term = [&](const auto& add) { for_each_term(loads, add); };
  if (scaled()) {
    // (m - P) / rho less its chord: at the ends the left limits, as the line itself gives them.
    const auto lifted = [&](double s) {
      std::array<double, 2> m = line(s, m0, m1, loads);
      each_term([&](double a, int k, double c) {
        const std::array<double, 2> p = truncated_power(s, a, k + 2);
        m[0] -= c * p[0];
        m[1] -= c * p[1];
      });
      return m;
    };
    const std::array<double, 2> here = lifted(t), start = lifted(0.0), end = lifted(1.0);
    return {(here[0] - (1.0 - t) * start[0] - t * end[0]) / rho_,
            (here[1] - (end[0] - start[0])) / rho_};
  }
  // Dh and Dh' at t and at 1 - t.
  const double p1 = at_one_[1], h1 = at_one_[3] / p1;
  const SixFunctions at_t = six_functions(rho_, t), at_u = six_functions(rho_, 1.0 - t);
  const double dh = at_t.phi[3] / p1 - t * h1, dh_slope = at_t.phi[2] / p1 - h1;
  const double du = at_u.phi[3] / p1 - (1.0 - t) * h1, du_slope = at_u.phi[2] / p1 - h1;
  std::array<double, 2> z = {m0 * du + m1 * dh, -m0 * du_slope + m1 * dh_slope};
  each_term([&](double a, int k, double c) {
    const SixFunctions far = six_functions(rho_, 1.0 - a);
    double value = -t * far.phi[k + 4] - far.phi[k + 2] * dh;
    double slope = -far.phi[k + 4] - far.phi[k + 2] * dh_slope;
    if (t > a) {
      const SixFunctions near = six_functions(rho_, t - a);
      value += near.phi[k + 4];
      slope += near.phi[k + 3];
    }
    z[0] += c * value;
    z[1] += c * slope;
  });
  return z;
}

std::array<double, 2> MomentSolutions::fixed_end_values(std::span<const MomentLoad> loads) const {
  if (!scaled()) {
    // v = C2 Phi_2 + C3 Phi_3 + u, v'''' - rho v'' = load, v(0) = v'(0) = 0, and
    //   C2 Phi_2 + C3 Phi_3 = -u(1),   C2 Phi_1 + C3 Phi_2 = -u'(1);
    // m = v'', so m(0) = C2 and m(1) = C2 Phi_0 + C3 Phi_1 + u''(1).
    double v = 0.0, slope = 0.0, curvature = 0.0;  // u, u', u'' at t = 1
    for (const MomentLoad& load : loads) {
      const AxialFunctions on = axial_functions(rho_, 1.0 - load.a);
      if (load.kind != MomentLoad::Kind::distributed) {
        // Phi_(k+4), Phi_(k+3), Phi_(k+2) at 1 - a, k = -1 (point) or -2 (jump).
        const int k = load.kind == MomentLoad::Kind::point ? -1 : -2;
        v += load.c * on.phi[k + 4];
        slope += load.c * on.phi[k + 3];
        curvature += load.c * on.phi[k + 2];
        continue;
      }
      const AxialFunctions off = axial_functions(rho_, 1.0 - load.b);
      v += load.c * (on.phi[4] - off.phi[4]);
      slope += load.c * (on.phi[3] - off.phi[3]);
      curvature += load.c * (on.phi[2] - off.phi[2]);
      if (load.slope == 0.0) continue;
      // The ramp s ((t - a)_+ - (t - b)_+) less the step s (b - a) (t - b)_+^0.
      const double span = load.b - load.a;
      v += load.slope * (axial_function_5(rho_, 1.0 - load.a) -
                         axial_function_5(rho_, 1.0 - load.b) - span * off.phi[4]);
      slope += load.slope * (on.phi[4] - off.phi[4] - span * off.phi[3]);
      curvature += load.slope * (on.phi[3] - off.phi[3] - span * off.phi[2]);
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
  // psi for phi = 1 and phi = t, with their derivatives, and the antiderivatives of psi and
  // t psi (from int h = R / w, int t h = t R / w - h / rho and their mirror images).
  const auto psi = [&](double z) {
    const std::array<double, 2> near = h(z), far = h(1.0 - z);
    return std::array<double, 4>{(near[0] + far[0] - 1.0) / rho_, (near[0] - z) / rho_,
                                 (near[1] - far[1]) / rho_, (near[1] - 1.0) / rho_};
  };
  const auto psi_integrals = [&](double z) {
    const double hz = h(z)[0], hf = h(1.0 - z)[0], rz = r(z), rf = r(1.0 - z);
    const double a0 = rz / w_, b0 = -rf / w_;
    const double a1 = z * rz / w_ - hz / rho_, b1 = -z * rf / w_ - hf / rho_;
    return std::array<double, 4>{(a0 + b0 - z) / rho_, (a1 + b1 - 0.5 * z * z) / rho_,
                                 (a0 - 0.5 * z * z) / rho_, (a1 - z * z * z / 3.0) / rho_};
  };
  double load_integral = 0.0, load_moment = 0.0;
  for (const MomentLoad& load : loads) {
    if (load.kind == MomentLoad::Kind::point) {
      const std::array<double, 4> p = psi(load.a);
      load_integral += load.c * p[0];
      load_moment += load.c * p[1];
      continue;
    }
    if (load.kind == MomentLoad::Kind::jump) {
      const std::array<double, 4> p = psi(load.a);
      load_integral -= load.c * p[2];
      load_moment -= load.c * p[3];
      continue;
    }
    load_integral += load.c * (integral(load.a) - integral(load.b));
    load_moment += load.c * (first_moment(load.a) - first_moment(load.b));
    if (load.slope == 0.0) continue;
    // s int over [a, b] of (t - a) psi.
    const std::array<double, 4> lo = psi_integrals(load.a), hi = psi_integrals(load.b);
    load_integral += load.slope * ((hi[1] - lo[1]) - load.a * (hi[0] - lo[0]));
    load_moment += load.slope * ((hi[3] - lo[3]) - load.a * (hi[2] - lo[2]));
  }
  const double j0 = tanh_half / w_, j1 = coth / w_ - 1.0 / rho_;
  const double m1 = (-load_moment + (j0 - j1) * load_integral / j0) / (2.0 * j1 - j0);
  return {-load_integral / j0 - m1, m1};
}

}  // namespace velm::mechanics
