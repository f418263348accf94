// Items spread over threads end as a plain loop over them would.
#include "base/parallel_items.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>
#include <vector>

namespace velm::base {
namespace {

const std::string kStopped = "stopped";

TEST(ParallelItems, EveryItemRunsOnceAndProgressNeverOvercounts) {
  for (const std::size_t count : {0u, 1u, 2u, 7u, 200u}) {
    std::vector<std::atomic<int>> runs(count);
    std::vector<std::size_t> reported;
    const auto done = for_each_item(
        count, kStopped,
        [&](std::size_t i) -> std::expected<void, std::string> {
          ++runs[i];
          return {};
        },
        [&](std::size_t finished) {
          reported.push_back(finished);
          return true;
        });
    ASSERT_TRUE(done.has_value()) << count;
    for (std::size_t i = 0; i < count; ++i) EXPECT_EQ(runs[i].load(), 1) << i;
    for (const std::size_t finished : reported) EXPECT_LE(finished, count);
  }
}

TEST(ParallelItems, TheLowestFailingItemIsReported) {
  // Items 40 and 90 fail; item 40 takes long, so that with more than one thread item 90
  // fails first in time, and must not hide item 40.
  for (int repeat = 0; repeat < 5; ++repeat) {
    const auto done = for_each_item(
        200, kStopped,
        [](std::size_t i) -> std::expected<void, std::string> {
          if (i == 40) std::this_thread::sleep_for(std::chrono::milliseconds(20));
          if (i == 40 || i == 90) return std::unexpected("item " + std::to_string(i));
          return {};
        },
        [](std::size_t) { return true; });
    ASSERT_FALSE(done.has_value());
    EXPECT_EQ(done.error(), "item 40");
  }
}

TEST(ParallelItems, AStopFromTheCallingThreadStartsNoFurtherItem) {
  std::atomic<int> started{0};
  const auto done = for_each_item(
      1000, kStopped,
      [&](std::size_t) -> std::expected<void, std::string> {
        ++started;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return {};
      },
      [](std::size_t finished) { return finished < 3; });
  ASSERT_FALSE(done.has_value());
  EXPECT_EQ(done.error(), kStopped);
  EXPECT_LT(started.load(), 100);
}

TEST(ParallelItems, AnExceptionOfAnItemReachesTheCaller) {
  EXPECT_THROW((void)for_each_item(
                   50, kStopped,
                   [](std::size_t i) -> std::expected<void, std::string> {
                     if (i == 17) throw std::runtime_error("broken");
                     return {};
                   },
                   [](std::size_t) { return true; }),
               std::runtime_error);
}

}  // namespace
}  // namespace velm::base
