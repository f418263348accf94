// The deflected axis of single members against closed forms: simple beams under uniform and
// partial loads (Macaulay's method), the cantilever with a point load along it, the propped
// cantilever, axial loads, and the pinned beam-column in compression and tension.
#include "mechanics/deflection_line.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <vector>

#include <Eigen/Dense>

#include "mechanics/beam_column.hpp"

namespace velm::mechanics {
namespace {

const FrameProperties kSection = {210e6, 81e6, 5e-3, 2.5e-4, 1e-4, 3e-7};
constexpr double kLength = 5.0;
const double kEiZ = kSection.e_mod * kSection.i_z, kEiY = kSection.e_mod * kSection.i_y;
const double kEa = kSection.e_mod * kSection.area;

struct Solved {
  linalg::Vector12 u, forces;
};

// The member with every dof but `free` held, carrying the axial force n: k u = -f0 there.
Solved solve(double n, std::span<const MemberLoad> loads, const std::vector<int>& free) {
  const linalg::Matrix12 k = second_order_stiffness(kSection, kLength, n);
  const linalg::Vector12 f0 = second_order_fixed_end_forces(kSection, kLength, n, loads);
  const auto size = static_cast<Eigen::Index>(free.size());
  Eigen::MatrixXd a(size, size);
  Eigen::VectorXd r(size);
  for (Eigen::Index i = 0; i < size; ++i) {
    r(i) = -f0(free[i]);
    for (Eigen::Index j = 0; j < size; ++j) a(i, j) = k(free[i], free[j]);
  }
  const Eigen::VectorXd x = a.partialPivLu().solve(r);
  Solved s{linalg::Vector12::Zero(), {}};
  for (Eigen::Index i = 0; i < size; ++i) s.u(free[i]) = x(i);
  s.forces = k * s.u + f0;
  return s;
}

DeflectionLine line_of(const Solved& s, std::span<const MemberLoad> loads, double n = 0.0) {
  const double l2 = n * kLength * kLength;
  return DeflectionLine(s.u, s.forces, kLength, kSection, loads, l2 / kEiY, l2 / kEiZ);
}

struct Extremes {
  double low[3], high[3];
};
Extremes extremes_of(const DeflectionLine& line) {
  double out[6];
  line.extremes(out);
  Extremes e;
  for (int k = 0; k < 3; ++k) {
    e.low[k] = out[k];
    e.high[k] = out[3 + k];
  }
  return e;
}

// The root of f in [a, b] (f(a), f(b) of opposite signs) by bisection to the last bit.
double bisect(const std::function<double(double)>& f, double a, double b) {
  const bool rising = f(b) > 0.0;
  for (int i = 0; i < 200; ++i) {
    const double m = 0.5 * (a + b);
    if (m == a || m == b) break;
    ((f(m) > 0.0) == rising ? b : a) = m;
  }
  return 0.5 * (a + b);
}

// A simply supported span under a uniform load w on [a, b] (towards -y), by Macaulay's method:
//   EI v = R1 x^3 / 6 - w <x - a>^4 / 24 + w <x - b>^4 / 24 + C x,   v(L) = 0.
struct MacaulaySpan {
  double w, a, b, ei;
  double bracket(double x, double p, int n) const { return x > p ? std::pow(x - p, n) : 0.0; }
  double r1() const { return w * (b - a) * (kLength - 0.5 * (a + b)) / kLength; }
  double c() const {
    const double l = kLength;
    return -(r1() * l * l * l / 6.0 - w * bracket(l, a, 4) / 24.0 + w * bracket(l, b, 4) / 24.0) /
           l;
  }
  // v and v' (upwards positive): the load is downwards, so the reaction R1 is upwards.
  double v(double x) const {
    return (r1() * x * x * x / 6.0 - w * bracket(x, a, 4) / 24.0 + w * bracket(x, b, 4) / 24.0 +
            c() * x) /
           ei;
  }
  double slope(double x) const {
    return (r1() * x * x / 2.0 - w * bracket(x, a, 3) / 6.0 + w * bracket(x, b, 3) / 6.0 + c()) /
           ei;
  }
};

TEST(DeflectionLine, SimpleSpansUnderUniformAndPartialLoadsInBothPlanes) {
  const double w = 12.0;
  for (const auto& [a, b] : {std::pair{0.0, kLength}, {1.0, 2.5}, {0.0, 1.5}, {3.2, kLength}}) {
    SCOPED_TRACE(testing::Message() << "load on [" << a << ", " << b << "]");
    // Down along y (bending about z: rz free at both ends) and along z (ry free).
    for (const int plane : {1, 2}) {
      const std::vector<MemberLoad> loads = {
          {a, b, plane == 1 ? linalg::Vector3{0.0, -w, 0.0} : linalg::Vector3{0.0, 0.0, -w}}};
      const Solved s = solve(0.0, loads, plane == 1 ? std::vector{5, 11} : std::vector{4, 10});
      const DeflectionLine line = line_of(s, loads);
      const MacaulaySpan span{w, a, b, plane == 1 ? kEiZ : kEiY};
      double x_max = 0.0;
      // The slope falls from the start and rises to the end: its sign change.
      for (double x = kLength / 1000.0; x < kLength; x += kLength / 1000.0)
        if (span.slope(x) >= 0.0) {
          x_max = bisect([&](double t) { return span.slope(t); }, x - kLength / 1000.0, x);
          break;
        }
      const double expected = span.v(x_max);
      const Extremes e = extremes_of(line);
      EXPECT_NEAR(e.low[plane], expected, 1e-12 * std::abs(expected));
      EXPECT_EQ(e.high[plane], 0.0);
      // The extreme is where the closed form has it.
      EXPECT_NEAR(line.at(x_max)[plane], expected, 1e-12 * std::abs(expected));
      for (const double x : {0.7, 1.9, 4.4})
        EXPECT_NEAR(line.at(x)[plane], span.v(x), 1e-12 * std::abs(expected));
      if (a == 0.0 && b == kLength) {
        EXPECT_NEAR(expected, -5.0 * w * std::pow(kLength, 4) / (384.0 * span.ei),
                    1e-13 * std::abs(expected));
      }
      EXPECT_EQ(line.at(2.0)[3 - plane], 0.0);
      EXPECT_EQ(line.at(2.0)[0], 0.0);
    }
  }
}

TEST(DeflectionLine, CantileverWithAPointLoadAlongIt) {
  // Fixed at the start, free at the end; P down y at x = a:
  //   v = -P x^2 (3a - x) / 6EI (x <= a),   -P a^2 (3x - a) / 6EI (x >= a).
  const double p = 7.0, a = 3.0;
  const std::vector<MemberLoad> loads = {point_force(a, {0.0, -p, 0.0})};
  const Solved s = solve(0.0, loads, {7, 11});
  const DeflectionLine line = line_of(s, loads);
  const auto v = [&](double x) {
    return x <= a ? -p * x * x * (3.0 * a - x) / (6.0 * kEiZ)
                  : -p * a * a * (3.0 * x - a) / (6.0 * kEiZ);
  };
  EXPECT_NEAR(s.u(7), v(kLength), 1e-13 * std::abs(v(kLength)));
  std::vector<double> stations(3 * 11);
  line.at_stations(11, stations.data());
  for (int j = 0; j < 11; ++j)
    EXPECT_NEAR(stations[3 * j + 1], v(0.5 * j), 1e-12 * std::abs(v(kLength))) << "station " << j;
  EXPECT_EQ(stations[3 * 10 + 1], s.u(7));  // the end is the end displacement itself
  // Off the chord through the tip: v - x/L v(L), largest where v' = v(L) / L (inside [0, a]).
  const auto off = [&](double x) { return v(x) - x / kLength * v(kLength); };
  const double x_star =
      bisect([&](double x) { return -p * x * (2.0 * a - x) / (2.0 * kEiZ) - v(kLength) / kLength; },
             1e-9, a);
  const Extremes e = extremes_of(line);
  EXPECT_NEAR(e.high[1], off(x_star), 1e-12 * off(x_star));
  EXPECT_EQ(e.low[1], 0.0);
}

TEST(DeflectionLine, ProppedCantileverPeaksAtPoint4215OfTheSpanFromThePin) {
  // Fixed at the start, pinned at the end, uniform w down y:
  //   v = -w x^2 (3L^2 - 5Lx + 2x^2) / 48EI,  largest at x = (15 - sqrt 33) L / 16 from the
  // fixed end, 0.4215 L from the pin.
  const double w = 3.0, l = kLength;
  const std::vector<MemberLoad> loads = {{0.0, l, {0.0, -w, 0.0}}};
  const DeflectionLine line = line_of(solve(0.0, loads, {11}), loads);
  const double x = (15.0 - std::sqrt(33.0)) * l / 16.0;
  EXPECT_NEAR((l - x) / l, 0.4215, 5e-5);
  const double expected = -w * x * x * (3.0 * l * l - 5.0 * l * x + 2.0 * x * x) / (48.0 * kEiZ);
  EXPECT_NEAR(extremes_of(line).low[1], expected, 1e-12 * std::abs(expected));
  EXPECT_NEAR(line.at(x)[1], expected, 1e-12 * std::abs(expected));
}

TEST(DeflectionLine, AxialLoadsStretchTheAxis) {
  // Held at both ends. Uniform q along x: u = q x (L - x) / 2EA, q L^2 / 8EA at midspan.
  // Rising q0 x / L: u = q0 (L^2 x - x^3) / 6 L EA, largest at L / sqrt 3: q0 L^2 / (9 sqrt 3 EA).
  const double q = 40.0, l = kLength;
  for (const bool rising : {false, true}) {
    const std::vector<MemberLoad> loads = {rising
                                               ? linear_load(0.0, l, {0.0, 0.0, 0.0}, {q, 0.0, 0.0})
                                               : MemberLoad{0.0, l, {q, 0.0, 0.0}}};
    const DeflectionLine line = line_of(solve(0.0, loads, {}), loads);
    const double expected =
        rising ? q * l * l / (9.0 * std::sqrt(3.0) * kEa) : q * l * l / (8.0 * kEa);
    const double x = rising ? l / std::sqrt(3.0) : 0.5 * l;
    EXPECT_NEAR(extremes_of(line).high[0], expected, 1e-13 * expected) << rising;
    EXPECT_NEAR(line.at(x)[0], expected, 1e-13 * expected) << rising;
    EXPECT_EQ(extremes_of(line).low[0], 0.0);
  }
  // A point force P at a splits the bar: u(a) = P a (L - a) / (EA L).
  const double p = 9.0, a = 1.5;
  const std::vector<MemberLoad> loads = {point_force(a, {p, 0.0, 0.0})};
  const DeflectionLine line = line_of(solve(0.0, loads, {}), loads);
  const double expected = p * a * (l - a) / (kEa * l);
  EXPECT_NEAR(extremes_of(line).high[0], expected, 1e-13 * expected);
}

TEST(DeflectionLine, BeamColumnAmplifiesTheSagAsTheClosedFormDoes) {
  // Pinned, uniform w, axial force N: the midspan sag is 5 w L^4 / 384 EI times
  //   12 (2 sec u - 2 - u^2) / (5 u^4) in compression and 12 (2 sech u - 2 + u^2) / (5 u^4) in
  // tension, u = (L / 2) sqrt(|N| / EI).
  const double w = 2.0, l = kLength;
  const std::vector<MemberLoad> loads = {{0.0, l, {0.0, -w, 0.0}}};
  const double euler = std::numbers::pi * std::numbers::pi * kEiZ / (l * l);
  for (const double n :
       {-0.8 * euler, -0.3 * euler, -1e-3 * euler, 0.2 * euler, 3.0 * euler, 60.0 * euler}) {
    const Solved s = solve(n, loads, {5, 11});
    const DeflectionLine line = line_of(s, loads, n);
    const double u = 0.5 * l * std::sqrt(std::abs(n) / kEiZ), u4 = std::pow(u, 4);
    const double factor = n < 0.0 ? 12.0 * (2.0 / std::cos(u) - 2.0 - u * u) / (5.0 * u4)
                                  : 12.0 * (2.0 / std::cosh(u) - 2.0 + u * u) / (5.0 * u4);
    const double expected = -5.0 * w * std::pow(l, 4) / (384.0 * kEiZ) * factor;
    // The closed form itself loses digits to cancellation for small u.
    const double tolerance = std::abs(expected) * (u < 0.1 ? 1e-7 : 1e-11);
    EXPECT_NEAR(line.at(0.5 * l)[1], expected, tolerance) << "N / N_E = " << n / euler;
    EXPECT_NEAR(extremes_of(line).low[1], expected, tolerance) << "N / N_E = " << n / euler;
  }
}

}  // namespace
}  // namespace velm::mechanics
