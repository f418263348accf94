// The consistent mass of a straight member: the kinetic energy of its motion interpolated as
// its stiffness interpolates it, M = integral of rho N^T N dx.
#pragma once

#include "linalg/types.hpp"

namespace velm::mechanics {

// What moves with a member per unit length: `translational` mass (density times area, plus any
// line mass) in all three directions, and `torsional` inertia (density times I_y + I_z) about
// its axis. Bending has no rotary inertia.
struct LineMass {
  double translational = 0.0;
  double torsional = 0.0;
};

// The 12 x 12 consistent mass (local axes, dofs as the stiffness: start UX UY UZ RX RY RZ, then
// end) of `mass` spread over x in [from, to] of a frame member of length L, with s = x / L:
//   axial UX and torsion RX: linear, 1 - s, s;
//   x-y plane (UY, RZ): 1 - 3s^2 + 2s^3, L(s - 2s^2 + s^3), 3s^2 - 2s^3, L(s^3 - s^2);
//   x-z plane (UZ, RY): the same with the rotation terms negated (a positive RY lowers UZ).
// Over the whole length this is the textbook matrix: m L / 420 (156, 22L, 54, -13L; 4L^2, 13L,
// -3L^2; ...) across and m L / 6 (2, 1; 1, 2) along. Integrated exactly (4-point Gauss-Legendre
// on the degree-6 products).
linalg::Matrix12 consistent_mass(const LineMass& mass, double length, double from, double to);

// The same for a bar (truss, tension and compression members): every translation linear.
linalg::Matrix12 bar_mass(double translational, double length, double from, double to);

}  // namespace velm::mechanics
