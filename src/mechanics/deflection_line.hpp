// The deflected axis of a member: the translation of each point of its axis, exact, from the
// motion of its ends and the forces along it.
#pragma once

#include <array>
#include <span>
#include <vector>

#include "linalg/types.hpp"
#include "mechanics/member_loads.hpp"
#include "mechanics/moment_solutions.hpp"
#include "mechanics/stiffness.hpp"

namespace velm::mechanics {

// The translation (ux, uy, uz), local axes, of the member's axis at x from its start: the
// straight line between the member's end translations (of the member ends: where a hinge
// releases a translation, the member end's own, not the node's) plus the deflection relative
// to it, which follows from the internal forces alone (Euler-Bernoulli, no shear strain):
//   ux: u'' = -qx / EA, so relative to the chord  (int_0^x N - x/L int_0^L N) / EA;
//   uy: EI_z uy'' = Mz,  uz: EI_y uz'' = -My   (the signs of InternalForceLine),
// each twice integrated between zeros at the ends, z = L^2 / EI MomentSolutions::deflection of
// the moment line between the end moments of the end forces, in second order with the plane's
// rho = N L^2 / EI (the moments then include N times the deflection), else rho = 0. Releases,
// springs and supports enter through the end forces and end translations only; an axial-only
// member carries its line loads as a pinned beam of its section and so sags as one.
class DeflectionLine {
 public:
  // `ends`: the member ends' displacements, local axes (translations 0-2 and 6-8 are read);
  // `end_forces` as InternalForceLine takes them.
  DeflectionLine(const linalg::Vector12& ends, const linalg::Vector12& end_forces, double length,
                 const FrameProperties& properties, std::span<const MemberLoad> loads, double rho_y,
                 double rho_z);

  std::array<double, 3> at(double x) const;

  // `stations` points (>= 2) equally spaced from x = 0 to x = L, 3 values each; the two ends are
  // the end translations themselves.
  void at_stations(int stations, double* out) const;

  // The least and the greatest value of each component of the deflection relative to the chord
  // (3 minima, then 3 maxima), exact: between load boundaries the slope of uy (uz) is monotone
  // wherever its moment keeps its sign, and the moment is monotone between the breaks of
  // monotone_breaks, so each part holds at most one stationary point, refined to full
  // precision; the slope of ux is N - mean N, monotone where qx keeps its sign.
  void extremes(double* out) const;

 private:
  // One bending plane: the moment line between its end values, and L^2 / EI with its sign.
  struct Plane {
    MomentSolutions solutions;
    double start = 0.0, end = 0.0;
    std::vector<MomentLoad> loads;
    double scale = 0.0;
    std::array<double, 2> deflection(double t) const {
      const std::array<double, 2> z = solutions.deflection(t, start, end, loads);
      return {scale * z[0], scale * z[1]};
    }
    // The deflection alone and its slope alone, the same values as deflection()'s.
    double deflection_value(double t) const;
    double deflection_slope(double t) const;
    // m and m' (without axial force as polynomials).
    std::array<double, 2> moment(double t, bool right = false) const;
  };
  // The axial deflection relative to the chord and its slope (N - mean N) / EA.
  std::array<double, 2> axial(double x) const;
  double normal_force_integral(double x) const;  // int_0^x N
  double normal_force(double x) const;           // N(x), right of concentrated forces at x

  linalg::Vector12 ends_;
  linalg::Vector12 f_;
  double length_;
  double axial_stiffness_;
  std::span<const MemberLoad> loads_;
  double mean_normal_force_ = 0.0;
  Plane y_, z_;               // the x-z plane (uz, My) and the x-y plane (uy, Mz)
  std::vector<double> cuts_;  // 0, the load boundaries inside, L
};

// The translation of a rigid member's axis: the rigid motion of its start,
// (ux, uy + rz x, uz - ry x) in local axes (small rotations); relative to its chord, nothing.
std::array<double, 3> rigid_translation(const linalg::Vector12& ends, double x);

}  // namespace velm::mechanics
