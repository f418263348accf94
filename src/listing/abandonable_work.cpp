#include "listing/abandonable_work.hpp"

#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
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
  bool abandoned = false;
  std::exception_ptr failure;
};

// Abandoned work still running. A thread that outlives the call that started it is a fact of
// the process, not of any one analysis: this count is the one place that knows of it.
std::atomic<int> abandoned_running{0};

// The process exits while abandoned work still runs inside a library call (a factorisation):
// the exit's destructors would free the libraries' memory under it (the linear algebra
// library's buffers), and the work would fault. So the process ends at once, with its exit
// status, once its standard streams are flushed (the interpreter has finalised already).
void end_without_destructors(int status, void*) {
  if (abandoned_running.load() == 0) return;
  std::fflush(nullptr);  // C++ streams go through these (synchronised with stdio)
  _exit(status);
}

void abandon(Shared& shared) {
  static std::once_flag registered;
  std::call_once(registered, [] { on_exit(end_without_destructors, nullptr); });
  shared.abandoned = true;
  abandoned_running.fetch_add(1);
}

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
      if (shared->abandoned) abandoned_running.fetch_sub(1);
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
      abandon(*shared);
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
