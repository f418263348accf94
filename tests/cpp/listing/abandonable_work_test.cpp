// Work run where a stop request can abandon it: its value when it ends first, nothing when the
// stop comes first, and the work's own failure passed on.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>

#include "listing/abandonable_work.hpp"

namespace velm::listing {
namespace {

TEST(AbandonableWork, FinishedWorkGivesItsValue) {
  int asked = 0;
  const std::optional<int> value = run_unless_stopped<int>([] { return 42; },
                                                           [&] {
                                                             ++asked;
                                                             return false;
                                                           });
  EXPECT_EQ(value, 42);
}

TEST(AbandonableWork, AStopAbandonsLongWorkWhichEndsInTheBackground) {
  auto released = std::make_shared<std::atomic<bool>>(false);
  auto ended = std::make_shared<std::atomic<bool>>(false);
  const auto start = std::chrono::steady_clock::now();
  const std::optional<int> value = run_unless_stopped<int>(
      [released, ended] {
        while (!released->load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        ended->store(true);
        return 1;
      },
      [] { return true; });
  EXPECT_FALSE(value.has_value());
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_FALSE(ended->load());
  released->store(true);
  while (!ended->load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

TEST(AbandonableWork, AFailureOfTheWorkIsRethrown) {
  EXPECT_THROW((void)run_unless_stopped<int>([]() -> int { throw std::runtime_error("broken"); },
                                             [] { return false; }),
               std::runtime_error);
}

}  // namespace
}  // namespace velm::listing
