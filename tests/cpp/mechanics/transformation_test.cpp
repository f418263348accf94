#include "mechanics/transformation.hpp"

#include <gtest/gtest.h>

#include <Eigen/LU>

#include "model_builder.hpp"

namespace velm::mechanics {
namespace {

using testing::member;
using testing::node;

linalg::Matrix3 axes(double x1, double y1, double z1, double x2, double y2, double z2) {
  const auto t =
      calculate_transformation_matrix_3d(member(1, node(1, x1, y1, z1), node(2, x2, y2, z2)));
  EXPECT_TRUE(t.has_value());
  // All four diagonal blocks are the same rotation, the rest is zero.
  linalg::Matrix12 expected = linalg::Matrix12::Zero();
  for (int b = 0; b < 4; ++b) expected.block<3, 3>(3 * b, 3 * b) = t->block<3, 3>(0, 0);
  EXPECT_EQ(*t, expected);
  return t->block<3, 3>(0, 0);
}

void expect_axes(const linalg::Matrix3& lambda, linalg::Vector3 ex, linalg::Vector3 ey,
                 linalg::Vector3 ez) {
  EXPECT_TRUE(lambda.row(0).transpose().isApprox(ex, 1e-15)) << lambda;
  EXPECT_TRUE(lambda.row(1).transpose().isApprox(ey, 1e-15)) << lambda;
  EXPECT_TRUE(lambda.row(2).transpose().isApprox(ez, 1e-15)) << lambda;
}

TEST(TransformationMatrix, LocalAxesOfAxisAlignedAndSkewMembers) {
  EXPECT_EQ(axes(0, 0, 0, 5, 0, 0), linalg::Matrix3::Identity());
  expect_axes(axes(0, 0, 0, 0, 0, 4), {0, 0, 1}, {0, 1, 0}, {-1, 0, 0});
  // Along Y the reference switches to global Z.
  expect_axes(axes(0, 0, 0, 0, 3, 0), {0, 1, 0}, {0, 0, 1}, {1, 0, 0});
  expect_axes(axes(0, 3, 0, 0, 0, 0), {0, -1, 0}, {0, 0, 1}, {-1, 0, 0});
  expect_axes(axes(0, 0, 0, 3, 4, 0), {0.6, 0.8, 0}, {-0.8, 0.6, 0}, {0, 0, 1});
}

TEST(TransformationMatrix, IsOrthogonalAndRightHanded) {
  const double ends[][3] = {{1, 2, 3}, {-4, 0.5, 2}, {0.001, 7, 0}, {0, -2, 1e-7}, {3, 3, 3}};
  for (const auto& e : ends) {
    const auto t = calculate_transformation_matrix_3d(
        member(1, node(1, 0.5, -1, 2), node(2, e[0], e[1], e[2])));
    ASSERT_TRUE(t.has_value());
    EXPECT_TRUE((*t * t->transpose()).isApprox(linalg::Matrix12::Identity(), 1e-14));
    const linalg::Matrix3 lambda = t->block<3, 3>(0, 0);
    EXPECT_NEAR(lambda.determinant(), 1.0, 1e-14);
    EXPECT_GE(lambda(1, 1), 0.0) << "local y points upwards";
  }
}

TEST(TransformationMatrix, DoesNotDependOnPosition) {
  const auto a = calculate_transformation_matrix_3d(member(1, node(1, 0, 0, 0), node(2, 2, 1, -3)));
  const auto b =
      calculate_transformation_matrix_3d(member(1, node(1, 10, 20, 30), node(2, 12, 21, 27)));
  ASSERT_TRUE(a && b);
  EXPECT_TRUE(a->isApprox(*b, 1e-14));
}

TEST(TransformationMatrix, RejectsCoincidentEnds) {
  const auto same =
      calculate_transformation_matrix_3d(member(1, node(1, 1, 2, 3), node(2, 1, 2, 3)));
  ASSERT_FALSE(same.has_value());
  EXPECT_EQ(same.error(), "Start and end nodes are the same or too close to define a direction.");
  EXPECT_FALSE(
      calculate_transformation_matrix_3d(member(1, node(1, 0, 0, 0), node(2, 5e-13, 0, 0))));
  EXPECT_TRUE(
      calculate_transformation_matrix_3d(member(1, node(1, 0, 0, 0), node(2, 2e-12, 0, 0))));
}

}  // namespace
}  // namespace velm::mechanics
