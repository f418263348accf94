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
