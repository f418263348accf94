// The exact dynamic stiffness of a uniform frame member vibrating harmonically at the circular
// frequency omega: the end forces of the exact solutions of its equations of motion,
//   axial:    EA u'' + m omega^2 u = 0,       torsion:  GJ phi'' + rho I_p omega^2 phi = 0,
//   bending:  EI v'''' - m omega^2 v = 0      (Euler-Bernoulli, no rotary inertia),
// so that a member between two nodes vibrates exactly as the continuum does, without meshing.
#pragma once

#include "linalg/types.hpp"
#include "mechanics/member_mass.hpp"
#include "mechanics/stiffness.hpp"

namespace velm::mechanics {

// D(omega), 12 x 12, local axes and dofs as the stiffness (D(0) = frame_stiffness). With
// k^2 = m omega^2 / EA (and likewise rho I_p / GJ in torsion), along the axis
//   D = EA k (cot kL, -1 / sin kL; -1 / sin kL, cot kL);
// across it, with lambda = m omega^2 / EI, the solution v = sum a_j y_j(x) over the functions
//   y_j(x) = sum over n >= 0 of lambda^n x^(4n + j) / (4n + j)!   (j = 0..3),
// whose derivatives cycle (y_j' = y_(j-1), y_0' = lambda y_3): a = (v(0), v'(0), v''(0), v'''(0)),
// and the end forces EI (v'''(0), -v''(0), -v'''(L), v''(L)). The series hold at any lambda
// (the static case is its first terms) and need no trigonometric differences, so small
// frequencies lose no digits. Valid below the member's clamped frequency (where D has a pole).
linalg::Matrix12 dynamic_stiffness(const FrameProperties& properties, const LineMass& mass,
                                   double length, double omega);

// The lowest circular frequency at which D has a pole: the member's first clamped-clamped
// frequency in bending (beta L = 4.7300, omega = 22.3733 sqrt(EI / m L^4)), along its axis or
// in torsion (k L = pi); infinity for a massless member. Per action, for the choice of segment
// lengths.
struct ClampedFrequencies {
  double bending;
  double axial;  // the lower of the axial and the torsional one
};
ClampedFrequencies clamped_frequencies(const FrameProperties& properties, const LineMass& mass,
                                       double length);

}  // namespace velm::mechanics
