// Concentrated forces and moments and linearly varying loads on a member: fixed-end forces and
// internal force lines against the closed forms of beam theory, against superposition and
// against a second path (a couple as two close forces, a varying load as many uniform strips);
// in second order against the closed forms of the beam-column and the compatibility of the
// moment line with fixed ends.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <vector>

#include "mechanics/beam_column.hpp"
#include "mechanics/internal_forces.hpp"
#include "mechanics/member_loads.hpp"

namespace velm::mechanics {
namespace {

constexpr double kL = 6.0;
const FrameProperties kSection = {210e6, 81e6, 5e-3, 2.5e-4, 1e-4, 3e-7};
const double kEiZ = kSection.e_mod * kSection.i_z, kEiY = kSection.e_mod * kSection.i_y;

double largest(const linalg::Vector12& f) {
  return f.cwiseAbs().maxCoeff();
}

// A varying load as `strips` uniform strips of its midpoint intensity.
std::vector<MemberLoad> strips_of(const MemberLoad& load, int strips) {
  std::vector<MemberLoad> out;
  const double h = (load.end - load.start) / strips;
  for (int i = 0; i < strips; ++i) {
    const double a = load.start + i * h;
    const linalg::Vector3 q = load.q + (i + 0.5) / strips * load.dq;
    out.push_back({a, a + h, q});
  }
  return out;
}

// A moment about local axis `axis` at x as two opposite forces d apart.
std::vector<MemberLoad> couple_of(double x, double moment, int axis, double d) {
  // Mz = e_x cross F: forces +-F along y at x +- d/2 give Mz = F d; along z give My = -F d.
  linalg::Vector3 f = linalg::Vector3::Zero();
  if (axis == 2) f.y() = moment / d;
  if (axis == 1) f.z() = -moment / d;
  return {point_force(x + 0.5 * d, f), point_force(x - 0.5 * d, -f)};
}

TEST(ConcentratedFixedEndForces, PointForceHasTheClosedFormsInEveryDirection) {
  // P at a, b = L - a: end moments P a b^2 / L^2 and P a^2 b / L^2, end shears
  // P b^2 (3a + b) / L^3 and P a^2 (a + 3b) / L^3, axial P b / L and P a / L.
  const double a = 1.7, b = kL - a, px = 3.0, py = -10.0, pz = 4.0;
  const MemberLoad load = point_force(a, linalg::Vector3(px, py, pz));
  const linalg::Vector12 f = fixed_end_forces(std::span(&load, 1), kL);
  const double l2 = kL * kL, l3 = l2 * kL, tol = 1e-12 * 100;
  EXPECT_NEAR(f(0), -px * b / kL, tol);
  EXPECT_NEAR(f(6), -px * a / kL, tol);
  EXPECT_NEAR(f(1), -py * b * b * (3 * a + b) / l3, tol);
  EXPECT_NEAR(f(7), -py * a * a * (a + 3 * b) / l3, tol);
  EXPECT_NEAR(f(5), -py * a * b * b / l2, tol);  // counter-clockwise on the member for P down
  EXPECT_NEAR(f(11), py * a * a * b / l2, tol);
  EXPECT_NEAR(f(2), -pz * b * b * (3 * a + b) / l3, tol);
  EXPECT_NEAR(f(4), pz * a * b * b / l2, tol);
  EXPECT_NEAR(f(10), -pz * a * a * b / l2, tol);
  EXPECT_EQ(f(3), 0.0);
  EXPECT_EQ(f(9), 0.0);
  // At an end the force goes to that node alone.
  const MemberLoad at_end = point_force(kL, linalg::Vector3(px, py, pz));
  const linalg::Vector12 e = fixed_end_forces(std::span(&at_end, 1), kL);
  EXPECT_NEAR(e(7), -py, 1e-12);
  EXPECT_NEAR(e(6), -px, 1e-12);
  EXPECT_NEAR(e(11), 0.0, 1e-12);
  EXPECT_NEAR(e(1), 0.0, 1e-12);
}

TEST(ConcentratedFixedEndForces, PointMomentIsTheLimitOfACoupleAndHasTheMidspanClosedForm) {
  // C at midspan of a fixed beam: end moments C/4 each, end shears 3C/(2L).
  const double c = 12.0;
  const MemberLoad mid = point_moment(0.5 * kL, linalg::Vector3(0.0, 0.0, c));
  const linalg::Vector12 f = fixed_end_forces(std::span(&mid, 1), kL);
  EXPECT_NEAR(f(5), 0.25 * c, 1e-12);
  EXPECT_NEAR(f(11), 0.25 * c, 1e-12);
  EXPECT_NEAR(f(1), 1.5 * c / kL, 1e-12);
  EXPECT_NEAR(f(7), -1.5 * c / kL, 1e-12);
  // Anywhere, about y and z, as two forces 1e-4 apart (error of order d^2), torsion split
  // like an axial force.
  for (const double x : {0.9, 2.5, 4.8})
    for (const int axis : {1, 2}) {
      linalg::Vector3 m = linalg::Vector3::Zero();
      m(axis) = c;
      const MemberLoad load = point_moment(x, m);
      const linalg::Vector12 exact = fixed_end_forces(std::span(&load, 1), kL);
      const std::vector<MemberLoad> pair = couple_of(x, c, axis, 1e-4);
      EXPECT_LT(largest(exact - fixed_end_forces(pair, kL)), 1e-6 * largest(exact))
          << x << " " << axis;
    }
  const MemberLoad torque = point_moment(2.0, linalg::Vector3(9.0, 0.0, 0.0));
  const linalg::Vector12 t = fixed_end_forces(std::span(&torque, 1), kL);
  EXPECT_NEAR(t(3), -9.0 * 4.0 / kL, 1e-12);
  EXPECT_NEAR(t(9), -9.0 * 2.0 / kL, 1e-12);
}

TEST(VaryingFixedEndForces, TriangleHasTheClosedFormsAndPartialTrapezoidsAddUp) {
  // A triangle rising to w at the end of a fixed beam: end moments w L^2 / 30 and w L^2 / 20,
  // end shears 3 w L / 20 and 7 w L / 20.
  const double w = -8.0;
  const MemberLoad triangle =
      linear_load(0.0, kL, linalg::Vector3::Zero(), linalg::Vector3(0.0, w, 0.0));
  const linalg::Vector12 f = fixed_end_forces(std::span(&triangle, 1), kL);
  EXPECT_NEAR(f(1), -3 * w * kL / 20, 1e-12);
  EXPECT_NEAR(f(7), -7 * w * kL / 20, 1e-12);
  EXPECT_NEAR(f(5), -w * kL * kL / 30, 1e-12);
  EXPECT_NEAR(f(11), w * kL * kL / 20, 1e-12);
  // A partial trapezoid in all directions = its uniform part + its triangle, and = many strips.
  const linalg::Vector3 q0(2.0, -5.0, 3.0), q1(-1.0, -11.0, 7.0);
  const MemberLoad trapezoid = linear_load(1.2, 4.7, q0, q1);
  const std::vector<MemberLoad> parts = {{1.2, 4.7, q0},
                                         linear_load(1.2, 4.7, linalg::Vector3::Zero(), q1 - q0)};
  const linalg::Vector12 whole = fixed_end_forces(std::span(&trapezoid, 1), kL);
  EXPECT_LT(largest(whole - fixed_end_forces(parts, kL)), 1e-13 * largest(whole));
  EXPECT_LT(largest(whole - fixed_end_forces(strips_of(trapezoid, 2000), kL)),
            1e-6 * largest(whole));
  // The resultant: the end forces balance the load.
  const double resultant_y = 0.5 * (q0.y() + q1.y()) * 3.5;
  EXPECT_NEAR(f(1) + f(7), -w * kL / 2, 1e-12);
  EXPECT_NEAR(whole(1) + whole(7), -resultant_y, 1e-12);
}

// The internal forces of a simply supported span from its end forces, as statics gives them.
TEST(ConcentratedForceLine, SimpleBeamUnderAPointForceJumpsInShearAndPeaksUnderTheLoad) {
  const double p = 10.0, a = 2.2, b = kL - a;
  const MemberLoad load = point_force(a, linalg::Vector3(0.0, -p, 0.0));
  linalg::Vector12 f = linalg::Vector12::Zero();
  f(1) = p * b / kL;  // the supports push up
  f(7) = p * a / kL;
  const InternalForceLine line(f, kL, std::span(&load, 1));
  EXPECT_NEAR(line.at(a)[5], p * a * b / kL, 1e-12);
  EXPECT_NEAR(line.at(a, false)[1], -p * b / kL, 1e-12);
  EXPECT_NEAR(line.at(a, true)[1], p * a / kL, 1e-12);
  EXPECT_NEAR(line.at(a, true)[1] - line.at(a, false)[1], p, 1e-12);
  double ex[12];
  line.extremes(ex);
  EXPECT_NEAR(ex[6 + 5], p * a * b / kL, 1e-12);
  EXPECT_NEAR(ex[5], 0.0, 1e-12);
  EXPECT_NEAR(ex[1], -p * b / kL, 1e-12);
  EXPECT_NEAR(ex[6 + 1], p * a / kL, 1e-12);
  // At the end of the line the end node's forces.
  const std::array<double, 6> last = line.at(kL);
  EXPECT_NEAR(last[1], f(7), 1e-12);
  EXPECT_NEAR(last[5], f(11), 1e-12);
}

TEST(ConcentratedForceLine, SimpleBeamUnderAPointMomentJumpsInMoment) {
  // Reactions C/L and -C/L; M = C x / L before a, C x / L - C after: the jump is -C.
  const double c = 18.0, a = 4.0;
  const MemberLoad load = point_moment(a, linalg::Vector3(0.0, 0.0, c));
  linalg::Vector12 f = linalg::Vector12::Zero();
  f(1) = c / kL;
  f(7) = -c / kL;
  const InternalForceLine line(f, kL, std::span(&load, 1));
  EXPECT_NEAR(line.at(a, false)[5], c * a / kL, 1e-12);
  EXPECT_NEAR(line.at(a, true)[5], c * a / kL - c, 1e-12);
  EXPECT_NEAR(line.at(kL)[5], 0.0, 1e-12);
  double ex[12];
  line.extremes(ex);
  EXPECT_NEAR(ex[6 + 5], c * a / kL, 1e-12);
  EXPECT_NEAR(ex[5], -c * (kL - a) / kL, 1e-12);
  // About y and x alike (My jumps by -Cy, T by -Cx).
  const MemberLoad other = point_moment(a, linalg::Vector3(5.0, 7.0, 0.0));
  linalg::Vector12 g = linalg::Vector12::Zero();
  g(2) = -7.0 / kL;
  g(8) = 7.0 / kL;
  g(3) = -5.0;
  const InternalForceLine turned(g, kL, std::span(&other, 1));
  EXPECT_NEAR(turned.at(a, true)[4] - turned.at(a, false)[4], -7.0, 1e-12);
  EXPECT_NEAR(turned.at(1.0)[3], 5.0, 1e-12);
  EXPECT_NEAR(turned.at(5.0)[3], 0.0, 1e-12);
  EXPECT_NEAR(turned.at(kL)[4], 0.0, 1e-12);
}

TEST(VaryingForceLine, TriangleOnASimpleBeamPeaksAtLOverRootThree) {
  // Rising to w at the end: reactions w L / 6 and w L / 3, the largest moment
  // w L^2 / (9 sqrt 3) at L / sqrt 3, the shear quadratic.
  const double w = 9.0;
  const MemberLoad load =
      linear_load(0.0, kL, linalg::Vector3::Zero(), linalg::Vector3(0.0, -w, 0.0));
  linalg::Vector12 f = linalg::Vector12::Zero();
  f(1) = w * kL / 6;
  f(7) = w * kL / 3;
  const InternalForceLine line(f, kL, std::span(&load, 1));
  const double peak = w * kL * kL / (9 * std::sqrt(3.0));
  EXPECT_NEAR(line.at(kL / std::sqrt(3.0))[5], peak, 1e-12);
  EXPECT_NEAR(line.at(kL)[5], 0.0, 1e-12);
  EXPECT_NEAR(line.at(kL)[1], w * kL / 3, 1e-12);
  double ex[12];
  line.extremes(ex);
  EXPECT_NEAR(ex[6 + 5], peak, 1e-12);
  EXPECT_NEAR(ex[5], 0.0, 1e-12);
  // A trapezoid's line is the sum of its uniform part's and its triangle's.
  const MemberLoad trapezoid =
      linear_load(0.5, 5.0, linalg::Vector3(1.0, -3.0, 2.0), linalg::Vector3(-2.0, -9.0, 6.0));
  const std::vector<MemberLoad> parts = {
      {0.5, 5.0, linalg::Vector3(1.0, -3.0, 2.0)},
      linear_load(0.5, 5.0, linalg::Vector3::Zero(), linalg::Vector3(-3.0, -6.0, 4.0))};
  const linalg::Vector12 zero = linalg::Vector12::Zero();
  for (const double x : {0.3, 1.1, 2.9, 4.99, 5.5}) {
    const std::array<double, 6> one = InternalForceLine(zero, kL, std::span(&trapezoid, 1)).at(x);
    const std::array<double, 6> two = InternalForceLine(zero, kL, parts).at(x);
    for (int k = 0; k < 6; ++k) EXPECT_NEAR(one[k], two[k], 1e-12) << x << " " << k;
  }
}

TEST(ConcentratedForceLine, ExtremesMatchDenseSamplingUnderMixedLoads) {
  // Fixed-end forces as end forces (any balanced set will do); the extremes are never below
  // the sampled values and within the sampling's resolution of them.
  const std::vector<MemberLoad> loads = {
      linear_load(0.4, 5.1, linalg::Vector3(1.0, 4.0, -6.0), linalg::Vector3(-2.0, -12.0, 9.0)),
      point_force(2.3, linalg::Vector3(3.0, -20.0, 7.0)),
      point_moment(3.9, linalg::Vector3(2.0, 15.0, -11.0)),
      {1.0, 2.0, linalg::Vector3(0, 5, 5)}};
  linalg::Vector12 f = fixed_end_forces(loads, kL);
  f(5) += 4.0;  // and some end rotation's moments, balanced by shears
  f(1) += 4.0 / kL;
  f(7) -= 4.0 / kL;
  const InternalForceLine line(f, kL, loads);
  double ex[12];
  line.extremes(ex);
  double low[6], high[6];
  for (int k = 0; k < 6; ++k) low[k] = high[k] = line.at(0.0, true)[k];
  const int samples = 200000;
  std::vector<double> xs = {0.4, 5.1, 2.3, 3.9, 1.0, 2.0};  // the load boundaries
  for (int i = 0; i <= samples; ++i) xs.push_back(kL * i / samples);
  for (const double x : xs) {
    for (const bool right : {false, true}) {
      const std::array<double, 6> s = line.at(x, right);
      for (int k = 0; k < 6; ++k) {
        low[k] = std::min(low[k], s[k]);
        high[k] = std::max(high[k], s[k]);
      }
    }
  }
  for (int k = 0; k < 6; ++k) {
    EXPECT_LE(ex[k], low[k] + 1e-12) << k;
    EXPECT_GE(ex[6 + k], high[k] - 1e-12) << k;
    EXPECT_NEAR(ex[k], low[k], 1e-6) << k;
    EXPECT_NEAR(ex[6 + k], high[k], 1e-6) << k;
  }
}

// Second order.

double force_for(double rho) {
  return rho * kEiZ / (kL * kL);
}

TEST(SecondOrderConcentratedLoads, MidspanForceHasTheBeamColumnClosedForms) {
  // Q at midspan, u = k L / 2, k = sqrt(|N| / EI): a pinned member's moment there is
  // Q tan(u) / (2k) (tanh in tension); a fixed one's end moments Q tan(u/2) / (2k).
  const double q = 10.0;
  const MemberLoad load = point_force(0.5 * kL, linalg::Vector3(0.0, -q, 0.0));
  for (const double rho : {-9.0, -4.0, -0.5, 0.5, 3.0, 40.0, 2e3}) {
    const double n = force_for(rho), k = std::sqrt(std::abs(n) / kEiZ), u = 0.5 * k * kL;
    const double pinned = rho < 0 ? q * std::tan(u) / (2 * k) : q * std::tanh(u) / (2 * k);
    const double fixed =
        rho < 0 ? q * std::tan(0.5 * u) / (2 * k) : q * std::tanh(0.5 * u) / (2 * k);
    linalg::Vector12 ends = linalg::Vector12::Zero();
    ends(1) = ends(7) = 0.5 * q;
    ends(0) = -n;
    ends(6) = n;
    const SecondOrderForceLine line(ends, kL, std::span(&load, 1), rho * kEiZ / kEiY, rho);
    EXPECT_NEAR(line.at(0.5 * kL)[5], pinned, 1e-10 * pinned) << rho;
    double ex[12];
    line.extremes(ex);
    EXPECT_NEAR(ex[6 + 5], pinned, 1e-10 * pinned) << rho;
    EXPECT_NEAR(ex[5], 0.0, 1e-10 * pinned) << rho;
    const linalg::Vector12 f = second_order_fixed_end_forces(kSection, kL, n, std::span(&load, 1));
    EXPECT_NEAR(f(5), fixed, 1e-10 * fixed) << rho;
    EXPECT_NEAR(f(11), -fixed, 1e-10 * fixed) << rho;
    EXPECT_NEAR(f(1) + f(7), q, 1e-10 * q) << rho;
  }
}

TEST(SecondOrderConcentratedLoads, MomentsAndVaryingLoadsMatchASecondPathAndFixedEnds) {
  const MemberLoad moment = point_moment(2.1, linalg::Vector3(0.0, 8.0, -13.0));
  const MemberLoad ramp =
      linear_load(0.9, 5.2, linalg::Vector3(0.0, 3.0, -2.0), linalg::Vector3(0.0, -9.0, 5.0));
  std::vector<MemberLoad> pairs = couple_of(2.1, 8.0, 1, 1e-4);
  for (const MemberLoad& p : couple_of(2.1, -13.0, 2, 1e-4)) pairs.push_back(p);
  for (const double rho : {-28.0, -3.0, 0.3, 3.9, 4.1, 60.0, 5e3}) {
    const double n = force_for(rho);
    const linalg::Vector12 exact =
        second_order_fixed_end_forces(kSection, kL, n, std::span(&moment, 1));
    EXPECT_LT(largest(exact - second_order_fixed_end_forces(kSection, kL, n, pairs)),
              1e-6 * largest(exact))
        << rho;
    const linalg::Vector12 varying =
        second_order_fixed_end_forces(kSection, kL, n, std::span(&ramp, 1));
    EXPECT_LT(
        largest(varying - second_order_fixed_end_forces(kSection, kL, n, strips_of(ramp, 2000))),
        1e-6 * largest(varying))
        << rho;
  }
  // The moment line through the fixed-end forces of all of them at once leaves int M dx and
  // int x M dx zero (Simpson on 20000 panels inside each smooth piece).
  const std::vector<MemberLoad> loads = {moment, ramp,
                                         point_force(3.3, linalg::Vector3(0.0, 6.0, -4.0))};
  for (const double rho : {-20.0, 2.0, 80.0}) {
    const linalg::Vector12 f = second_order_fixed_end_forces(kSection, kL, force_for(rho), loads);
    const SecondOrderForceLine line(f, kL, loads, rho * kEiZ / kEiY, rho);
    const double cuts[] = {0.0, 0.9, 2.1, 3.3, 5.2, kL};
    double area[2] = {0, 0}, first[2] = {0, 0};
    for (int piece = 0; piece < 5; ++piece) {
      const int panels = 4000;
      const double a = cuts[piece], h = (cuts[piece + 1] - a) / panels;
      for (int i = 0; i <= panels; ++i) {
        const double x = a + i * h;
        const double weight = (i == 0 || i == panels ? 1.0 : (i % 2 ? 4.0 : 2.0)) * h / 3;
        const std::array<double, 6> s = line.at(x, i == 0);
        for (int k = 0; k < 2; ++k) {
          area[k] += weight * s[4 + k];
          first[k] += weight * x * s[4 + k];
        }
      }
    }
    const double scale = largest(f) * kL * kL;
    for (int k = 0; k < 2; ++k) {
      EXPECT_NEAR(area[k], 0.0, 1e-9 * scale) << rho << " " << k;
      EXPECT_NEAR(first[k], 0.0, 1e-9 * scale * kL) << rho << " " << k;
    }
    // The exact extremes bound a dense sampling and are reached by it.
    double ex[12];
    line.extremes(ex);
    for (int k = 4; k < 6; ++k) {
      double low = line.at(0.0)[k], high = low;
      for (int i = 0; i <= 100000; ++i)
        for (const bool right : {false, true}) {
          const double value = line.at(kL * i / 100000, right)[k];
          low = std::min(low, value);
          high = std::max(high, value);
        }
      const double tol = 1e-9 * largest(f) * kL;
      EXPECT_LE(ex[k], low + tol) << rho << " " << k;
      EXPECT_GE(ex[6 + k], high - tol) << rho << " " << k;
      EXPECT_NEAR(ex[k], low, 1e-5 * largest(f) * kL) << rho << " " << k;
      EXPECT_NEAR(ex[6 + k], high, 1e-5 * largest(f) * kL) << rho << " " << k;
    }
  }
}

TEST(SecondOrderConcentratedLoads, AreTheFirstOrderOnesAsTheAxialForceVanishes) {
  const std::vector<MemberLoad> loads = {
      point_force(1.4, linalg::Vector3(2.0, -7.0, 3.0)),
      point_moment(4.4, linalg::Vector3(1.0, -6.0, 9.0)),
      linear_load(0.0, 3.8, linalg::Vector3(0.0, 2.0, 0.0), linalg::Vector3(0.0, -5.0, 4.0))};
  const linalg::Vector12 first = fixed_end_forces(loads, kL);
  EXPECT_EQ(second_order_fixed_end_forces(kSection, kL, 0.0, loads), first);
  for (const double rho : {-1e-9, 1e-9})
    EXPECT_LT(largest(second_order_fixed_end_forces(kSection, kL, force_for(rho), loads) - first),
              1e-8 * largest(first));
}

}  // namespace
}  // namespace velm::mechanics
