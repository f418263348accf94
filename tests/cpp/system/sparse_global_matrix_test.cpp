// The sparse storage against the dense one: the same elements give the same matrix, product,
// solution and determinant; a mechanism shows as null pivots; an over-large factorisation is
// refused before it starts.
#include "system/sparse_global_matrix.hpp"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <Eigen/Eigenvalues>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <thread>

#include "linalg/lattice.hpp"
#include "listing/dense_global_matrix.hpp"
#include "mechanics/transformation.hpp"
#include "model_builder.hpp"
#include "system/member_unknowns.hpp"

namespace velm::testing {
namespace {

// A small frame in space with some dofs fixed, as the engineering analysis sees it.
struct Frame {
  frame::Structure structure;
  system::DofNumbering dofs;

  explicit Frame(const model::VELM& model)
      : structure(*frame::build_structure(model)),
        dofs(system::number_dofs(structure.restraints, structure.coordinates)) {}

  mechanics::ElementDofs unknowns(const frame::StructureMember& m) const {
    mechanics::ElementDofs element{};
    for (std::size_t k = 0; k < 6; ++k) {
      element[k] = dofs.index[6 * (m.start - 1) + k];
      element[6 + k] = dofs.index[6 * (m.end - 1) + k];
    }
    return element;
  }

