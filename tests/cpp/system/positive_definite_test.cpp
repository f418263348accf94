// The factorisation that takes the stiffness for positive definite: it solves as the pivoting
// one does, and where the matrix is not positive definite (a mechanism, an indefinite matrix)
// it starts again with pivoting, so that the caller sees the same null pivots, the same error
// naming node and dof, and the true inertia.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "linalg/sparse_ldlt.hpp"
#include "model_builder.hpp"
#include "system/assembly.hpp"
#include "system/discrete_model.hpp"
#include "system/factorisation.hpp"

namespace velm::testing {
namespace {

using linalg::Definiteness;

struct Assembled {
  frame::Structure structure;
  system::DiscreteModel model;
  explicit Assembled(const model::VELM& m)
      : structure(*frame::build_structure(m)), model(structure) {}

  base::Expected<system::Factorisation> factorise(Definiteness expected) const {
    base::Monitor quiet;
    const std::vector<std::uint8_t> all_on(structure.members.size(), 1);
    return system::Factorisation::of(*system::assemble_stiffness(model, all_on, quiet), model.dofs,
                                     quiet, expected);
  }
};

// A frame of nx x ny columns, `storeys` high, beams both ways at every floor, fixed at the base.
model::VELM grid_frame(int nx, int ny, int storeys) {
  std::vector<model::Member> members;
  const auto id = [&](int x, int y, int z) {
    return static_cast<std::uint32_t>(1 + x + nx * (y + ny * z));
  };
  const auto at = [&](int x, int y, int z) {
    return node(id(x, y, z), 4.0 * x, 5.0 * y, 3.0 * z,
                z == 0 ? std::optional<std::uint32_t>(1) : std::nullopt);
  };
  std::uint32_t m = 1;
  for (int z = 1; z <= storeys; ++z)
    for (int y = 0; y < ny; ++y)
      for (int x = 0; x < nx; ++x) {
        members.push_back(member(m++, at(x, y, z - 1), at(x, y, z)));
        if (x + 1 < nx) members.push_back(member(m++, at(x, y, z), at(x + 1, y, z)));
        if (y + 1 < ny) members.push_back(member(m++, at(x, y, z), at(x, y + 1, z)));
      }
  return frame(members, {fixed_support(1)}, {});
}

TEST(PositiveDefinite, AStableFrameSolvesAsWithPivoting) {
  const Assembled a(grid_frame(4, 3, 5));
  auto positive = a.factorise(Definiteness::positive);
  auto pivoting = a.factorise(Definiteness::indefinite);
  ASSERT_TRUE(positive.has_value() && pivoting.has_value());
  EXPECT_EQ(positive->negative_pivots(), 0);
  const auto n = static_cast<std::size_t>(a.model.dofs.count());
  std::vector<double> x(n), y(n);
  for (std::size_t i = 0; i < n; ++i) x[i] = y[i] = 1e3 * std::cos(0.37 * static_cast<double>(i));
  ASSERT_TRUE(positive->solve_in_place(x.data(), 1).has_value());
  ASSERT_TRUE(pivoting->solve_in_place(y.data(), 1).has_value());
  double largest = 0.0;
  for (const double v : y) largest = std::max(largest, std::abs(v));
  for (std::size_t i = 0; i < n; ++i) ASSERT_NEAR(x[i], y[i], 1e-11 * largest) << i;
}

TEST(PositiveDefinite, AMechanismNamesTheSameNodeAndDof) {
  // A beam held in translation at both ends spins about its axis; a column of two storeys
  // pinned at its base turns about it in three ways.
  const model::VELM spinning =
      frame({member(1, node(1, 0, 0, 0, 1), node(2, 5, 0, 0, 1))}, {support(1, "xyz")}, {});
  model::VELM pinned = grid_frame(1, 1, 2);
  pinned.nodal_supports = {support(1, "xyz")};
  for (const model::VELM& m : {spinning, pinned}) {
    const Assembled a(m);
    const auto positive = a.factorise(Definiteness::positive);
    const auto pivoting = a.factorise(Definiteness::indefinite);
    ASSERT_FALSE(positive.has_value());
    ASSERT_FALSE(pivoting.has_value());
    EXPECT_EQ(positive.error().code, base::ErrorCode::unstable);
    EXPECT_EQ(base::message(positive.error()), base::message(pivoting.error()));
  }
  const auto text = base::message(Assembled(spinning).factorise(Definiteness::positive).error());
  EXPECT_TRUE(text == "The structure is unstable: node 1 is free to move in RX." ||
              text == "The structure is unstable: node 2 is free to move in RX.")
      << text;
}

TEST(PositiveDefinite, AnIndefiniteMatrixIsFactorisedWithPivotingAndItsInertiaKept) {
  // [[1 2 0] [2 1 0] [0 0 1]]: eigenvalues 3, -1 and 1, determinant -3. Without pivoting the
  // second pivot is 1 - 4 = -3.
  linalg::SparseSymmetricMatrix m;
  m.size = 3;
  m.rows = {1, 1, 2, 3};
  m.cols = {1, 2, 2, 3};
  m.values = {1.0, 2.0, 1.0, 1.0};
  linalg::SparseLdlt ldlt(m, Definiteness::positive);
  ASSERT_TRUE(ldlt.analyse().has_value());
  ASSERT_TRUE(ldlt.factorise(1e-12).has_value());
  EXPECT_EQ(ldlt.definiteness(), Definiteness::indefinite);
  EXPECT_EQ(ldlt.negative_pivots(), 1);
  EXPECT_NEAR(ldlt.determinant(), -3.0, 1e-14);
  std::vector<double> b = {3.0, 3.0, 2.0};  // A (1, 1, 2)
  ASSERT_TRUE(ldlt.solve(b.data(), 1).has_value());
  EXPECT_NEAR(b[0], 1.0, 1e-14);
  EXPECT_NEAR(b[1], 1.0, 1e-14);
  EXPECT_NEAR(b[2], 2.0, 1e-14);

  // Made positive definite (off-diagonal 0.5): no second start.
  m.values[1] = 0.5;
  linalg::SparseLdlt definite(m, Definiteness::positive);
  ASSERT_TRUE(definite.analyse().has_value());
  ASSERT_TRUE(definite.factorise(1e-12).has_value());
  EXPECT_EQ(definite.definiteness(), Definiteness::positive);
  EXPECT_NEAR(definite.determinant(), 0.75, 1e-14);
}

}  // namespace
}  // namespace velm::testing
