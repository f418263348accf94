#include "solver/global_matrix.hpp"

#include <gtest/gtest.h>

#include <Eigen/LU>

#include "base/internal_fault.hpp"
#include "report/sink.hpp"

namespace velm::solver {
namespace {

linalg::Matrix12 numbered() {
  linalg::Matrix12 m;
  for (int i = 0; i < 12; ++i)
    for (int j = 0; j < 12; ++j) m(i, j) = 100.0 * i + j;
  return m;
}

TEST(GlobalMatrix, ScattersTheFourBlocksOfAMember) {
  GlobalMatrix k(3);
  ASSERT_EQ(k.size(), 18);
  k.add_element(numbered(), 3, 1);
  EXPECT_EQ(k(12, 12), 0.0);           // start block of node 3
  EXPECT_EQ(k(12 + 2, 0 + 4), 210.0);  // start row 2, end column 4
  EXPECT_EQ(k(1, 13), 701.0);          // end row 1, start column 1
  EXPECT_EQ(k(6, 6), 0.0);             // node 2 untouched
  // Equal end ids add all four blocks into one.
  GlobalMatrix same(1);
  same.add_element(numbered(), 1, 1);
  EXPECT_EQ(same(2, 3), 203.0 + 209.0 + 803.0 + 809.0);
  EXPECT_THROW(k.add_element(numbered(), 0, 1), InternalFault);
  EXPECT_THROW(k.add_element(numbered(), 1, 4), InternalFault);
}

TEST(GlobalMatrix, ConstrainClearsRowAndColumn) {
  GlobalMatrix k(2);
  k.add_element(numbered(), 1, 2);
  k.constrain(7);
  for (Eigen::Index i = 0; i < 12; ++i) {
    if (i == 7) continue;
    EXPECT_EQ(k(7, i), 0.0);
    EXPECT_EQ(k(i, 7), 0.0);
  }
  EXPECT_EQ(k(7, 7), 1e20);
  EXPECT_THROW(k.constrain(12), InternalFault);
}

TEST(GlobalMatrix, OneFactorGivesDeterminantAndSolve) {
  GlobalMatrix k(1);
  linalg::Matrix12 e = linalg::Matrix12::Zero();
  linalg::Matrix6 a;
  a.setRandom();
  e.block<6, 6>(0, 0) = a * a.transpose() + linalg::Matrix6::Identity();
  k.add_element(e, 1, 1);
  linalg::DenseMatrix dense(6, 6);
  for (Eigen::Index i = 0; i < 6; ++i)
    for (Eigen::Index j = 0; j < 6; ++j) dense(i, j) = k(i, j);
  const linalg::Vector b = linalg::Vector::LinSpaced(6, 1.0, 6.0);
  const linalg::Vector product = k.multiply(b);
  const GlobalFactor factor = std::move(k).factorise();
  EXPECT_NEAR(factor.determinant(), dense.determinant(), 1e-10 * std::abs(dense.determinant()));
  const auto x = factor.solve(product);
  ASSERT_TRUE(x.has_value());
  EXPECT_TRUE(x->isApprox(b, 1e-12));
}

TEST(GlobalMatrix, ExactlyZeroPivotIsSingular) {
  GlobalMatrix k(1);
  k.constrain(0);  // the other five dofs have no stiffness
  const GlobalFactor factor = std::move(k).factorise();
  EXPECT_EQ(factor.determinant(), 0.0);
  EXPECT_FALSE(factor.solve(linalg::Vector::Zero(6)).has_value());
}

TEST(GlobalMatrix, PrintsLikeAnyMatrix) {
  report::StringSink out, err;
  {
    report::Console console(out, err);
    GlobalMatrix(0).print(console, "Global Stiffness Matrix");
  }
  EXPECT_EQ(out.text, "Global Stiffness Matrix (0x0):\n\n");
}

}  // namespace
}  // namespace velm::solver
