// A prismatic elastic member under a constant axial force N (tension positive): its exact
// second-order stiffness, fixed-end forces and internal forces, without subdivision.
#pragma once

#include <array>
#include <span>
#include <vector>

#include "linalg/types.hpp"
#include "mechanics/member_loads.hpp"
#include "mechanics/moment_solutions.hpp"
#include "mechanics/stiffness.hpp"

namespace velm::mechanics {

// The 12 x 12 local tangent stiffness of a member carrying the axial force N, dofs and signs as
// frame_stiffness: f = k u, f the forces the nodes exert on the member, in the undeformed
// local axes. Axial EA/L and torsion GJ/L are unchanged (no Wagner term). Each bending plane
// solves EI v'''' - N v'' = 0 exactly: with rho = N L^2 / EI of the plane (I_z for the x-y
// plane, I_y for the x-z plane) and the axial functions at t = 1,
//   d = Phi_2^2 - Phi_1 Phi_3 = Phi_3 - 2 Phi_4,
//   k_vv = EI/L^3 Phi_1/d,  k_vtheta = EI/L^2 Phi_2/d,
//   a (near) = EI/L (Phi_2 - Phi_3)/d,  b (far) = EI/L Phi_3/d,
// which at rho = 0 are 12, 6, 4, 2 and always satisfy k_vv = 2(a + b)/L^2 + N/L; they are placed
// as frame_stiffness places 12, 6, 4, 2 (x-z plane coupling signs reversed). In compression
// they are the classical stability functions, e.g. a = EI/L u (sin u - u cos u) /
// (2 - 2 cos u - u sin u) with u = sqrt(-rho); they are singular where the member buckles with
// both ends fixed. In tension they are evaluated in an exponentially scaled form, finite and
// exact for any N. At N == 0 the result is frame_stiffness(properties, length) itself.
linalg::Matrix12 second_order_stiffness(const FrameProperties& properties, double length,
                                        double axial_force);

// The consistent geometric stiffness N/L [6/5, L/10, 2L^2/15, -L^2/30] of each bending plane
// (k_vv, k_vtheta, a, b, placed as above, x-z coupling signs reversed): the derivative of
// second_order_stiffness with respect to N at N = 0, times N.
linalg::Matrix12 geometric_stiffness(double length, double axial_force);

// An axial-only member (truss, tension or compression only): EA/L between the UX of its ends
// and the string stiffness N/L between the UY of its ends and between their UZ; nothing in
// bending or torsion.
linalg::Matrix12 string_member_stiffness(const FrameProperties& properties, double length,
                                         double axial_force);

// The loads of M'' in one bending plane, t = x / L: each distributed load q on [start, end]
// gives sign q(component) L^2 on [start / L, end / L], its change dq the slope
// sign dq(component) L^2 / (end/L - start/L); a force P at x_p a point load sign P(component) L
// at x_p / L; a moment C a jump of -C about the plane's normal (z for Mz, y for My); component
// 1 and sign 1 for Mz, 2 and -1 for My. Empty loads are left out.
std::vector<MomentLoad> moment_loads(std::span<const MemberLoad> loads, double length,
                                     int component, double sign);

// The forces the nodes exert on a member fixed at both ends carrying N and the loads (order and
// signs as fixed_end_forces). Axial components as in first order. In each bending
// plane the end moments make the moment line M (M'' - (N/EI) M = load, see
// SecondOrderForceLine) compatible with fixed ends, int M dx = int x M dx = 0, and the end
// shears follow from the statics of the undeformed member (the ends do not move apart
// transversely). At N == 0, fixed_end_forces(loads, length).
linalg::Vector12 second_order_fixed_end_forces(const FrameProperties& properties, double length,
                                               double axial_force,
                                               std::span<const MemberLoad> loads);

// The internal forces along a member in second order, in the order and signs of
// InternalForceLine (N Vy Vz T My Mz, what the part beyond x exerts on the part before,
// undeformed local axes). N, Vy, Vz and T are those of first order. The moments include N
// times the deflection: they solve, in t = x/L,
//   Mz'' - rho_z Mz = qy L^2,   My'' - rho_y My = -qz L^2,   rho = N L^2 / EI of the plane,
// between Mz(0) = -mz1, Mz(L) = mz2, My(0) = -my1, My(L) = my2 of the end forces, that is
//   M(t) = M0 Phi_0(t) + B Phi_1(t) + sum of c [Phi_2(t - a) - Phi_2(t - b)]_+,  B from M(1),
// evaluated in the two-point form of MomentSolutions (bounded in any tension). No
// displacements are needed, so releases and springs make no difference. With rho = 0 (pass 0
// for both for an axial-only member) this is the first-order line. Where the plane is at the
// Euler load of a pinned member (sin sqrt(-rho) = 0), the moments are not finite.
// The loads are referred to, not copied: they must outlive the line.
class SecondOrderForceLine {
 public:
  SecondOrderForceLine(const linalg::Vector12& end_forces, double length,
                       std::span<const MemberLoad> loads, double rho_y, double rho_z);

  std::array<double, 6> at(double x) const { return at(x, false); }
  // At a concentrated load's position the left limit, or with `right` the right one.
  std::array<double, 6> at(double x, bool right) const;

  // `stations` points (>= 2) equally spaced from x = 0 to x = L, 6 values each; the two ends
  // are taken from the end forces themselves, as InternalForceLine does.
  void at_stations(int stations, double* out) const;

  // The least and the greatest value of each of the six over the whole length (6 minima, then
  // 6 maxima), exact. On a piece between load boundaries M' = 0 has at most one root, in
  // compression once the piece is also split where Phi_0 of the piece vanishes; each sign
  // change of M' is refined to full precision. At concentrated loads both sides count. Forces are
  // linear: their extremes are at the ends of the pieces.
  void extremes(double* out) const;

 private:
  // One bending plane: the moment line between its end values.
  struct Plane {
    MomentSolutions solutions;
    double start = 0.0, end = 0.0;  // M(0), M(L)
    std::vector<MomentLoad> loads;
    std::array<double, 2> moment(double t, bool right = false) const {
      return solutions.line(t, start, end, loads, right);
    }
  };
  linalg::Vector12 f_;
  double length_;
  std::span<const MemberLoad> loads_;
  Plane y_, z_;  // the x-z plane (My) and the x-y plane (Mz)
};

}  // namespace velm::mechanics
