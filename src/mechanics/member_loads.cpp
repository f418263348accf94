#include "mechanics/member_loads.hpp"

#include <cmath>

namespace velm::mechanics {

namespace {

// The integral of s^k over [a, b], times L (dx = L ds).
double moment_of(int k, double a, double b, double length) {
  return length * (std::pow(b, k + 1) - std::pow(a, k + 1)) / (k + 1);
}

// The integral of s^k (s - a) / (b - a) over [a, b], times L: with s = a + h tau, h = b - a,
//   L h sum over j of C(k, j) a^(k-j) h^j / (j + 2),
// without the cancellation of the difference of two moments.
double ramp_moment_of(int k, double a, double b, double length) {
  const double h = b - a;
  double sum = 0.0, binomial = 1.0;
  for (int j = 0; j <= k; ++j) {
    sum += binomial * std::pow(a, k - j) * std::pow(h, j) / (j + 2);
    binomial = binomial * (k - j) / (j + 1);
  }
  return length * h * sum;
}

// Adds -q times the integrals of the shape functions, given the integrals i0..i3 of s^k.
void add_distributed(const linalg::Vector3& q, double i0, double i1, double i2, double i3,
                     double length, linalg::Vector12& f) {
  const double axial_start = i0 - i1, axial_end = i1;
  const double shear_start = i0 - 3 * i2 + 2 * i3, shear_end = 3 * i2 - 2 * i3;
  const double rotation_start = length * (i1 - 2 * i2 + i3);
  const double rotation_end = length * (i3 - i2);
  const double qx = q.x(), qy = q.y(), qz = q.z();
  f(0) -= qx * axial_start;
  f(6) -= qx * axial_end;
  f(1) -= qy * shear_start;
  f(7) -= qy * shear_end;
  f(5) -= qy * rotation_start;
  f(11) -= qy * rotation_end;
  f(2) -= qz * shear_start;
  f(8) -= qz * shear_end;
  f(4) += qz * rotation_start;
  f(10) += qz * rotation_end;
}

void add_force(const linalg::Vector3& p, double s, double length, linalg::Vector12& f) {
  const double s2 = s * s, s3 = s2 * s;
  const double shear_start = 1 - 3 * s2 + 2 * s3, shear_end = 3 * s2 - 2 * s3;
  const double rotation_start = length * (s - 2 * s2 + s3), rotation_end = length * (s3 - s2);
  f(0) -= p.x() * (1 - s);
  f(6) -= p.x() * s;
  f(1) -= p.y() * shear_start;
  f(7) -= p.y() * shear_end;
  f(5) -= p.y() * rotation_start;
  f(11) -= p.y() * rotation_end;
  f(2) -= p.z() * shear_start;
  f(8) -= p.z() * shear_end;
  f(4) += p.z() * rotation_start;
  f(10) += p.z() * rotation_end;
}

void add_moment(const linalg::Vector3& m, double s, double length, linalg::Vector12& f) {
  const double s2 = s * s;
  // d/dx of the shape functions at s.
  const double shear_slope = 6 * (s2 - s) / length;  // of 1 - 3s^2 + 2s^3; the end's is minus
  const double rotation_start = 1 - 4 * s + 3 * s2, rotation_end = 3 * s2 - 2 * s;
  f(3) -= m.x() * (1 - s);
  f(9) -= m.x() * s;
  f(1) -= m.z() * shear_slope;
  f(7) += m.z() * shear_slope;
  f(5) -= m.z() * rotation_start;
  f(11) -= m.z() * rotation_end;
  f(2) += m.y() * shear_slope;
  f(8) -= m.y() * shear_slope;
  f(4) -= m.y() * rotation_start;
  f(10) -= m.y() * rotation_end;
}

}  // namespace

linalg::Vector12 fixed_end_forces(std::span<const MemberLoad> loads, double length) {
  linalg::Vector12 f = linalg::Vector12::Zero();
  for (const MemberLoad& load : loads) {
    if (load.kind == MemberLoad::Kind::force) {
      add_force(load.q, load.start / length, length, f);
      continue;
    }
    if (load.kind == MemberLoad::Kind::moment) {
      add_moment(load.q, load.start / length, length, f);
      continue;
    }
    if (load.end <= load.start) continue;
    const double a = load.start / length, b = load.end / length;
    add_distributed(load.q, moment_of(0, a, b, length), moment_of(1, a, b, length),
                    moment_of(2, a, b, length), moment_of(3, a, b, length), length, f);
    if (load.varying())
      add_distributed(load.dq, ramp_moment_of(0, a, b, length), ramp_moment_of(1, a, b, length),
                      ramp_moment_of(2, a, b, length), ramp_moment_of(3, a, b, length), length, f);
  }
  return f;
}

}  // namespace velm::mechanics
