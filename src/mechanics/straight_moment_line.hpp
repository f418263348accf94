// The moment line and its twice-integrated line without axial force (rho = 0), as polynomials:
// what MomentSolutions gives at rho = 0, without its series.
#pragma once

#include <array>
#include <span>

#include "mechanics/moment_solutions.hpp"

namespace velm::mechanics {

// With P_n(d) = d^n / n! (0 for n < 0) and D(t) = (t^3 - t) / 6 (D'' = t, D(0) = D(1) = 0),
//   m(t) = m0 (1 - t) + m1 t + sum c ([t > a] P_(k+2)(t - a) - t P_(k+2)(1 - a)),
//   z(t) = m0 D(1 - t) + m1 D(t) + sum c ([t > a] P_(k+4)(t - a) - t P_(k+4)(1 - a)
//                                         - P_(k+2)(1 - a) D(t)),
// each load a sum of terms c (t - a)_+^k / k! of m'' (k = -2 a jump, -1 a point load, 0 a
// step, 1 a ramp). m and m' at t (left limits, or with `right` the right ones); z and z'.
std::array<double, 2> straight_moment(double t, double m0, double m1,
                                      std::span<const MomentLoad> loads, bool right = false);
std::array<double, 2> straight_deflection(double t, double m0, double m1,
                                          std::span<const MomentLoad> loads);
// z alone and z' alone, each with the same arithmetic as straight_deflection's.
double straight_deflection_value(double t, double m0, double m1, std::span<const MomentLoad> loads);
double straight_deflection_slope(double t, double m0, double m1, std::span<const MomentLoad> loads);

// Calls add(a, k, c) for each term c (t - a)_+^k / k! of m'' that the loads are made of.
template <class Add>
void for_each_term(std::span<const MomentLoad> loads, const Add& add) {
  for (const MomentLoad& load : loads) {
    if (load.kind != MomentLoad::Kind::distributed) {
      add(load.a, load.kind == MomentLoad::Kind::point ? -1 : -2, load.c);
      continue;
    }
    add(load.a, 0, load.c);
    add(load.b, 0, -load.c);
    if (load.slope == 0.0) continue;
    add(load.a, 1, load.slope);
    add(load.b, 1, -load.slope);
    add(load.b, 0, -load.slope * (load.b - load.a));
  }
}

}  // namespace velm::mechanics
