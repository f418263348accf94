#include "mechanics/member_loads.hpp"

#include <cmath>

namespace velm::mechanics {

namespace {

// The integral of s^k over [a, b], times L (dx = L ds).
double moment_of(int k, double a, double b, double length) {
  return length * (std::pow(b, k + 1) - std::pow(a, k + 1)) / (k + 1);
}

}  // namespace

linalg::Vector12 fixed_end_forces(std::span<const MemberLoad> loads, double length) {
  linalg::Vector12 f = linalg::Vector12::Zero();
  for (const MemberLoad& load : loads) {
    if (load.end <= load.start) continue;
    const double a = load.start / length, b = load.end / length;
    const double i0 = moment_of(0, a, b, length), i1 = moment_of(1, a, b, length);
    const double i2 = moment_of(2, a, b, length), i3 = moment_of(3, a, b, length);
    // Integrals of the shape functions over the loaded part.
    const double axial_start = i0 - i1, axial_end = i1;
    const double shear_start = i0 - 3 * i2 + 2 * i3, shear_end = 3 * i2 - 2 * i3;
    const double rotation_start = length * (i1 - 2 * i2 + i3);
    const double rotation_end = length * (i3 - i2);
    const double qx = load.q.x(), qy = load.q.y(), qz = load.q.z();
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
  return f;
}

}  // namespace velm::mechanics
