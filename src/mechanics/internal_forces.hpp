// Internal forces along a member from its end forces.
#pragma once

#include "linalg/types.hpp"

namespace velm::mechanics {

// End forces f (local axes, the forces and moments that the nodes exert on the member: start
// fx fy fz mx my mz, then end) give the internal forces at x from the start, as the force and
// moment that the part beyond x exerts on the part before it, in the order
//   N (tension positive), Vy, Vz, T, My, Mz.
// Equilibrium of the part [0, x], free of load between the ends, gives
//   N = -fx1, Vy = -fy1, Vz = -fz1, T = -mx1, My = -my1 - x fz1, Mz = -mz1 + x fy1,
// which at x = L equals the end forces of the end node. `stations` points (>= 2) are written
// equally spaced from x = 0 to x = L, 6 values each; the two ends are taken from the end forces
// themselves (minus the start forces, the end forces), so they match them exactly.
void internal_forces_at_stations(const linalg::Vector12& end_forces, double length, int stations,
                                 double* out);

}  // namespace velm::mechanics
