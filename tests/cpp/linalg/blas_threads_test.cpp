// The threading of the BLAS: the engineering solver's calls run on every core, alone; the
// listing path's LU runs on one thread, never while a solver call has the cores; and the
// results of both are the same bits whatever runs beside them.
#include "linalg/blas_threads.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <thread>
#include <vector>

#include "linalg/dense_lu.hpp"
#include "linalg/lapack.hpp"
#include "linalg/lattice.hpp"
#include "linalg/sparse_ldlt.hpp"

namespace velm::testing {
namespace {

using Clock = std::chrono::steady_clock;

TEST(BlasThreads, TheSolverHasEveryCoreAndTheListingOne) {
  linalg::use_single_threaded_blas();
  EXPECT_EQ(::openblas_get_num_threads(), 1);
  {
    const linalg::SolverBlas cores;
    EXPECT_EQ(::openblas_get_num_threads(), linalg::available_cores());
  }
  EXPECT_EQ(::openblas_get_num_threads(), 1);
  const linalg::SingleThreadedBlas one;
  EXPECT_EQ(::openblas_get_num_threads(), 1);
}

TEST(BlasThreads, ASolverCallWaitsForTheSingleThreadedCallsInProgress) {
  std::atomic<bool> held{false};
  Clock::time_point released, entered;
  std::thread listing([&] {
    const linalg::SingleThreadedBlas one;
    held = true;
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    EXPECT_EQ(::openblas_get_num_threads(), 1);
    released = Clock::now();
  });
  while (!held) std::this_thread::yield();
  {
    const linalg::SolverBlas cores;
    entered = Clock::now();
  }
  listing.join();
  EXPECT_GE(entered, released);
}

// A dense, well-conditioned matrix of order n: diagonally dominant with varied entries.
linalg::DenseMatrix dense_matrix(Eigen::Index n) {
  linalg::DenseMatrix a(n, n);
  for (Eigen::Index i = 0; i < n; ++i)
    for (Eigen::Index j = 0; j < n; ++j)
      a(i, j) = std::sin(0.3 * static_cast<double>(i) + 0.7 * static_cast<double>(j) + 0.1);
  for (Eigen::Index i = 0; i < n; ++i) a(i, i) += static_cast<double>(n);
  return a;
}

std::vector<double> sparse_solution(const linalg::SparseSymmetricMatrix& m) {
  linalg::SparseLdlt solver(m, linalg::Definiteness::positive);
  EXPECT_TRUE(solver.analyse(linalg::Ordering::nested_dissection).has_value());
  EXPECT_TRUE(solver.factorise(1e-12).has_value());
  std::vector<double> x(3 * static_cast<std::size_t>(m.size));
  for (std::size_t i = 0; i < x.size(); ++i) x[i] = std::cos(0.11 * static_cast<double>(i));
  EXPECT_TRUE(solver.solve(x.data(), 3).has_value());
  return x;
}

TEST(BlasThreads, ResultsAreTheSameBitsAloneAndSideBySide) {
  const linalg::SparseSymmetricMatrix m = lattice(14);
  const linalg::DenseMatrix a = dense_matrix(400);
  const linalg::Vector b = linalg::Vector::LinSpaced(400, -1.0, 2.0);
  const std::vector<double> sparse_alone = sparse_solution(m);
  const linalg::Vector dense_alone = *linalg::DenseLu(a).solve(b);

  std::vector<std::vector<double>> sparse(3);
  std::vector<linalg::Vector> dense(6);
  std::vector<std::thread> threads;
  for (std::size_t t = 0; t < sparse.size(); ++t)
    threads.emplace_back([&, t] { sparse[t] = sparse_solution(m); });
  for (std::size_t t = 0; t < dense.size(); ++t)
    threads.emplace_back([&, t] { dense[t] = *linalg::DenseLu(a).solve(b); });
  for (std::thread& t : threads) t.join();
  for (const auto& x : sparse) EXPECT_EQ(x, sparse_alone);
  for (const auto& x : dense) EXPECT_EQ(x, dense_alone);
}

}  // namespace
}  // namespace velm::testing
