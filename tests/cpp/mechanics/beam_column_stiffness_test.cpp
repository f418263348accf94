// The second-order member stiffness against the classical stability functions, the buckling
// loads of single members, statics and the first-order and geometric stiffness.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "mechanics/beam_column.hpp"

namespace velm::mechanics {
namespace {

constexpr double kPi = std::numbers::pi;

// A steel section 5 m long: E I_z = 21000, E I_y = 52500 (kN, m).
const FrameProperties kSection = {210e6, 81e6, 5e-3, 2.5e-4, 1e-4, 3e-7};
constexpr double kLength = 5.0;
const double kEiZ = kSection.e_mod * kSection.i_z, kEiY = kSection.e_mod * kSection.i_y;

// The axial force that makes rho = N L^2 / EI_z.
double force_for(double rho) {
  return rho * kEiZ / (kLength * kLength);
}

// Near and far end rotation stiffness a, b of the classical stability functions.
struct Classical {
  double a, b;
};
Classical classical(double rho, double ei) {
  const double u = std::sqrt(std::abs(rho)), c = ei / kLength;
  if (rho < 0) {
    const double den = 2 - 2 * std::cos(u) - u * std::sin(u);
    return {c * u * (std::sin(u) - u * std::cos(u)) / den, c * u * (u - std::sin(u)) / den};
  }
  const double den = 2 - 2 * std::cosh(u) + u * std::sinh(u);
  return {c * u * (u * std::cosh(u) - std::sinh(u)) / den, c * u * (std::sinh(u) - u) / den};
}

double determinant2(double a, double b, double c, double d) {
  return a * d - b * c;
}

TEST(BeamColumnStiffness, IsTheClassicalStabilityFunctionsInBothPlanes) {
  for (const double rho : {-30.0, -15.0, -9.0, -2.0, -0.3, 0.3, 2.0, 9.0, 40.0, 150.0}) {
    const double n = force_for(rho), l = kLength;
    const linalg::Matrix12 k = second_order_stiffness(kSection, l, n);
    const Classical z = classical(rho, kEiZ), y = classical(rho * kEiZ / kEiY, kEiY);
    const double tol = 1e-12 * std::abs(z.a) + 1e-12 * kEiZ / l;
    EXPECT_NEAR(k(5, 5), z.a, tol) << rho;
    EXPECT_NEAR(k(11, 11), z.a, tol) << rho;
    EXPECT_NEAR(k(5, 11), z.b, tol) << rho;
    EXPECT_NEAR(k(4, 4), y.a, 1e-12 * std::abs(y.a)) << rho;
    EXPECT_NEAR(k(4, 10), y.b, 1e-12 * std::abs(y.b)) << rho;
    // Equilibrium of the member: k_vtheta = (a + b)/L, k_vv = 2(a + b)/L^2 + N/L; the x-z
    // plane's coupling with the opposite sign.
    EXPECT_NEAR(k(1, 5), (z.a + z.b) / l, 1e-12 * std::abs(k(1, 5)) + 1e-12 * kEiZ / (l * l));
    EXPECT_NEAR(k(1, 1), 2 * (z.a + z.b) / (l * l) + n / l, 1e-12 * kEiZ / (l * l * l));
    EXPECT_NEAR(k(2, 4), -(y.a + y.b) / l, 1e-12 * kEiY / (l * l));
    EXPECT_NEAR(k(8, 8), 2 * (y.a + y.b) / (l * l) + n / l, 1e-12 * kEiY / (l * l * l));
    EXPECT_EQ(k, k.transpose());
    EXPECT_EQ(k(0, 0), kSection.e_mod * kSection.area / l);
    EXPECT_EQ(k(3, 9), -kSection.g_mod * kSection.j / l);
  }
}

TEST(BeamColumnStiffness, StaysExactInAnyTension) {
  // For large w the exponentials drop out: a = EI/L w (w - 1)/(w - 2), b = EI/L w/(w - 2),
  // to within exp(-w).
  for (const double w : {40.0, 300.0, 1000.0, 1e4}) {
    const linalg::Matrix12 k = second_order_stiffness(kSection, kLength, force_for(w * w));
    const double c = kEiZ / kLength;
    EXPECT_NEAR(k(5, 5), c * w * (w - 1) / (w - 2), 1e-12 * k(5, 5)) << w;
    EXPECT_NEAR(k(5, 11), c * w / (w - 2), 1e-12 * k(5, 11)) << w;
    EXPECT_TRUE(k.allFinite()) << w;
  }
}

TEST(BeamColumnStiffness, MovesWithoutForceRigidlyAndCarriesTheAxialForceWhenTurned) {
  for (const double rho : {-20.0, -3.0, 5.0, 1e3}) {
    const double n = force_for(rho), l = kLength;
    const linalg::Matrix12 k = second_order_stiffness(kSection, l, n);
    for (int axis = 0; axis < 3; ++axis) {
      linalg::Vector12 u = linalg::Vector12::Zero();
      u(axis) = u(6 + axis) = 1e-3;
      EXPECT_LT((k * u).cwiseAbs().maxCoeff(), 1e-9 * k.cwiseAbs().maxCoeff() * 1e-3) << rho;
    }
    // Turned by phi about z: the axial force along the turned chord has the transverse
    // components -N phi at the start and N phi at the end; no moments.
    const double phi = 1e-3;
    linalg::Vector12 u = linalg::Vector12::Zero();
    u(7) = phi * l;
    u(5) = u(11) = phi;
    const linalg::Vector12 f = k * u;
    const double scale = k.cwiseAbs().maxCoeff() * phi * l;
    EXPECT_NEAR(f(1), -n * phi, 1e-12 * scale) << rho;
    EXPECT_NEAR(f(7), n * phi, 1e-12 * scale) << rho;
    EXPECT_NEAR(f(5), 0.0, 1e-12 * scale) << rho;
    EXPECT_NEAR(f(11), 0.0, 1e-12 * scale) << rho;
  }
}

TEST(BeamColumnStiffness, IsSingularAtTheBucklingLoadsOfSingleMembers) {
  const double l = kLength, c = kEiZ / l;
  // Pinned at both ends (translations held): the two end rotations, at -pi^2 EI/L^2.
  {
    const linalg::Matrix12 k = second_order_stiffness(kSection, l, force_for(-kPi * kPi));
    EXPECT_NEAR(determinant2(k(5, 5), k(5, 11), k(11, 5), k(11, 11)) / (c * c), 0.0, 1e-9);
  }
  // Fixed at the start, free at the end: end translation and rotation, at -pi^2 EI/(4L^2).
  {
    const linalg::Matrix12 k = second_order_stiffness(kSection, l, force_for(-kPi * kPi / 4));
    EXPECT_NEAR(determinant2(k(7, 7) * l * l, k(7, 11) * l, k(11, 7) * l, k(11, 11)) / (c * c), 0.0,
                1e-9);
  }
  // Fixed at the start, pinned at the end: the end rotation, where tan u = u.
  {
    const double u = 4.4934094579090641753;
    const linalg::Matrix12 k = second_order_stiffness(kSection, l, force_for(-u * u));
    EXPECT_NEAR(k(11, 11) / c, 0.0, 1e-9);
    EXPECT_NEAR(force_for(-u * u) * l * l / kEiZ, -20.19, 1e-3);
  }
  // Fixed at both ends, sway prevented, at -4 pi^2 EI/L^2: the member has no flexibility left
  // (every term has a pole), so 1/a and 1/b vanish; either side of it a changes sign.
  {
    const linalg::Matrix12 k = second_order_stiffness(kSection, l, force_for(-4 * kPi * kPi));
    EXPECT_NEAR(c / k(5, 5), 0.0, 1e-9);
    EXPECT_NEAR(c / k(5, 11), 0.0, 1e-9);
    const double below =
        second_order_stiffness(kSection, l, force_for(-4 * kPi * kPi * 0.999))(5, 5);
    const double above =
        second_order_stiffness(kSection, l, force_for(-4 * kPi * kPi * 1.001))(5, 5);
    EXPECT_LT(below, 0.0);  // a is negative from tan u = u on
    EXPECT_GT(above, 0.0);
  }
  // Just short of the pinned load the rotation block is still positive definite.
  const linalg::Matrix12 k = second_order_stiffness(kSection, l, force_for(-kPi * kPi * 0.99));
  EXPECT_GT(determinant2(k(5, 5), k(5, 11), k(11, 5), k(11, 11)), 0.0);
}

TEST(BeamColumnStiffness, CondensedRotationsLeaveTheStringStiffness) {
  // Releasing both end rotations of a bending plane leaves k_vv - 2 k_vtheta^2 / (a + b) = N/L:
  // the string member's transverse stiffness.
  for (const double rho : {-5.0, 0.7, 60.0}) {
    const double n = force_for(rho), l = kLength;
    const linalg::Matrix12 k = second_order_stiffness(kSection, l, n);
    const linalg::Matrix12 s = string_member_stiffness(kSection, l, n);
    const double condensed = k(1, 1) - 2 * k(1, 5) * k(1, 5) / (k(5, 5) + k(5, 11));
    EXPECT_NEAR(condensed, s(1, 1), 1e-9 * k(1, 1)) << rho;
    EXPECT_EQ(s(1, 1), n / l);
    EXPECT_EQ(s(2, 8), -n / l);
    EXPECT_EQ(s(0, 6), -kSection.e_mod * kSection.area / l);
    EXPECT_EQ(s(5, 5), 0.0);
    EXPECT_EQ(s(3, 3), 0.0);
  }
}

TEST(BeamColumnStiffness, IsTheFirstOrderStiffnessAtNoForceAndGrowsByTheGeometricStiffness) {
  const double l = kLength;
  EXPECT_EQ(second_order_stiffness(kSection, l, 0.0), frame_stiffness(kSection, l));
  // d/dN by central differences at rho = +-1e-3 (error of order rho^2).
  const double h = force_for(1e-3);
  const linalg::Matrix12 slope =
      (second_order_stiffness(kSection, l, h) - second_order_stiffness(kSection, l, -h)) / (2 * h);
  const linalg::Matrix12 g = geometric_stiffness(l, 1.0);
  EXPECT_NEAR(g(1, 1), 6.0 / (5 * l), 1e-15);
  EXPECT_NEAR(g(5, 11), -l / 30, 1e-15);
  EXPECT_NEAR(g(2, 4), -0.1, 1e-15);
  EXPECT_NEAR(g(4, 8), 0.1, 1e-15);
  EXPECT_NEAR(g(10, 10), 2 * l / 15, 1e-15);
  EXPECT_LT((slope - g).cwiseAbs().maxCoeff(), 1e-8);
  EXPECT_EQ(geometric_stiffness(l, -3.0), -3.0 * g);
}

}  // namespace
}  // namespace velm::mechanics
