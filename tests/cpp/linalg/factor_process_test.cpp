// The ordering and factorisation in a process of its own: the same solutions as in the calling
// process, its failures and statistics passed back, and a stop that ends it at once, whatever it
// is doing.
#include "linalg/factor_process.hpp"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <functional>
#include <thread>
#include <vector>

#include "linalg/lattice.hpp"

namespace velm::linalg {
namespace {

using testing::lattice;

std::vector<double> right_hand_sides(std::size_t n, int count) {
  std::vector<double> b(n * static_cast<std::size_t>(count));
  for (std::size_t i = 0; i < b.size(); ++i) b[i] = std::cos(0.37 * static_cast<double>(i));
  return b;
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

TEST(FactorProcess, SolvesAsTheCallingProcessDoesBitForBit) {
  const SparseSymmetricMatrix m = lattice(9);
  SparseLdlt here(m, Definiteness::positive), there(m, Definiteness::positive);
  ASSERT_TRUE(here.analyse().has_value());
  ASSERT_TRUE(here.factorise(1e-12).has_value());
  const FactorProcess::Stop never = [] { return false; };
  auto process = FactorProcess::analyse(there, Ordering::automatic, never);
  ASSERT_TRUE(process.has_value());
  ASSERT_NE(*process, nullptr);
  EXPECT_EQ((*process)->estimated_bytes(), here.estimated_bytes());
  EXPECT_EQ((*process)->estimated_factor_entries(), here.estimated_factor_entries());
  EXPECT_EQ((*process)->estimated_flops(), here.estimated_flops());
  ASSERT_TRUE((*process)->factorise(1e-12, never).has_value());
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
  ASSERT_TRUE(here.factorise(1e-12).has_value());
  const FactorProcess::Stop never = [] { return false; };
  auto process = FactorProcess::analyse(there, Ordering::automatic, never);
  ASSERT_TRUE(process.has_value() && *process != nullptr);
  ASSERT_TRUE((*process)->factorise(1e-12, never).has_value());
  EXPECT_EQ((*process)->null_pivots(), here.null_pivots());
  EXPECT_EQ((*process)->null_pivots().size(), 3u);
}

// A stop that turns true `after` from the first time it is asked, noting when it first said so.
struct TimedStop {
  using Clock = std::chrono::steady_clock;
  explicit TimedStop(std::chrono::milliseconds wait) : after(wait) {}
  bool operator()() {
    const Clock::time_point now = Clock::now();
    if (start == Clock::time_point{}) start = now;
    if (now - start < after) return false;
    if (asked == Clock::time_point{}) asked = now;
    return true;
  }
  std::chrono::milliseconds after;
  Clock::time_point start{}, asked{};
};

TEST(FactorProcess, AStopEndsTheFactorisationAtOnce) {
  // A lattice whose factorisation takes seconds; the stop comes after a tenth of one.
  const SparseSymmetricMatrix m = lattice(34);
  SparseLdlt ldlt(m, Definiteness::positive);
  const FactorProcess::Stop never = [] { return false; };
  auto process = FactorProcess::analyse(ldlt, Ordering::minimum_fill, never);
  ASSERT_TRUE(process.has_value() && *process != nullptr);
  TimedStop timed(std::chrono::milliseconds(100));
  const FactorProcess::Stop stop = std::ref(timed);
  const auto factorised = (*process)->factorise(1e-12, stop);
  const TimedStop::Clock::time_point answered = TimedStop::Clock::now();
  ASSERT_FALSE(factorised.has_value()) << "the factorisation ended before the stop";
  EXPECT_EQ(factorised.error().kind, SparseSolverError::Kind::cancelled);
  EXPECT_LT(answered - timed.asked, std::chrono::milliseconds(500));
  EXPECT_TRUE(no_child_left());
  // The process has gone: what is asked of it after fails, and does not hang.
  std::vector<double> b = right_hand_sides(static_cast<std::size_t>(m.size), 1);
  EXPECT_FALSE((*process)->solve(b.data(), 1).has_value());
}

TEST(FactorProcess, AStopEndsTheOrderingAndTheSolvesAtOnce) {
  // Nested dissection of a large lattice takes long enough to be stopped in the middle; so do
  // a hundred right-hand sides through a large factor.
  const SparseSymmetricMatrix big = lattice(60);
  {
    SparseLdlt ldlt(big, Definiteness::positive);
    TimedStop timed(std::chrono::milliseconds(20));
    const FactorProcess::Stop stop = std::ref(timed);
    auto process = FactorProcess::analyse(ldlt, Ordering::nested_dissection, stop);
    const TimedStop::Clock::time_point answered = TimedStop::Clock::now();
    ASSERT_FALSE(process.has_value()) << "the ordering ended before the stop";
    EXPECT_EQ(process.error().kind, SparseSolverError::Kind::cancelled);
    EXPECT_LT(answered - timed.asked, std::chrono::milliseconds(500));
    EXPECT_TRUE(no_child_left());
  }
  const SparseSymmetricMatrix m = lattice(22);
  SparseLdlt ldlt(m, Definiteness::positive);
  const FactorProcess::Stop never = [] { return false; };
  auto process = FactorProcess::analyse(ldlt, Ordering::nested_dissection, never);
  ASSERT_TRUE(process.has_value() && *process != nullptr);
  ASSERT_TRUE((*process)->factorise(1e-12, never).has_value());
  std::vector<double> b = right_hand_sides(static_cast<std::size_t>(m.size), 400);
  TimedStop timed(std::chrono::milliseconds(20));
  const FactorProcess::Stop stop = std::ref(timed);
  const auto solved = (*process)->solve(b.data(), 400, &stop);
  const TimedStop::Clock::time_point answered = TimedStop::Clock::now();
  ASSERT_FALSE(solved.has_value()) << "the solves ended before the stop";
  EXPECT_EQ(solved.error().kind, SparseSolverError::Kind::cancelled);
  EXPECT_LT(answered - timed.asked, std::chrono::milliseconds(500));
  EXPECT_TRUE(no_child_left());
}

}  // namespace
}  // namespace velm::linalg
