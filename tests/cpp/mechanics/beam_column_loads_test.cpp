// Second-order fixed-end forces against closed forms, values worked out independently in
// extended precision, symmetry and compatibility; the moment line's exact extremes against
// dense sampling; the first-order line as its limit.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "mechanics/beam_column.hpp"
#include "mechanics/internal_forces.hpp"

namespace velm::mechanics {
namespace {

const FrameProperties kSection = {210e6, 81e6, 5e-3, 2.5e-4, 1e-4, 3e-7};
constexpr double kLength = 5.0;
const double kEiZ = kSection.e_mod * kSection.i_z, kEiY = kSection.e_mod * kSection.i_y;

double force_for(double rho) {
  return rho * kEiZ / (kLength * kLength);
}

linalg::Vector12 fef(double rho, const std::vector<MemberLoad>& loads) {
  return second_order_fixed_end_forces(kSection, kLength, force_for(rho), loads);
}

TEST(SecondOrderFixedEndForces, FullUniformLoadHasTheClosedFormEndMoments) {
  // q L^2/12 psi(u), u = L/2 sqrt(|N|/EI): psi = 3 (tan u - u)/(u^2 tan u) in compression,
  // 3 (u - tanh u)/(u^2 tanh u) in tension; the shears stay q L/2.
  const double qy = 9.0, qz = -4.0, qx = 2.0, l = kLength;
  const std::vector<MemberLoad> loads = {{0.0, l, linalg::Vector3(qx, qy, qz)}};
  const auto psi = [](double rho) {
    const double u = 0.5 * std::sqrt(std::abs(rho));
    return rho < 0 ? 3 * (std::tan(u) - u) / (u * u * std::tan(u))
                   : 3 * (u - std::tanh(u)) / (u * u * std::tanh(u));
  };
  for (const double rho : {-35.0, -20.0, -5.0, -0.5, 0.5, 5.0, 80.0, 1e4, 1e6}) {
    const linalg::Vector12 f = fef(rho, loads);
    const double mz = qy * l * l / 12 * psi(rho), my = qz * l * l / 12 * psi(rho * kEiZ / kEiY);
    EXPECT_NEAR(f(5), -mz, 1e-12 * std::abs(mz)) << rho;
    EXPECT_NEAR(f(11), mz, 1e-12 * std::abs(mz)) << rho;
    EXPECT_NEAR(f(4), my, 1e-12 * std::abs(my)) << rho;
    EXPECT_NEAR(f(10), -my, 1e-12 * std::abs(my)) << rho;
    EXPECT_NEAR(f(1), -qy * l / 2, 1e-12 * qy * l) << rho;
    EXPECT_NEAR(f(8), -qz * l / 2, 1e-12 * qy * l) << rho;
    EXPECT_EQ(f(0), -qx * l / 2);
  }
}

TEST(SecondOrderFixedEndForces, PartialLoadsMatchIndependentValuesTheMirroredLoadAndSuperposition) {
  // A unit member (L = 1, EI = 1) under q = 1 along y on [0.2, 0.7]: the deflection
  // C2 Phi_2 + C3 Phi_3 + Phi_4(t - 0.2) - Phi_4(t - 0.7) with fixed ends, solved in 60-digit
  // arithmetic, gives fy1, mz1, fy2, mz2.
  const FrameProperties unit = {1.0, 1.0, 1.0, 1.0, 1.0, 1.0};
  const std::vector<MemberLoad> unit_load = {{0.2, 0.7, linalg::Vector3(0.0, 1.0, 0.0)}};
  const double expected[2][5] = {{-9.0, -0.28511555887770053299, -0.074223461539104693194,
                                  -0.21488444112229946701, 0.0641079026614041602},
                                 {100.0, -0.28018721555746731734, -0.026676461101771968919,
                                  -0.21981278444253268266, 0.021489245544304651584}};
  for (const auto& row : expected) {
    const linalg::Vector12 f = second_order_fixed_end_forces(unit, 1.0, row[0], unit_load);
    EXPECT_NEAR(f(1), row[1], 1e-13) << row[0];
    EXPECT_NEAR(f(5), row[2], 1e-13) << row[0];
    EXPECT_NEAR(f(7), row[3], 1e-13) << row[0];
    EXPECT_NEAR(f(11), row[4], 1e-13) << row[0];
  }

  const double l = kLength;
  for (const double rho : {-30.0, -3.0, 2.0, 4.5, 300.0}) {
    const auto load = [](double a, double b) {
      return std::vector<MemberLoad>{{a, b, linalg::Vector3(0.0, 5.0, 3.0)}};
    };
    const linalg::Vector12 f = fef(rho, load(0.8, 2.1));
    const double scale = f.cwiseAbs().maxCoeff();
    // The same load seen from the other end: ends swapped, moments about the other way.
    const linalg::Vector12 m = fef(rho, load(l - 2.1, l - 0.8));
    EXPECT_NEAR(f(1), m(7), 1e-12 * scale) << rho;
    EXPECT_NEAR(f(5), -m(11), 1e-12 * scale) << rho;
    EXPECT_NEAR(f(4), -m(10), 1e-12 * scale) << rho;
    EXPECT_NEAR(f(8), m(2), 1e-12 * scale) << rho;
    // And as the load to the end less the load beyond its own end.
    const linalg::Vector12 difference = fef(rho, load(0.8, l)) - fef(rho, load(2.1, l));
    EXPECT_LT((difference - f).cwiseAbs().maxCoeff(), 1e-12 * scale) << rho;
  }
}

TEST(SecondOrderFixedEndForces, LeaveTheMomentLineCompatibleWithFixedEnds) {
  // int M dx = 0 and int x M dx = 0 for the line through the fixed-end forces (5-point
  // Gauss-Legendre on 1000 panels), which is computed by other means than the forces.
  const double node[5] = {-0.9061798459386640, -0.5384693101056831, 0.0, 0.5384693101056831,
                          0.9061798459386640};
  const double weight[5] = {0.2369268850561891, 0.4786286704993665, 0.5688888888888889,
                            0.4786286704993665, 0.2369268850561891};
  const double l = kLength;
  const std::vector<MemberLoad> loads = {{0.5, 2.0, linalg::Vector3(0.0, 6.0, -2.0)},
                                         {2.0, 4.5, linalg::Vector3(0.0, 1.0, 4.0)}};
  for (const double rho : {-25.0, -1.0, 3.0, 60.0}) {
    const linalg::Vector12 f = fef(rho, loads);
    const SecondOrderForceLine line(f, l, loads, rho * kEiZ / kEiY, rho);
    double area[2] = {0, 0}, first[2] = {0, 0};
    const int panels = 1000;
    const double h = l / panels;
    for (int p = 0; p < panels; ++p)
      for (int i = 0; i < 5; ++i) {
        const double x = (p + 0.5 + 0.5 * node[i]) * h;
        const std::array<double, 6> s = line.at(x);
        for (int k = 0; k < 2; ++k) {
          area[k] += 0.5 * h * weight[i] * s[4 + k];
          first[k] += 0.5 * h * weight[i] * x * s[4 + k];
        }
      }
    const double scale = f.cwiseAbs().maxCoeff() * l * l;
    for (int k = 0; k < 2; ++k) {
      EXPECT_NEAR(area[k], 0.0, 1e-11 * scale) << rho << " " << k;
      EXPECT_NEAR(first[k], 0.0, 1e-11 * scale * l) << rho << " " << k;
    }
  }
}

TEST(SecondOrderFixedEndForces, AreTheFirstOrderOnesWithoutAxialForce) {
  const std::vector<MemberLoad> loads = {{0.4, 3.3, linalg::Vector3(1.0, 6.0, -2.0)}};
  const linalg::Vector12 first = fixed_end_forces(loads, kLength);
  EXPECT_EQ(second_order_fixed_end_forces(kSection, kLength, 0.0, loads), first);
  for (const double rho : {-1e-9, 1e-9})
    EXPECT_LT((fef(rho, loads) - first).cwiseAbs().maxCoeff(), 1e-9 * first.cwiseAbs().maxCoeff());
}

// Loads on both planes, overlapping and partial, and end forces with arbitrary moments whose
// forces balance the loads (as any solution's do: the forces are those of first order).
const std::vector<MemberLoad> kSomeLoads = {{0.7, 2.9, linalg::Vector3(1.0, 6.0, -3.0)},
                                            {2.0, 4.1, linalg::Vector3(0.0, -15.0, 0.0)},
                                            {1.0, 3.0, linalg::Vector3(0.0, 0.0, 8.0)}};
linalg::Vector12 some_end_forces() {
  linalg::Vector12 f;
  f << 3.0, -8.0, 5.0, 1.5, 14.0, -22.0, 0.0, 0.0, 0.0, -1.5, -9.0, 31.0;
  for (int k = 0; k < 3; ++k) {
    f(6 + k) = -f(k);
    for (const MemberLoad& load : kSomeLoads) f(6 + k) -= load.q(k) * (load.end - load.start);
  }
  return f;
}

TEST(SecondOrderForceLine, ExtremesBoundADenseSamplingAndAreReachedByIt) {
  const double l = kLength;
  // (rho_y, rho_z): compression far beyond the pinned Euler load (u = 7, and u = 30: several
  // stationary points on a piece), moderate compression, tension, strong tension.
  const double cases[5][2] = {
      {-2.5, -49.0}, {-900.0, -0.4}, {-9.0, -0.4}, {1.0, 9.0}, {1600.0, 250.0}};
  for (const auto& rho : cases) {
    const SecondOrderForceLine line(some_end_forces(), l, kSomeLoads, rho[0], rho[1]);
    double out[12];
    line.extremes(out);
    double low[6], high[6];
    std::fill(low, low + 6, 1e300);
    std::fill(high, high + 6, -1e300);
    const int samples = 100000;
    for (int i = 0; i <= samples; ++i) {
      const std::array<double, 6> s = line.at(l * i / samples);
      for (int k = 0; k < 6; ++k) {
        low[k] = std::min(low[k], s[k]);
        high[k] = std::max(high[k], s[k]);
      }
    }
    for (int k = 0; k < 6; ++k) {
      const double scale = std::max(std::abs(low[k]), std::abs(high[k])) + 1.0;
      EXPECT_LE(out[k], low[k] + 1e-13 * scale) << rho[1] << " " << k;
      EXPECT_GE(out[6 + k], high[k] - 1e-13 * scale) << rho[1] << " " << k;
      // The samples miss a stationary value by at most M'' (dt)^2 / 8, M'' = rho M + q L^2.
      const double curvature = k < 4 ? 0.0 : std::abs(rho[k - 4]) * scale + 15.0 * l * l;
      const double sampling = curvature / (8.0 * samples * samples);
      EXPECT_NEAR(out[k], low[k], 1e-9 * scale + sampling) << rho[1] << " " << k;
      EXPECT_NEAR(out[6 + k], high[k], 1e-9 * scale + sampling) << rho[1] << " " << k;
    }
  }
}

TEST(SecondOrderForceLine, IsTheFirstOrderLineWithoutAxialForce) {
  // End forces in equilibrium: a fixed-fixed member's fixed-end forces plus k u.
  linalg::Vector12 u;
  u << 1e-3, 2e-3, -1e-3, 4e-4, 3e-4, -2e-4, -1e-3, 5e-4, 2e-3, -3e-4, 1e-4, 6e-4;
  const linalg::Vector12 f =
      frame_stiffness(kSection, kLength) * u + fixed_end_forces(kSomeLoads, kLength);
  const InternalForceLine first(f, kLength, kSomeLoads);
  const SecondOrderForceLine second(f, kLength, kSomeLoads, 0.0, 0.0);
  const double scale = f.cwiseAbs().maxCoeff();
  double a[6 * 21], b[6 * 21];
  first.at_stations(21, a);
  second.at_stations(21, b);
  for (int i = 0; i < 6 * 21; ++i) EXPECT_NEAR(a[i], b[i], 1e-12 * scale) << i;
  first.extremes(a);
  second.extremes(b);
  for (int i = 0; i < 12; ++i) EXPECT_NEAR(a[i], b[i], 1e-12 * scale) << i;
  EXPECT_EQ(b[0], a[0]);  // the forces are the first-order ones
  EXPECT_EQ(b[6 + 3], a[6 + 3]);
}

}  // namespace
}  // namespace velm::mechanics
