// Loads between the ends of a member, and the forces a fully fixed member needs at its ends to
// carry them.
#pragma once

#include <cstdint>
#include <span>

#include "linalg/types.hpp"

namespace velm::mechanics {

// A load on a member, local axes x, y, z, one of three kinds:
//   distributed: force per length from x = start to x = end, 0 <= start <= end <= L, of
//     intensity q + (x - start) / (end - start) dq (dq = 0: uniform);
//   force: a concentrated force q at x = start (= end);
//   moment: a concentrated moment (couple) q at x = start (= end), about the local axes.
struct MemberLoad {
  enum class Kind : std::uint8_t { distributed, force, moment };
  double start = 0.0;
  double end = 0.0;
  linalg::Vector3 q = linalg::Vector3::Zero();
  linalg::Vector3 dq = linalg::Vector3::Zero();
  Kind kind = Kind::distributed;

  bool concentrated() const { return kind != Kind::distributed; }
  bool varying() const { return kind == Kind::distributed && !dq.isZero(0.0); }
  // A distributed load over no length carries nothing.
  bool empty() const { return kind == Kind::distributed && end <= start; }
};

// A concentrated force or moment at x = position.
inline MemberLoad point_force(double position, const linalg::Vector3& force) {
  return {position, position, force, linalg::Vector3::Zero(), MemberLoad::Kind::force};
}
inline MemberLoad point_moment(double position, const linalg::Vector3& moment) {
  return {position, position, moment, linalg::Vector3::Zero(), MemberLoad::Kind::moment};
}
// A distributed load varying linearly from q_start at `start` to q_end at `end`.
inline MemberLoad linear_load(double start, double end, const linalg::Vector3& q_start,
                              const linalg::Vector3& q_end) {
  return {start, end, q_start, q_end - q_start, MemberLoad::Kind::distributed};
}

// Fixed-end forces: the forces and moments that the nodes exert on a member held fixed at both
// ends, local axes, start fx fy fz mx my mz then end (so f0 + the load's resultant = 0). They
// are the work-equivalent loads of the exact cubic (bending) and linear (axial, torsion)
// deflections: with s = x / L and the shape functions
//   axial, torsion: N = 1 - s, s
//   x-y plane:    uy: 1 - 3s^2 + 2s^3, 3s^2 - 2s^3; rz: L(s - 2s^2 + s^3), L(s^3 - s^2)
//   x-z plane:    uz as uy; ry with the opposite sign of rz (a positive ry lowers uz),
// a distributed load gives f0 = -integral of q(x) N(x) dx over [start, end] (in closed form,
// the linear part of q through the moments of s (s - a)), a force P at x_p gives
// f0 = -P N(x_p), and a moment M at x_p, which does work on the slope, gives
//   x-y plane (Mz):  f0 = -Mz dN/dx (x_p),   x-z plane (My):  f0 = +My dN_w/dx (x_p)
// (N_w the deflection functions of the x-z plane, rotations with their sign), torsion (Mx)
// as an axial force.
linalg::Vector12 fixed_end_forces(std::span<const MemberLoad> loads, double length);

}  // namespace velm::mechanics
