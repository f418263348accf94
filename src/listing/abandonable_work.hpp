// Work that a stop request can abandon. Copying or factorising a large global matrix is one
// loop or library call of up to seconds that polls nothing; it runs on a thread of its own,
// which owns everything the work uses, while the calling thread polls the stop request.
#pragma once

#include <functional>
#include <memory>
#include <optional>

namespace velm::listing {

// How often the calling thread asks whether to stop while the work runs.
inline constexpr int kStopPollMilliseconds = 50;

// Runs `work` on a thread and waits for it, asking `stop_requested` every kStopPollMilliseconds;
// false when it said to stop before the work ended. Abandoned work runs to its end in the
// background, and what it captured is freed then: until it is, its memory stays taken and a
// core busy. A process that exits while abandoned work still runs ends at once with its exit
// status (its standard streams flushed, its destructors not run, which would free the
// libraries' memory under the work). A throw from the work is rethrown here. Without a thread
// to be had, the work runs on the calling thread, not interrupted.
bool finish_unless_stopped(std::function<void()> work, const std::function<bool()>& stop_requested);

// The value `work` returns, or nothing when `stop_requested` said to stop first. `work` must
// own (by value or shared_ptr) everything it reads: the caller may be gone when it ends.
template <class T>
std::optional<T> run_unless_stopped(std::function<T()> work,
                                    const std::function<bool()>& stop_requested) {
  auto result = std::make_shared<std::optional<T>>();
  const bool finished = finish_unless_stopped(
      [work = std::move(work), result] { result->emplace(work()); }, stop_requested);
  if (!finished) return std::nullopt;
  return std::move(*result);
}

}  // namespace velm::listing
