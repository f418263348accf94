#include "mechanics/dynamic_stiffness.hpp"

#include <Eigen/LU>

#include <cmath>
#include <limits>
#include <numbers>

namespace velm::mechanics {

namespace {

// D of a bar (axial or torsion): rigidity r (EA or GJ), inertia per length rho.
void add_bar(linalg::Matrix12& d, int start, double rigidity, double inertia, double length,
             double omega) {
  double near = rigidity / length, far = -rigidity / length;
  if (inertia > 0.0 && omega != 0.0) {
    const double k = omega * std::sqrt(inertia / rigidity), kl = k * length;
    near = rigidity * k * std::cos(kl) / std::sin(kl);
    far = -rigidity * k / std::sin(kl);
  }
  d(start, start) = d(start + 6, start + 6) = near;
  d(start, start + 6) = d(start + 6, start) = far;
}

// y_j(L) for j = 0..3 at lambda.
std::array<double, 4> series(double lambda, double length) {
  std::array<double, 4> y{};
  const double l4 = lambda * length * length * length * length;
  for (int j = 0; j < 4; ++j) {
    double term = 1.0;  // L^j / j!
    for (int i = 1; i <= j; ++i) term *= length / i;
    double sum = term;
    for (int n = 1; n < 60; ++n) {
      const int p = 4 * n + j;
      term *= l4 / (static_cast<double>(p) * (p - 1) * (p - 2) * (p - 3));
      sum += term;
      if (std::abs(term) <= 1e-18 * std::abs(sum)) break;
    }
    y[static_cast<std::size_t>(j)] = sum;
  }
  return y;
}

// The 4 x 4 bending block (v1, theta1, v2, theta2) of rigidity EI, theta = v'.
Eigen::Matrix4d bending(double rigidity, double mass, double length, double omega) {
  const double lambda = mass * omega * omega / rigidity;
  const std::array<double, 4> y = series(lambda, length);
  Eigen::Matrix4d d;
  const Eigen::Matrix2d h{{y[2], y[3]}, {y[1], y[2]}};
  const Eigen::Matrix2d h_inverse = h.inverse();
  for (int c = 0; c < 4; ++c) {
    Eigen::Vector4d u = Eigen::Vector4d::Zero();
    u(c) = 1.0;
    const double a0 = u(0), a1 = u(1);
    const Eigen::Vector2d rhs{u(2) - a0 * y[0] - a1 * y[1], u(3) - a0 * lambda * y[3] - a1 * y[0]};
    const Eigen::Vector2d a23 = h_inverse * rhs;
    const double a2 = a23(0), a3 = a23(1);
    const double curvature_end = a0 * lambda * y[2] + a1 * lambda * y[3] + a2 * y[0] + a3 * y[1];
    const double third_end =
        a0 * lambda * y[1] + a1 * lambda * y[2] + a2 * lambda * y[3] + a3 * y[0];
    d.col(c) = rigidity * Eigen::Vector4d{a3, -a2, -third_end, curvature_end};
  }
  return 0.5 * (d + d.transpose());
}

}  // namespace

linalg::Matrix12 dynamic_stiffness(const FrameProperties& p, const LineMass& mass, double length,
                                   double omega) {
  linalg::Matrix12 d = linalg::Matrix12::Zero();
  add_bar(d, 0, p.e_mod * p.area, mass.translational, length, omega);
  add_bar(d, 3, p.g_mod * p.j, mass.torsional, length, omega);
  // x-y plane: UY, RZ with RZ = v'; x-z plane: UZ, RY with RY = -w'.
  const Eigen::Matrix4d xy = bending(p.e_mod * p.i_z, mass.translational, length, omega);
  const Eigen::Matrix4d xz = bending(p.e_mod * p.i_y, mass.translational, length, omega);
  const std::array<int, 4> xy_dofs = {1, 5, 7, 11}, xz_dofs = {2, 4, 8, 10};
  const std::array<double, 4> xz_signs = {1, -1, 1, -1};
  for (std::size_t i = 0; i < 4; ++i)
    for (std::size_t j = 0; j < 4; ++j) {
      const auto a = static_cast<Eigen::Index>(i), b = static_cast<Eigen::Index>(j);
      d(xy_dofs[i], xy_dofs[j]) = xy(a, b);
      d(xz_dofs[i], xz_dofs[j]) = xz_signs[i] * xz_signs[j] * xz(a, b);
    }
  return d;
}

ClampedFrequencies clamped_frequencies(const FrameProperties& p, const LineMass& mass,
                                       double length) {
  constexpr double kInfinite = std::numeric_limits<double>::infinity();
  constexpr double kBetaL = 4.730040744862704;
  ClampedFrequencies f{kInfinite, kInfinite};
  if (mass.translational > 0.0) {
    const double least = std::min(p.i_y, p.i_z);
    f.bending =
        kBetaL * kBetaL / (length * length) * std::sqrt(p.e_mod * least / mass.translational);
    f.axial = std::numbers::pi / length * std::sqrt(p.e_mod * p.area / mass.translational);
  }
  if (mass.torsional > 0.0)
    f.axial =
        std::min(f.axial, std::numbers::pi / length * std::sqrt(p.g_mod * p.j / mass.torsional));
  return f;
}

}  // namespace velm::mechanics
