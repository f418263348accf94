// The factorisation in a process of its own: the same solutions as in the calling process, its
// failures and statistics passed back, and a stop that ends it at once.
#include "linalg/factor_process.hpp"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <vector>

namespace velm::linalg {
namespace {

// A sparse positive definite matrix: a 3-D lattice, three unknowns a point; with `loose`, the
// last point holds nothing (its three rows empty but the diagonal 0).
SparseSymmetricMatrix lattice(int side, bool loose = false) {
  SparseSymmetricMatrix m;
  const int per = 3, points = side * side * side;
  m.size = points * per;
  const auto add = [&](int r, int c, double v) {
    m.rows.push_back(r + 1);
    m.cols.push_back(c + 1);
    m.values.push_back(v);
  };
  for (int p = 0; p < points; ++p) {
    const bool held = !(loose && p + 1 == points);
    const int x = p % side, y = (p / side) % side, z = p / (side * side);
    for (int i = 0; i < per; ++i) {
      add(p * per + i, p * per + i, held ? 30.0 + i : 0.0);
      if (!held) continue;
      for (const int q : {x + 1 < side ? p + 1 : -1, y + 1 < side ? p + side : -1,
                          z + 1 < side ? p + side * side : -1})
        if (q >= 0 && !(loose && q + 1 == points))
          for (int j = 0; j < per; ++j) add(p * per + i, q * per + j, -1.0 - 0.1 * (i + j));
    }
  }
  return m;
}

std::vector<double> right_hand_sides(std::size_t n, int count) {
  std::vector<double> b(n * static_cast<std::size_t>(count));
  for (std::size_t i = 0; i < b.size(); ++i) b[i] = std::cos(0.37 * static_cast<double>(i));
  return b;
}

bool no_child_left() {
  return ::waitpid(-1, nullptr, WNOHANG) < 0 && errno == ECHILD;
}

TEST(FactorProcess, SolvesAsTheCallingProcessDoesBitForBit) {
  const SparseSymmetricMatrix m = lattice(9);
  SparseLdlt here(m, Definiteness::positive), there(m, Definiteness::positive);
  ASSERT_TRUE(here.analyse().has_value());
  ASSERT_TRUE(there.analyse().has_value());
  ASSERT_TRUE(here.factorise(1e-12).has_value());
  auto process = FactorProcess::factorise(there, 1e-12, [] { return false; });
  ASSERT_TRUE(process.has_value());
  ASSERT_NE(*process, nullptr);
  EXPECT_EQ((*process)->negative_pivots(), here.negative_pivots());
  EXPECT_EQ((*process)->definiteness(), here.definiteness());
  EXPECT_EQ((*process)->determinant(), here.determinant());
  // More right-hand sides than one pass of the shared memory holds go in turns.
  for (const int count : {1, 5}) {
    std::vector<double> a = right_hand_sides(static_cast<std::size_t>(m.size), count), b = a;
    ASSERT_TRUE(here.solve(a.data(), count).has_value());
    ASSERT_TRUE((*process)->solve(b.data(), count).has_value());
    EXPECT_EQ(a, b) << count;
  }
  process->reset();
  EXPECT_TRUE(no_child_left());
}

TEST(FactorProcess, PassesTheNullPivotsBack) {
  const SparseSymmetricMatrix m = lattice(5, true);
  SparseLdlt here(m), there(m);
  ASSERT_TRUE(here.analyse().has_value());
  ASSERT_TRUE(there.analyse().has_value());
  ASSERT_TRUE(here.factorise(1e-12).has_value());
  auto process = FactorProcess::factorise(there, 1e-12, [] { return false; });
  ASSERT_TRUE(process.has_value() && *process != nullptr);
  EXPECT_EQ((*process)->null_pivots(), here.null_pivots());
  EXPECT_EQ((*process)->null_pivots().size(), 3u);
}

TEST(FactorProcess, AStopEndsTheFactorisationAtOnce) {
  // A lattice whose factorisation takes seconds; the stop comes after a tenth of one.
  const SparseSymmetricMatrix m = lattice(34);
  SparseLdlt ldlt(m, Definiteness::positive);
  ASSERT_TRUE(ldlt.analyse(Ordering::minimum_fill).has_value());
  using Clock = std::chrono::steady_clock;
  const Clock::time_point start = Clock::now();
  Clock::time_point asked{};
  auto process = FactorProcess::factorise(ldlt, 1e-12, [&] {
    if (Clock::now() - start < std::chrono::milliseconds(100)) return false;
    if (asked == Clock::time_point{}) asked = Clock::now();
    return true;
  });
  const Clock::time_point answered = Clock::now();
  ASSERT_FALSE(process.has_value()) << "the factorisation ended before the stop";
  EXPECT_EQ(process.error().kind, SparseSolverError::Kind::cancelled);
  EXPECT_LT(answered - asked, std::chrono::milliseconds(500));
  EXPECT_TRUE(no_child_left());
}

}  // namespace
}  // namespace velm::linalg
