// The bending moment along a member under a constant axial force: solutions of
//   m'' - rho m = load,   t in [0, 1],   rho = N L^2 / EI (tension positive),
// between given end values, of which the member kernels (fixed-end forces, internal forces)
// are sums.
#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace velm::mechanics {

// A load of m'', of one of three kinds:
//   distributed: c + slope (t - a) on [a, b], 0 <= a < b <= 1 (slope 0: uniform);
//   point: c delta(t - a), where m' jumps by c (a concentrated transverse force);
//   jump: m itself jumps by c at a (a concentrated moment).
struct MomentLoad {
  enum class Kind : std::uint8_t { distributed, point, jump };
  double a = 0.0, b = 0.0, c = 0.0;
  double slope = 0.0;
  Kind kind = Kind::distributed;
};

// The two solutions the moment line is built of, with t = x / L:
//   h(t): h'' = rho h, h(0) = 0, h(1) = 1:   h = Phi_1(t) / Phi_1(1)  (sinh(w t) / sinh(w),
//         sin(w t) / sin(w) in compression, t at rho = 0); the line from M0 to M1 is
//         M0 h(1 - t) + M1 h(t);
//   y(t; a): y'' - rho y = 1 for t > a (0 before), y(0) = y(1) = 0:
//         y = [t > a] Phi_2(t - a) - Phi_2(1 - a) h(t);
//         a uniform load c on [a, b] adds c (y(t; a) - y(t; b));
//   generally, the load (t - a)_+^k / k! of m'' (k = -2: a unit jump of m, k = -1: a unit
//   delta, k = 0: the step, k = 1: the ramp) gives
//         y_k(t; a) = [t > a] Phi_(k+2)(t - a) - Phi_(k+2)(1 - a) h(t),
//   and a linear load c + s (t - a) on [a, b] adds
//         c (y_0(t; a) - y_0(t; b)) + s (y_1(t; a) - y_1(t; b) - (b - a) y_0(t; b)).
// With the polynomial and trigonometric forms of the axial functions while rho <= 4; in
// stronger tension in exponentially scaled closed forms, e.g.
//   y(t; a) = (sinh(w (1 - t)) cosh(w a) / sinh(w) + h(t) - 1) / rho   for t >= a,
//   y(t; a) = (h(t) - sinh(w t) cosh(w (1 - a)) / sinh(w)) / rho       for t <= a,
// in which every term is bounded, so that they hold for any tension without overflow or
// cancellation. In compression h is not finite where sin(w) = 0 (the Euler load of a pinned
// member).
class MomentSolutions {
 public:
  explicit MomentSolutions(double rho = 0.0);

  double rho() const { return rho_; }
  // h(t), h'(t).
  std::array<double, 2> h(double t) const;
  // y(t; a), y'(t; a).
  std::array<double, 2> y(double t, double a) const;
  // y_k(t; a), y_k'(t; a), k = -2..1 (k = 0 is y); at t = a the left limit, or with `right`
  // the right one.
  std::array<double, 2> y(double t, double a, int k, bool right) const;

  // m(t), m'(t) of the line from m0 to m1 under the loads (at a jump, the left limit, or with
  // `right` the right one).
  std::array<double, 2> line(double t, double m0, double m1, std::span<const MomentLoad> loads,
                             bool right = false) const;

  // z(t), z'(t) of the twice-integrated line: z'' = m (the line above, jumps and all), z(0) =
  // z(1) = 0; times L^2 / EI, the deflection of the member relative to the chord through its
  // ends. z is continuous with its slope, so it has no left and right limits. Each solution
  // integrates in closed form: with H = Phi_3 / Phi_1(1) (H'' = h, H(0) = H'(0) = 0),
  //   h(t)      -> Dh(t) = H(t) - t H(1),      h(1 - t) -> Dh(1 - t),
  //   y_k(t; a) -> [t > a] Phi_(k+4)(t - a) - t Phi_(k+4)(1 - a) - Phi_(k+2)(1 - a) Dh(t),
  // since Phi_(j+2)'' = Phi_j for j >= 1 (the series of Phi_j raised by two powers). In stronger
  // tension, from m'' - rho m = load: z = (m - P) / rho less its chord, P the polynomial with
  // P'' = load, P(0) = P'(0) = 0 (a load (t - a)_+^k / k! of m'' gives (t - a)_+^(k+2) /
  // (k+2)!), in which m - P is continuous with its slope and no term grows.
  std::array<double, 2> deflection(double t, double m0, double m1,
                                   std::span<const MomentLoad> loads) const;

  // The end values m(0), m(1) of the line under the loads on a member fixed at both ends,
  // where m is the curvature times EI: the slope and the deflection of the chord vanish,
  //   int m dt = 0,   int (1 - t) m dt = 0.
  // While rho <= 4 from the deflection v = C2 Phi_2 + C3 Phi_3 + sum c (Phi_4(t - a) -
  // Phi_4(t - b)), v(1) = v'(1) = 0, whose determinant Phi_3 - 2 Phi_4 vanishes only where the
  // fixed member buckles; in stronger tension from the two conditions on the scaled line. A
  // load of kind k adds Phi_(k+4) (1 - a) and its derivatives to the deflection; in stronger
  // tension its integrals follow from int m_load phi dt = int load psi dt, psi'' - rho psi =
  // phi, psi(0) = psi(1) = 0: psi = (h(t) + h(1 - t) - 1) / rho for phi = 1 and
  // (h(t) - t) / rho for phi = t (a jump c at a gives -c psi'(a)).
  std::array<double, 2> fixed_end_values(std::span<const MomentLoad> loads) const;

 private:
  bool scaled() const { return w_ > 0.0; }
  double rho_ = 0.0;
  // Polynomial and trigonometric forms: Phi_0..Phi_4 at t = 1 and Phi_2^2 - Phi_1 Phi_3.
  double at_one_[5] = {1.0, 1.0, 0.5, 1.0 / 6.0, 1.0 / 24.0};
  double d_ = 1.0 / 12.0;
  // Scaled forms (rho > 4): w = sqrt(rho) and 1 - exp(-2w); w = 0 when not used.
  double w_ = 0.0, one_minus_e2w_ = 1.0;
};

}  // namespace velm::mechanics
