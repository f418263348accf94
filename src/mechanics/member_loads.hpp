// Uniform loads on part of a member, and the forces a fully fixed member needs at its ends to
// carry them.
#pragma once

#include <span>

#include "linalg/types.hpp"

namespace velm::mechanics {

// A uniform load q (force per length, local axes x, y, z) from x = start to x = end along the
// member, 0 <= start <= end <= L.
struct MemberLoad {
  double start = 0.0;
  double end = 0.0;
  linalg::Vector3 q = linalg::Vector3::Zero();
};

// Fixed-end forces: the forces and moments that the nodes exert on a member held fixed at both
// ends, local axes, start fx fy fz mx my mz then end (so f0 + the load's resultant = 0). They
// are the work-equivalent loads of the exact cubic (bending) and linear (axial) deflections:
// f0 = -integral of q(x) N(x) dx over [start, end], with s = x / L and
//   axial:        N = 1 - s, s
//   x-y plane:    uy: 1 - 3s^2 + 2s^3, 3s^2 - 2s^3; rz: L(s - 2s^2 + s^3), L(s^3 - s^2)
//   x-z plane:    uz as uy; ry with the opposite sign of rz (a positive ry lowers uz).
// Integrated in closed form.
linalg::Vector12 fixed_end_forces(std::span<const MemberLoad> loads, double length);

}  // namespace velm::mechanics
