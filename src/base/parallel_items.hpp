// Independent items of work (the result sets of an analysis) spread over the calling thread
// and a few more. The outcome is the one a plain loop gives: items are taken in increasing
// order, none is started after a failure, and the failure of the lowest item is reported.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <exception>
#include <expected>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

namespace velm::base {

inline constexpr unsigned kMaxItemThreads = 4;

// Runs work(i) for every i in [0, count); work returns std::expected<void, Failure> (a
// base::Error, say) and must be safe to run for different items at once. `keep_going(done)`
// runs on the calling thread only, before each item it takes (progress, cancellation); when it
// returns false no further item is started and `cancelled` is the result. An exception thrown by
// work is rethrown on the calling thread once every thread has stopped.
template <class Failure, class Work, class KeepGoing>
std::expected<void, Failure> for_each_item(std::size_t count, const Failure& cancelled, Work&& work,
                                           KeepGoing&& keep_going) {
  std::atomic<std::size_t> next{0};
  std::atomic<std::size_t> done{0};
  std::atomic<bool> stop{false};
  std::mutex lock;  // guards the three below
  std::size_t failed = count;
  Failure failure{};
  std::exception_ptr fault;
  bool was_cancelled = false;

  auto fail = [&](std::size_t item, Failure text, std::exception_ptr error) {
    const std::lock_guard<std::mutex> guard(lock);
    if (item < failed) {
      failed = item;
      failure = std::move(text);
      fault = std::move(error);
    }
    stop.store(true);
  };
  auto take_items = [&](bool calling_thread) {
    while (!stop.load()) {
      if (calling_thread) {
        bool go = false;
        try {
          go = keep_going(done.load());
        } catch (...) {
          fail(0, {}, std::current_exception());
          return;
        }
        if (!go) {
          const std::lock_guard<std::mutex> guard(lock);
          was_cancelled = true;
          stop.store(true);
          return;
        }
      }
      const std::size_t item = next.fetch_add(1);
      if (item >= count) return;
      try {
        if (auto result = work(item); !result) fail(item, std::move(result.error()), nullptr);
      } catch (...) {
        fail(item, {}, std::current_exception());
      }
      done.fetch_add(1);
    }
  };

  {
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    const std::size_t helpers =
        std::min<std::size_t>({cores - 1, kMaxItemThreads - 1, count > 0 ? count - 1 : 0});
    std::vector<std::jthread> threads;
    for (std::size_t t = 0; t < helpers; ++t) {
      try {
        threads.emplace_back(take_items, false);
      } catch (const std::system_error&) {
        break;  // fewer threads: the work gets done all the same
      }
    }
    take_items(true);
  }  // joins the helpers

  if (fault) std::rethrow_exception(fault);
  if (failed < count) return std::unexpected(std::move(failure));
  if (was_cancelled) return std::unexpected(cancelled);
  return {};
}

}  // namespace velm::base
