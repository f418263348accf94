// Internal forces along a member from its end forces and the loads between its ends.
#pragma once

#include <array>
#include <span>

#include "linalg/types.hpp"
#include "mechanics/member_loads.hpp"

namespace velm::mechanics {

// End forces f (local axes, the forces and moments that the nodes exert on the member: start
// fx fy fz mx my mz, then end) and the loads on the member give the internal forces at x from
// the start, as the force and moment that the part beyond x exerts on the part before it, in
// the order N (tension positive), Vy, Vz, T, My, Mz. Equilibrium of the part [0, x], with the
// resultant R_i(x) of each load on [0, x] (force per length integrated, or the concentrated
// force) and its moment arm e_i(x) to x, and the concentrated moments C_i before x, gives
//   N  = -fx1 - sum Rx,   Vy = -fy1 - sum Ry,   Vz = -fz1 - sum Rz,   T = -mx1 - sum Cx,
//   My = -my1 - x fz1 - sum e Rz - sum Cy,   Mz = -mz1 + x fy1 + sum e Ry - sum Cz:
// between load boundaries forces at most quadratic and moments at most cubic (linear and
// quadratic under uniform loads), jumping at concentrated loads, which at x = L equal the end
// forces of the end node. At a concentrated load's own position `at` gives the value just
// before it (the left limit).
class InternalForceLine {
 public:
  InternalForceLine(const linalg::Vector12& end_forces, double length,
                    std::span<const MemberLoad> loads)
      : f_(end_forces), length_(length), loads_(loads) {}

  std::array<double, 6> at(double x) const;

  // `stations` points (>= 2) equally spaced from x = 0 to x = L, 6 values each; the two ends
  // are taken from the end forces themselves (minus the start forces, the end forces), so they
  // match them exactly.
  void at_stations(int stations, double* out) const;

  // The least and the greatest value of each of the six over the whole length, exact: on each
  // piece between load boundaries a force is at most quadratic (its extreme at the ends or the
  // vertex) and a moment at most cubic (its extremes at the ends or where its shear, a
  // quadratic, vanishes: dMz/dx = -Vy, dMy/dx = Vz); at a concentrated load both sides of the
  // jump count. Writes 6 minima, then 6 maxima.
  void extremes(double* out) const;

  // The value at x with the concentrated loads at x itself included (right) or not (left).
  std::array<double, 6> at(double x, bool right) const;

 private:
  linalg::Vector12 f_;
  double length_;
  std::span<const MemberLoad> loads_;
};

}  // namespace velm::mechanics
