#include "listing/abandonable_work.hpp"

#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>

namespace velm::listing {

namespace {

// What the working thread and the waiting one share; whichever lets go last frees it.
struct Shared {
  std::mutex lock;
  std::condition_variable finished;
  bool done = false;
  std::exception_ptr failure;
};

}  // namespace

bool finish_unless_stopped(std::function<void()> work,
                           const std::function<bool()>& stop_requested) {
  auto shared = std::make_shared<Shared>();
  // The thread's own copy of the work, so that a failed start leaves `work` to run here.
  auto task = std::make_shared<std::function<void()>>(std::move(work));
  std::thread worker;
  try {
    worker = std::thread([shared, task] {
      std::exception_ptr failure;
      try {
        (*task)();
      } catch (...) {
        failure = std::current_exception();
      }
      // What the work captured is freed here, by this thread, whether or not anyone waits.
      *task = nullptr;
      const std::lock_guard<std::mutex> guard(shared->lock);
      shared->failure = failure;
      shared->done = true;
      shared->finished.notify_one();
    });
  } catch (const std::system_error&) {
    (*task)();
    return true;
  }
  task.reset();
  std::unique_lock<std::mutex> guard(shared->lock);
  while (!shared->finished.wait_for(guard, std::chrono::milliseconds(kStopPollMilliseconds),
                                    [&] { return shared->done; })) {
    guard.unlock();
    const bool stop = stop_requested && stop_requested();
    guard.lock();
    if (stop && !shared->done) {
      guard.unlock();
      worker.detach();
      return false;
    }
  }
  guard.unlock();
  worker.join();
  if (shared->failure) std::rethrow_exception(shared->failure);
  return true;
}

}  // namespace velm::listing
