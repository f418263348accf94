// Single members solved in second order against the closed forms of the amplified moments and
// deflections: the pinned beam-column under a uniform load in compression and in tension, and
// the cantilever under a lateral end load.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include <Eigen/Dense>

#include "mechanics/beam_column.hpp"

namespace velm::mechanics {
namespace {

constexpr double kPi = std::numbers::pi;
const FrameProperties kSection = {210e6, 81e6, 5e-3, 2.5e-4, 1e-4, 3e-7};
constexpr double kLength = 5.0;
const double kEiZ = kSection.e_mod * kSection.i_z, kEiY = kSection.e_mod * kSection.i_y;

struct Solved {
  linalg::Vector12 u, forces;  // displacements, end forces k u + f0
};

// The member alone with every dof but `free` held: k u = p - f0 over the free dofs.
Solved solve(double n, std::span<const MemberLoad> loads, const linalg::Vector12& p,
             const std::vector<int>& free) {
  const linalg::Matrix12 k = second_order_stiffness(kSection, kLength, n);
  const linalg::Vector12 f0 = second_order_fixed_end_forces(kSection, kLength, n, loads);
  const auto size = static_cast<Eigen::Index>(free.size());
  Eigen::MatrixXd a(size, size);
  Eigen::VectorXd r(size);
  for (Eigen::Index i = 0; i < size; ++i) {
    r(i) = p(free[i]) - f0(free[i]);
    for (Eigen::Index j = 0; j < size; ++j) a(i, j) = k(free[i], free[j]);
  }
  const Eigen::VectorXd x = a.partialPivLu().solve(r);
  Solved s{linalg::Vector12::Zero(), {}};
  for (Eigen::Index i = 0; i < size; ++i) s.u(free[i]) = x(i);
  s.forces = k * s.u + f0;
  return s;
}

struct Extremes {
  double low[6], high[6];
};
Extremes extremes_of(const SecondOrderForceLine& line) {
  double out[12];
  line.extremes(out);
  Extremes e{};
  for (int k = 0; k < 6; ++k) {
    e.low[k] = out[k];
    e.high[k] = out[6 + k];
  }
  return e;
}

TEST(BeamColumnResponse, PinnedBeamColumnUnderUniformLoadHasTheAmplifiedMoment) {
  // M(L/2) = w EI/P (sec u - 1), u = L/2 sqrt(P/EI), in both planes (My with the opposite
  // sign for a load along z).
  const double w = 12.0, l = kLength;
  const std::vector<MemberLoad> loads = {{0.0, l, linalg::Vector3(0.0, w, w)}};
  for (const double fraction : {0.2, 0.5, 0.8}) {
    const double p = fraction * kPi * kPi * kEiZ / (l * l);
    const Solved s = solve(-p, loads, linalg::Vector12::Zero(), {4, 5, 10, 11});
    const double rho_z = -p * l * l / kEiZ, rho_y = -p * l * l / kEiY;
    const SecondOrderForceLine line(s.forces, l, loads, rho_y, rho_z);
    const double uz = 0.5 * l * std::sqrt(p / kEiZ), uy = 0.5 * l * std::sqrt(p / kEiY);
    const double mz = -w * kEiZ / p * (1.0 / std::cos(uz) - 1.0);
    const double my = w * kEiY / p * (1.0 / std::cos(uy) - 1.0);
    const std::array<double, 6> middle = line.at(0.5 * l);
    EXPECT_NEAR(middle[5], mz, 1e-9 * std::abs(mz)) << fraction;
    EXPECT_NEAR(middle[4], my, 1e-9 * std::abs(my)) << fraction;
    EXPECT_LT(mz, -w * l * l / 8 / (1 - fraction) * 0.9);  // well beyond first order
    const Extremes e = extremes_of(line);
    EXPECT_NEAR(e.low[5], mz, 1e-9 * std::abs(mz)) << fraction;
    EXPECT_NEAR(e.high[5], 0.0, 1e-9 * std::abs(mz)) << fraction;
    EXPECT_NEAR(e.high[4], my, 1e-9 * std::abs(my)) << fraction;
    // The shears are those of first order.
    EXPECT_NEAR(e.low[1], -w * l / 2, 1e-9 * w * l);
    EXPECT_NEAR(e.high[1], w * l / 2, 1e-9 * w * l);
  }
}

TEST(BeamColumnResponse, PinnedBeamInTensionHasTheReducedMoment) {
  // M'' - k^2 M = w, M(0) = M(L) = 0: M(x) = -w/k^2 (1 - cosh(k (x - L/2)) / cosh(k L/2)),
  // M(L/2) = -w EI/T (1 - sech u), u = k L/2, far into tension.
  const double w = 12.0, l = kLength;
  const std::vector<MemberLoad> loads = {{0.0, l, linalg::Vector3(0.0, w, 0.0)}};
  for (const double u : {0.5, 3.0, 30.0, 300.0}) {
    const double k = 2 * u / l, t = k * k * kEiZ;
    const Solved s = solve(t, loads, linalg::Vector12::Zero(), {5, 11});
    const SecondOrderForceLine line(s.forces, l, loads, t * l * l / kEiY, t * l * l / kEiZ);
    for (const double x : {0.5 * l, 0.3 * l, 0.02 * l}) {
      const double expected = -w / (k * k) * (1 - std::cosh(k * (x - 0.5 * l)) / std::cosh(u));
      EXPECT_NEAR(line.at(x)[5], expected, 1e-9 * w / (k * k)) << u << " " << x;
    }
    const double middle = -w * kEiZ / t * (1 - 1 / std::cosh(u));
    EXPECT_NEAR(extremes_of(line).low[5], middle, 1e-9 * std::abs(middle)) << u;
  }
}

TEST(BeamColumnResponse, CantileverUnderLateralLoadHasTheAmplifiedBaseMomentAndDrift) {
  // Base moment H L tan(a)/a, top drift H L^3/(3EI) 3 (tan a - a)/a^3, a = L sqrt(P/EI),
  // moment H/k sin(k (L - x)) / cos(k L) along it.
  const double h = 7.0, l = kLength;
  linalg::Vector12 p = linalg::Vector12::Zero();
  p(7) = h;  // the top node pushes the member's end along y
  p(8) = h;  // and along z
  for (const double fraction : {0.2, 0.5, 0.8}) {
    const double axial = fraction * kPi * kPi * kEiZ / (4 * l * l);
    const Solved s = solve(-axial, {}, p, {7, 8, 10, 11});
    const double kz = std::sqrt(axial / kEiZ), az = kz * l, ay = l * std::sqrt(axial / kEiY);
    const double base = h * l * std::tan(az) / az;
    EXPECT_NEAR(-s.forces(5), base, 1e-9 * base) << fraction;
    EXPECT_NEAR(s.forces(4), h * l * std::tan(ay) / ay, 1e-9 * base) << fraction;
    const double drift = h * l * l * l / (3 * kEiZ) * 3 * (std::tan(az) - az) / (az * az * az);
    EXPECT_NEAR(s.u(7), drift, 1e-9 * drift) << fraction;
    EXPECT_NEAR(s.u(8), h * l * l * l / kEiY * (std::tan(ay) - ay) / (ay * ay * ay), 1e-9 * drift);

    const SecondOrderForceLine line(s.forces, l, {}, -axial * l * l / kEiY, -axial * l * l / kEiZ);
    for (const double x : {0.25 * l, 0.6 * l}) {
      const double expected = h / kz * std::sin(kz * (l - x)) / std::cos(az);
      EXPECT_NEAR(line.at(x)[5], expected, 1e-9 * base) << fraction << " " << x;
    }
    const Extremes e = extremes_of(line);
    EXPECT_NEAR(e.high[5], base, 1e-9 * base);
    EXPECT_NEAR(e.low[5], 0.0, 1e-9 * base);
  }
}

}  // namespace
}  // namespace velm::mechanics
