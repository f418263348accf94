#include "mechanics/member_mass.hpp"

#include <array>

namespace velm::mechanics {

namespace {

// 4-point Gauss-Legendre on [-1, 1]: exact for polynomials up to degree 7.
constexpr std::array<double, 4> kPoints = {-0.8611363115940526, -0.3399810435848563,
                                           0.3399810435848563, 0.8611363115940526};
constexpr std::array<double, 4> kWeights = {0.3478548451374538, 0.6521451548625461,
                                            0.6521451548625461, 0.3478548451374538};

template <typename Shapes>
linalg::Matrix12 integrate(double length, double from, double to, Shapes shapes) {
  linalg::Matrix12 m = linalg::Matrix12::Zero();
  if (!(to > from)) return m;
  const double half = 0.5 * (to - from), middle = 0.5 * (to + from);
  for (std::size_t p = 0; p < kPoints.size(); ++p) {
    const double s = (middle + half * kPoints[p]) / length;
    // Rows: the motion along x, y, z and the twist, as functions of the 12 dofs.
    const Eigen::Matrix<double, 4, 12> n = shapes(s);
    m.noalias() += (kWeights[p] * half) * n.topRows<3>().transpose() * n.topRows<3>();
  }
  return m;
}

}  // namespace

linalg::Matrix12 consistent_mass(const LineMass& mass, double length, double from, double to) {
  linalg::Matrix12 m = integrate(length, from, to, [&](double s) {
    Eigen::Matrix<double, 4, 12> n = Eigen::Matrix<double, 4, 12>::Zero();
    const double h1 = 1 - 3 * s * s + 2 * s * s * s, h3 = 3 * s * s - 2 * s * s * s;
    const double h2 = length * (s - 2 * s * s + s * s * s), h4 = length * (s * s * s - s * s);
    n(0, 0) = 1 - s, n(0, 6) = s;
    n(1, 1) = h1, n(1, 5) = h2, n(1, 7) = h3, n(1, 11) = h4;
    n(2, 2) = h1, n(2, 4) = -h2, n(2, 8) = h3, n(2, 10) = -h4;
    return n;
  });
  m *= mass.translational;
  if (mass.torsional != 0.0) {
    // The twist is linear: the integral of (1 - s)^2, (1 - s) s and s^2 over [from, to].
    const double a = from / length, b = to / length;
    const auto power = [&](int k) {
      double pa = 1, pb = 1;
      for (int i = 0; i < k; ++i) pa *= a, pb *= b;
      return length * (pb - pa) / k;
    };
    const double i1 = power(1), i2 = power(2), i3 = power(3);  // of 1, s, s^2, times L
    const double start_start = i1 - 2 * i2 + i3;               // of (1 - s)^2
    const double start_end = i2 - i3;                          // of (1 - s) s
    m(3, 3) += mass.torsional * start_start;
    m(3, 9) += mass.torsional * start_end;
    m(9, 3) += mass.torsional * start_end;
    m(9, 9) += mass.torsional * i3;
  }
  return m;
}

linalg::Matrix12 bar_mass(double translational, double length, double from, double to) {
  linalg::Matrix12 m = integrate(length, from, to, [&](double s) {
    Eigen::Matrix<double, 4, 12> n = Eigen::Matrix<double, 4, 12>::Zero();
    for (int k = 0; k < 3; ++k) n(k, k) = 1 - s, n(k, 6 + k) = s;
    return n;
  });
  return translational * m;
}

}  // namespace velm::mechanics