  // Every member added into the storage.
  template <class Storage>
  void assemble(Storage& matrix) const {
    for (const frame::StructureMember& m : structure.members)
      matrix.add_element(
          mechanics::to_global_axes(mechanics::frame_stiffness(m.properties, m.length), m.axes),
          unknowns(m));
  }
};

model::VELM space_frame(bool supported = true) {
  const std::optional<std::uint32_t> base =
      supported ? std::optional<std::uint32_t>(1) : std::nullopt;
  return frame({member(1, node(4, 0, 0, 0, base), node(2, 0, 0, 3)),
                member(2, node(2, 0, 0, 3), node(3, 4, 0, 3)),
                member(3, node(1, 4, 0, 0, base), node(3, 4, 0, 3)),
                member(4, node(3, 4, 0, 3), node(5, 4, 5, 3)),
                member(5, node(6, 4, 5, 0, 2), node(5, 4, 5, 3))},
               {fixed_support(1), support(2, "xyz")}, {});
}

TEST(SparseGlobalMatrix, HoldsWhatTheDenseStorageHoldsAndSolvesAlike) {
  const Frame f(space_frame());
  const auto n = static_cast<std::size_t>(f.dofs.count());
  ASSERT_EQ(n, 6u * 3 + 3);  // three free nodes, one pinned base
  system::SparseGlobalMatrix sparse(f.dofs, system::member_couplings(f.structure));
  listing::DenseGlobalMatrix dense(n);
  f.assemble(sparse);
  f.assemble(dense);
  for (std::size_t i = 0; i < n; ++i)
    for (std::size_t j = 0; j < n; ++j) EXPECT_EQ(sparse.at(i, j), dense.at(i, j)) << i << "," << j;

  linalg::Vector v(static_cast<Eigen::Index>(n));
  for (Eigen::Index i = 0; i < v.size(); ++i) v(i) = std::sin(1.0 + static_cast<double>(i));
  const linalg::Vector ks = sparse.multiply(v), kd = dense.multiply(v);
  for (Eigen::Index i = 0; i < v.size(); ++i)
    EXPECT_NEAR(ks(i), kd(i), 1e-6 * std::abs(kd(i)) + 1e-6);

  base::Monitor quiet;
  auto sparse_factor = std::move(
      *system::SparseGlobalFactor::create(std::move(sparse).release(), std::nullopt, quiet));
  const auto dense_factor = std::move(dense).factorise();
  EXPECT_FALSE(sparse_factor->singular());
  const auto xs = sparse_factor->solve(v), xd = dense_factor->solve(v);
  ASSERT_TRUE(xs && xd);
  for (Eigen::Index i = 0; i < v.size(); ++i)
    EXPECT_NEAR((*xs)(i), (*xd)(i), 1e-9 * std::abs((*xd)(i)) + 1e-15);
  EXPECT_NEAR(sparse_factor->determinant() / dense_factor->determinant(), 1.0, 1e-9);
}

TEST(SparseGlobalMatrix, AMechanismIsReportedAsNullPivotsNotSolved) {
  const Frame f(space_frame(false));
  system::SparseGlobalMatrix sparse(f.dofs, system::member_couplings(f.structure));
  f.assemble(sparse);
  base::Monitor quiet;
  auto factor =
      system::SparseGlobalFactor::create(std::move(sparse).release(), std::nullopt, quiet);
  ASSERT_TRUE(factor.has_value());
  // Held at the pinned base alone, the frame can turn about it in three ways.
  EXPECT_EQ((*factor)->null_pivots().size(), 3u);
  EXPECT_TRUE((*factor)->singular());
  EXPECT_FALSE((*factor)->solve(linalg::Vector::Ones(static_cast<Eigen::Index>(f.dofs.count()))));
}

TEST(SparseGlobalMatrix, NegativePivotsCountTheNegativeEigenvalues) {
  // K - sigma I for shifts between the eigenvalues of K (from a dense eigensolver): the
  // factorisation meets as many negative pivots as there are eigenvalues below sigma.
  const Frame f(space_frame());
  const auto n = static_cast<std::size_t>(f.dofs.count());
  listing::DenseGlobalMatrix dense(n);
  f.assemble(dense);
  Eigen::MatrixXd k(n, n);
  for (std::size_t i = 0; i < n; ++i)
    for (std::size_t j = 0; j < n; ++j)
      k(static_cast<Eigen::Index>(i), static_cast<Eigen::Index>(j)) = dense.at(i, j);
  const Eigen::VectorXd eigenvalues =
      Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd>(k).eigenvalues();
  for (const Eigen::Index below : {0, 1, 7, 20}) {
    const double shift = below == 0 ? 0.0 : 0.5 * (eigenvalues(below - 1) + eigenvalues(below));
    system::SparseGlobalMatrix sparse(f.dofs, system::member_couplings(f.structure));
    f.assemble(sparse);
    linalg::SparseSymmetricMatrix shifted = std::move(sparse).release();
    for (std::size_t e = 0; e < shifted.values.size(); ++e)
      if (shifted.rows[e] == shifted.cols[e]) shifted.values[e] -= shift;
    base::Monitor quiet;
    auto factor = system::SparseGlobalFactor::create(std::move(shifted), std::nullopt, quiet);
    ASSERT_TRUE(factor.has_value());
    EXPECT_FALSE((*factor)->singular()) << below;
    EXPECT_EQ((*factor)->negative_pivots(), below);
  }
}

TEST(SparseGlobalMatrix, AFactorisationThatWouldNotFitIsRefusedBeforeItStarts) {
  const Frame f(space_frame());
  system::SparseGlobalMatrix sparse(f.dofs, system::member_couplings(f.structure));
  f.assemble(sparse);
  base::Monitor quiet;
  auto factor = system::SparseGlobalFactor::create(std::move(sparse).release(), 100, quiet);
  ASSERT_FALSE(factor.has_value());
  EXPECT_EQ(factor.error().kind, system::FactorFailure::Kind::too_large);
  EXPECT_GT(factor.error().estimated_bytes, 100u);
}

// True once no child is left, waiting up to a second for those being ended to go.
bool no_child_left() {
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(1);
  do {
    if (::waitpid(-1, nullptr, WNOHANG) < 0 && errno == ECHILD) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  } while (std::chrono::steady_clock::now() < until);
  return false;
}

TEST(SparseGlobalMatrix, ALargeMatrixIsFactorisedInAProcessOfItsOwnWithTheSameResults) {
  const linalg::SparseSymmetricMatrix m = lattice(20);  // 24,000 unknowns
  ASSERT_GE(m.size, system::SparseGlobalFactor::kProcessUnknowns);
  linalg::SparseLdlt here(m, linalg::Definiteness::positive);
  ASSERT_TRUE(here.analyse().has_value());
  ASSERT_TRUE(here.factorise(1e-12).has_value());
  base::Monitor quiet;
  {
    auto factor =
        system::SparseGlobalFactor::create(m, std::nullopt, quiet, linalg::Definiteness::positive);
    ASSERT_TRUE(factor.has_value());
    EXPECT_FALSE(no_child_left());  // the factor lives in its process
    EXPECT_EQ((*factor)->estimated_bytes(), here.estimated_bytes());
    EXPECT_EQ((*factor)->determinant(), here.determinant());
    EXPECT_EQ((*factor)->definiteness(), linalg::Definiteness::positive);
    std::vector<double> a(2 * static_cast<std::size_t>(m.size));
    for (std::size_t i = 0; i < a.size(); ++i) a[i] = std::sin(0.01 * static_cast<double>(i));
    std::vector<double> b = a;
    ASSERT_TRUE(here.solve(a.data(), 2).has_value());
    ASSERT_TRUE((*factor)->solve_in_place(b.data(), 2).has_value());
    EXPECT_EQ(a, b);
  }
  EXPECT_TRUE(no_child_left());
  // Refused on the process's estimate, which is the same as this process's, and the process
  // is ended.
  auto refused = system::SparseGlobalFactor::create(m, here.estimated_bytes() - 1, quiet,
                                                    linalg::Definiteness::positive);
  ASSERT_FALSE(refused.has_value());
  EXPECT_EQ(refused.error().kind, system::FactorFailure::Kind::too_large);
  EXPECT_EQ(refused.error().estimated_bytes, here.estimated_bytes());
  EXPECT_TRUE(no_child_left());
  // A mechanism there is named as here.
  const linalg::SparseSymmetricMatrix loose = lattice(20, true);
  linalg::SparseLdlt singular(loose);
  ASSERT_TRUE(singular.analyse().has_value());
  ASSERT_TRUE(singular.factorise(1e-12).has_value());
  auto factor = system::SparseGlobalFactor::create(loose, std::nullopt, quiet,
                                                   linalg::Definiteness::positive);
  ASSERT_TRUE(factor.has_value());
  EXPECT_EQ((*factor)->null_pivots(), singular.null_pivots());
  EXPECT_EQ((*factor)->null_pivots().size(), 3u);
}

}  // namespace
}  // namespace velm::testing
