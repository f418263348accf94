// Independent items of work (the result sets of an analysis) spread over the calling thread
// and a few more. The outcome is the one a plain loop gives: items are taken in increasing
// order, none is started after a failure, and the failure of the lowest item is reported. An
// item that takes long may ask, as it goes, whether the loop is being cancelled, on whichever
// thread runs it, and end early.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <exception>
#include <expected>
#include <functional>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <type_traits>
#include <vector>

namespace velm::base {

inline constexpr unsigned kMaxItemThreads = 4;

// Asked by the work of an item, every few milliseconds of it: false when the loop is being
// cancelled, and the work should then return at once (its outcome is not used).
using ItemGoing = std::function<bool()>;

// Runs work(i) (or work(i, going), an ItemGoing) for every i in [0, count); work returns
// std::expected<void, Failure> (a base::Error, say) and must be safe to run for different items
// at once. `keep_going(done)` runs on the calling thread only, before each item it takes and
// whenever the work of an item on that thread calls going() (progress, cancellation); when it
// returns false no further item is started, going() turns false on every thread, and
// `cancelled` is the result. A failure does not end the items under way (a lower one may fail
// too), only the start of further ones. An exception thrown by work or keep_going is rethrown on
// the calling thread once every thread has stopped.
template <class Failure, class Work, class KeepGoing>
std::expected<void, Failure> for_each_item(std::size_t count, const Failure& cancelled, Work&& work,
                                           KeepGoing&& keep_going) {
  std::atomic<std::size_t> next{0};
  std::atomic<std::size_t> done{0};
  std::atomic<bool> stop{false};
  std::atomic<bool> cancelling{false};
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
  // Asks keep_going on the calling thread; false (and the loop cancelled) when it says stop
  // or throws.
  auto ask = [&]() -> bool {
    bool go = false;
    try {
      go = keep_going(done.load());
    } catch (...) {
      fail(0, {}, std::current_exception());
      cancelling.store(true);
      return false;
    }
    if (!go) {
      const std::lock_guard<std::mutex> guard(lock);
      was_cancelled = true;
      cancelling.store(true);
      stop.store(true);
    }
    return go;
  };
  auto take_items = [&](bool calling_thread) {
    while (!stop.load()) {
      if (calling_thread && !ask()) return;
      const std::size_t item = next.fetch_add(1);
      if (item >= count) return;
      bool interrupted = false;
      const ItemGoing going = [&]() -> bool {
        if (!cancelling.load() && (!calling_thread || ask())) return true;
        interrupted = true;
        return false;
      };
      try {
        auto result = [&] {
          if constexpr (std::is_invocable_v<Work&, std::size_t, const ItemGoing&>)
            return work(item, going);
          else
            return work(item);
        }();
        if (interrupted) return;  // the loop is cancelled: the item's outcome is not used
        if (!result) fail(item, std::move(result.error()), nullptr);
      } catch (...) {
        if (interrupted) return;
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
