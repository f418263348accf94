// Internal forces along a member from its end forces and the loads between its ends.
#pragma once

#include <array>
#include <span>

#include "linalg/types.hpp"
#include "mechanics/member_loads.hpp"

namespace velm::mechanics {

// End forces f (local axes, the forces and moments that the nodes exert on the member: start
// fx fy fz mx my mz, then end) and the uniform loads on the member give the internal forces at
// x from the start, as the force and moment that the part beyond x exerts on the part before
// it, in the order N (tension positive), Vy, Vz, T, My, Mz. Equilibrium of the part [0, x],
// with the loaded length l_i(x) of each load q_i and its centroid c_i(x), gives
//   N  = -fx1 - sum qx l,   Vy = -fy1 - sum qy l,   Vz = -fz1 - sum qz l,   T = -mx1,
//   My = -my1 - x fz1 - sum (x - c) qz l,   Mz = -mz1 + x fy1 + sum (x - c) qy l:
// piecewise linear forces and piecewise quadratic moments, which at x = L equal the end forces
// of the end node.
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

  // The least and the greatest value of each of the six over the whole length, exact: each
  // piece between load boundaries is at most quadratic, so its extremes lie at its ends or at
  // the vertex. Writes 6 minima, then 6 maxima.
  void extremes(double* out) const;

 private:
  linalg::Vector12 f_;
  double length_;
  std::span<const MemberLoad> loads_;
};

}  // namespace velm::mechanics
