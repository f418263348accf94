#include "mechanics/transformation.hpp"

#include <cmath>

namespace velm::mechanics {

namespace {

linalg::Vector3 cross(const linalg::Vector3& a, const linalg::Vector3& b) {
  return {a.y() * b.z() - a.z() * b.y(), a.z() * b.x() - a.x() * b.z(),
          a.x() * b.y() - a.y() * b.x()};
}

}  // namespace

std::expected<linalg::Matrix3, std::string> local_axes(const linalg::Vector3& start,
                                                       const linalg::Vector3& end) {
  const linalg::Vector3 d = end - start;
  const double length = std::sqrt(d.x() * d.x() + d.y() * d.y() + d.z() * d.z());
  if (length < kLengthTolerance) return std::unexpected(std::string(kCoincidentEndsMessage));

  const linalg::Vector3 ex{d.x() / length, d.y() / length, d.z() / length};
  // Global Y serves as the reference "up" unless the member itself runs along Y, where the
  // cross product would vanish; global Z takes over there.
  linalg::Vector3 reference{0.0, 1.0, 0.0};
  if (std::abs(ex.dot(reference)) > kParallelThreshold) reference = {0.0, 0.0, 1.0};

  const linalg::Vector3 w = cross(ex, reference);
  const linalg::Vector3 ez = w / w.norm();
  const linalg::Vector3 u = cross(ez, ex);
  // ez and ex are unit and orthogonal only to rounding, so ey is normalised on its own.
  const linalg::Vector3 ey = u / u.norm();

  linalg::Matrix3 lambda;
  lambda.row(0) = ex.transpose();
  lambda.row(1) = ey.transpose();
  lambda.row(2) = ez.transpose();
  return lambda;
}

std::expected<linalg::Matrix12, std::string> calculate_transformation_matrix_3d(
    const model::Member& member) {
  const model::Node& a = member.start_node;
  const model::Node& b = member.end_node;
  const auto lambda = local_axes({a.X, a.Y, a.Z}, {b.X, b.Y, b.Z});
  if (!lambda) return std::unexpected(lambda.error());
  linalg::Matrix12 t = linalg::Matrix12::Zero();
  for (int block = 0; block < 4; ++block) t.block<3, 3>(3 * block, 3 * block) = *lambda;
  return t;
}

std::expected<linalg::Matrix3, std::string> oriented_axes(
    const linalg::Vector3& start, const linalg::Vector3& end,
    const std::optional<linalg::Vector3>& reference, double rotation_degrees) {
  auto axes = local_axes(start, end);
  if (!axes) return axes;
  linalg::Matrix3 lambda = *axes;
  if (reference) {
    const linalg::Vector3 ex = lambda.row(0).transpose();
    const linalg::Vector3 d = *reference - start;
    const linalg::Vector3 normal = d - d.dot(ex) * ex;
    if (normal.norm() <= 1e-9 * (end - start).norm())
      return std::unexpected(std::string(kReferenceOnAxisMessage));
    const linalg::Vector3 ey = normal / normal.norm();
    const linalg::Vector3 ez = cross(ex, ey);
    lambda.row(1) = ey.transpose();
    lambda.row(2) = ez.transpose();
  }
  if (rotation_degrees != 0.0) {
    const double a = rotation_degrees * (3.14159265358979323846 / 180.0);
    const double c = std::cos(a), s = std::sin(a);
    const linalg::Vector3 ey = lambda.row(1).transpose(), ez = lambda.row(2).transpose();
    lambda.row(1) = (c * ey + s * ez).transpose();
    lambda.row(2) = (-s * ey + c * ez).transpose();
  }
  return lambda;
}

linalg::Matrix12 to_global_axes(const linalg::Matrix12& local, const linalg::Matrix3& lambda) {
  linalg::Matrix12 global;
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 4; ++j) {
      const linalg::Matrix3 block = local.block<3, 3>(3 * i, 3 * j);
      const linalg::Matrix3 rotated = lambda.transpose() * block * lambda;
      global.block<3, 3>(3 * i, 3 * j) = rotated;
    }
  }
  return global;
}

}  // namespace velm::mechanics
