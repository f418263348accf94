#include "listing/global_matrix.hpp"

#include <gtest/gtest.h>

#include <Eigen/LU>

#include "base/internal_fault.hpp"
#include "listing/band_global_matrix.hpp"
#include "listing/dense_global_matrix.hpp"

namespace velm::listing {

// How gtest shows a storage in test listings and failures.
void PrintTo(Storage storage, std::ostream* out) {
  *out << (storage == Storage::dense ? "dense" : storage == Storage::band ? "band" : "automatic");
}

namespace {

linalg::Matrix12 numbered() {
  linalg::Matrix12 m;
  for (int i = 0; i < 12; ++i)
    for (int j = 0; j < 12; ++j) m(i, j) = 100.0 * i + j;
  return m;
}

// Every test runs on both storages; for the band, with the narrowest band that holds a member
// between neighbouring nodes.
class GlobalMatrixTest : public ::testing::TestWithParam<Storage> {
 protected:
  std::unique_ptr<GlobalMatrix> make(std::uint32_t nodes) const {
    return make_global_matrix(6 * std::size_t{nodes}, 11, GetParam());
  }
};

TEST_P(GlobalMatrixTest, ScattersTheFourBlocksOfAMember) {
  auto k = make(3);
  ASSERT_EQ(k->size(), 18u);
  k->add_element(numbered(), member_dofs(3, 2));
  EXPECT_EQ(k->at(12, 12), 0.0);           // start block of node 3
  EXPECT_EQ(k->at(12 + 2, 6 + 4), 210.0);  // start row 2, end column 4
  EXPECT_EQ(k->at(6 + 1, 13), 701.0);      // end row 1, start column 1
  EXPECT_EQ(k->at(0, 0), 0.0);             // node 1 untouched
  EXPECT_EQ(k->at(0, 17), 0.0);
  // Equal end ids add all four blocks into one.
  auto same = make(1);
  same->add_element(numbered(), member_dofs(1, 1));
  EXPECT_EQ(same->at(2, 3), 203.0 + 209.0 + 803.0 + 809.0);
  // Dofs that are no unknowns are left out.
  auto part = make(2);
  ElementDofs dofs = member_dofs(1, 2);
  dofs[0] = kNoDof;
  part->add_element(numbered(), dofs);
  EXPECT_EQ(part->at(0, 0), 0.0);
  EXPECT_EQ(part->at(1, 6), 106.0);
  EXPECT_EQ(part->at(6, 0), 0.0);
  EXPECT_THROW(k->add_element(numbered(), member_dofs(0, 1)), InternalFault);
  EXPECT_THROW(k->add_element(numbered(), member_dofs(1, 4)), InternalFault);
  EXPECT_THROW(k->at(18, 0), InternalFault);
}

TEST_P(GlobalMatrixTest, ConstrainClearsRowAndColumn) {
  auto k = make(2);
  k->add_element(numbered(), member_dofs(1, 2));
  k->constrain(7);
  for (std::size_t i = 0; i < 12; ++i) {
    if (i == 7) continue;
    EXPECT_EQ(k->at(7, i), 0.0);
    EXPECT_EQ(k->at(i, 7), 0.0);
  }
  EXPECT_EQ(k->at(7, 7), 1e20);
  EXPECT_EQ(k->at(6, 8), 608.0);
  EXPECT_THROW(k->constrain(12), InternalFault);
}

TEST_P(GlobalMatrixTest, CopiedRowsHoldTheEntries) {
  auto k = make(4);
  k->add_element(numbered(), member_dofs(1, 2));
  k->add_element(2.0 * numbered(), member_dofs(3, 2));
  k->add_element(-numbered(), member_dofs(4, 3));
  for (std::size_t row = 0; row < 24; ++row) {
    const auto [lo, hi] = k->row_extent(row);
    ASSERT_LE(lo, row);
    ASSERT_GE(hi, row);
    for (std::size_t col = 0; col < 24; ++col) {
      if (col < lo || col > hi) {
        EXPECT_EQ(k->at(row, col), 0.0) << row << ", " << col;
      }
    }
  }
  // Rows 5..13, columns 3..20: a tile reaching across the band on both sides.
  std::vector<double> tile(9 * 18, -1.0);
  k->copy_rows(5, 13, 3, 20, tile.data());
  for (std::size_t i = 5; i <= 13; ++i)
    for (std::size_t j = 3; j <= 20; ++j)
      EXPECT_EQ(tile[(i - 5) * 18 + (j - 3)], k->at(i, j)) << i << ", " << j;
  EXPECT_EQ(tile[(12 - 5) * 18 + (13 - 3)], 2.0 * 1.0 - 607.0);  // node 3, shared by two members
}

TEST_P(GlobalMatrixTest, CloneIsIndependent) {
  auto k = make(2);
  k->add_element(numbered(), member_dofs(1, 2));
  auto copy = k->clone();
  copy->constrain(0);
  EXPECT_EQ(k->at(0, 1), 1.0);
  EXPECT_EQ(copy->at(0, 1), 0.0);
}

TEST_P(GlobalMatrixTest, OneFactorGivesDeterminantAndSolve) {
  auto k = make(2);
  linalg::Matrix12 e;
  e.setRandom();
  e = e * e.transpose() + linalg::Matrix12::Identity();
  k->add_element(e, member_dofs(1, 2));
  const linalg::Vector b = linalg::Vector::LinSpaced(12, 1.0, 12.0);
  const linalg::Vector product = k->multiply(b);
  const linalg::DenseMatrix dense = e;
  const linalg::Vector expected = dense * b;
  EXPECT_TRUE(product.isApprox(expected, 1e-14));
  const auto factor = std::move(*k).factorise();
  EXPECT_FALSE(factor->singular());
  EXPECT_NEAR(factor->determinant(), dense.determinant(), 1e-10 * std::abs(dense.determinant()));
  const auto x = factor->solve(product);
  ASSERT_TRUE(x.has_value());
  EXPECT_TRUE(x->isApprox(b, 1e-12));
}

TEST_P(GlobalMatrixTest, ExactlyZeroPivotIsSingular) {
  auto k = make(1);
  k->constrain(0);  // the other five dofs have no stiffness
  const auto factor = std::move(*k).factorise();
  EXPECT_TRUE(factor->singular());
  EXPECT_EQ(factor->determinant(), 0.0);
  EXPECT_FALSE(factor->solve(linalg::Vector::Zero(6)).has_value());
}

INSTANTIATE_TEST_SUITE_P(Storages, GlobalMatrixTest,
                         ::testing::Values(Storage::dense, Storage::band), [](const auto& storage) {
                           return storage.param == Storage::dense ? "Dense" : "Band";
                         });

TEST(GlobalMatrix, BandHoldsOnlyTheBand) {
  BandGlobalMatrix k(24, 11);
  EXPECT_EQ(k.row_extent(0), (std::pair<std::size_t, std::size_t>{0, 11}));
  EXPECT_EQ(k.row_extent(15), (std::pair<std::size_t, std::size_t>{4, 23}));
  // Nodes 1 and 3 are 12 dofs apart at their far ends: beyond a half-bandwidth of 11.
  EXPECT_THROW(k.add_element(numbered(), member_dofs(1, 3)), InternalFault);
  EXPECT_EQ(k.at(0, 23), 0.0);
}

TEST(GlobalMatrix, MemoryOfEachStorage) {
  EXPECT_EQ(DenseGlobalMatrix::bytes_needed(3000), 3000ull * 3000 * 8);
  EXPECT_FALSE(DenseGlobalMatrix::bytes_needed(1ull << 32).has_value());
  // 3b + 1 rows per column: the band and the room for the LU's fill-in.
  EXPECT_EQ(BandGlobalMatrix::bytes_needed(3000, 77), 3000ull * 232 * 8);
  EXPECT_FALSE(BandGlobalMatrix::bytes_needed(1ull << 40, 1ull << 30).has_value());
}

TEST(GlobalMatrix, ChoiceOfStorage) {
  EXPECT_NE(dynamic_cast<BandGlobalMatrix*>(make_global_matrix(360, 77, Storage::automatic).get()),
            nullptr);
  EXPECT_NE(
      dynamic_cast<DenseGlobalMatrix*>(make_global_matrix(360, 120, Storage::automatic).get()),
      nullptr);
  EXPECT_NE(dynamic_cast<DenseGlobalMatrix*>(make_global_matrix(0, 0, Storage::band).get()),
            nullptr);
  // A half-bandwidth beyond the matrix is cut to the matrix.
  const auto wide = make_global_matrix(12, 500, Storage::band);
  EXPECT_EQ(dynamic_cast<BandGlobalMatrix&>(*wide).half_bandwidth(), 11u);
}

}  // namespace
}  // namespace velm::listing
