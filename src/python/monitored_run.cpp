#include "python/monitored_run.hpp"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <new>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>
#include <utility>

#include "base/shown_progress.hpp"

namespace velm::python {

namespace {

// Shared between the worker, which reports, and the calling thread, which reads and may ask the
// worker to stop.
class Monitor final : public base::Monitor {
 public:
  void stage_progress(std::string_view stage, double fraction) override {
    const std::lock_guard<std::mutex> guard(lock_);
    shown_.progress(stage, fraction, seconds());
  }
  void stage_estimate(std::string_view stage, double expected) override {
    const std::lock_guard<std::mutex> guard(lock_);
    shown_.estimate(stage, expected, seconds());
  }
  bool stop_requested() override { return stop_.load(std::memory_order_relaxed); }

  void request_stop() { stop_.store(true, std::memory_order_relaxed); }
  // The stage and fraction to show, if they moved since the last call or a second has passed.
  bool take(std::string& stage, double& fraction) {
    const std::lock_guard<std::mutex> guard(lock_);
    const double now = seconds();
    const double shown = shown_.fraction(now);
    if (shown_.stage().empty() ||
        (shown_.stage() == stage && shown == fraction && now - taken_ < 1.0))
      return false;
    taken_ = now;
    stage = shown_.stage();
    fraction = shown;
    return true;
  }

 private:
  static double seconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
  }
  std::atomic<bool> stop_{false};
  std::mutex lock_;
  base::ShownProgress shown_;
  double taken_ = 0.0;
};

void run_guarded(const AnalysisWork& work, const engineering::AnalysisOptions& options,
                 base::Monitor& monitor, MonitoredOutcome& out) {
  try {
    auto analysis = work(options, monitor);
    if (analysis)
      out = std::move(*analysis);
    else
      out = std::unexpected(Failure{Failure::Kind::returned, std::move(analysis.error())});
  } catch (const std::bad_alloc&) {
    out = std::unexpected(Failure{Failure::Kind::no_memory, {}});
  } catch (const std::exception& error) {  // velm::InternalFault and anything else thrown
    Failure fault{Failure::Kind::engine_fault, {}};
    try {
      fault.error.detail = error.what();
    } catch (...) {
    }
    if (fault.error.detail.empty()) fault.error.detail = "internal fault";
    out = std::unexpected(std::move(fault));
  }
}

// Calls progress(stage, fraction) with the lock held; -1 with the exception set on failure.
int report(PyObject* progress, const std::string& stage, double fraction) {
  PyObject* result = PyObject_CallFunction(progress, "s#d", stage.data(),
                                           static_cast<Py_ssize_t>(stage.size()), fraction);
  if (result == nullptr) return -1;
  Py_DECREF(result);
  return 0;
}

}  // namespace

MonitoredOutcome run_monitored(const AnalysisWork& work, engineering::AnalysisOptions options,
                               PyObject* progress) {
  MonitoredOutcome out = std::unexpected(Failure{});
  Monitor monitor;
  std::mutex lock;
  std::condition_variable finished;
  bool done = false;
  bool python_failed = false;
  std::string stage;
  double fraction = 0.0;
  const bool with_progress = progress != nullptr && progress != Py_None;

  Py_BEGIN_ALLOW_THREADS;
  std::thread worker;
  try {
    worker = std::thread([&] {
      run_guarded(work, options, monitor, out);
      const std::lock_guard<std::mutex> guard(lock);
      done = true;
      finished.notify_one();
    });
  } catch (const std::system_error&) {
    // No thread to be had: analyse here, without checks.
    base::Monitor unchecked;
    run_guarded(work, options, unchecked, out);
    done = true;
  }
  std::unique_lock<std::mutex> guard(lock);
  // Looked at every 25 ms: a stage as short as reading a 30 MB document (some 50 ms) is still
  // seen on its way; the progress callable hears only of what moved.
  while (!done) {
    finished.wait_for(guard, std::chrono::milliseconds(25), [&] { return done; });
    if (done || python_failed) continue;
    guard.unlock();
    Py_BLOCK_THREADS;
    if (PyErr_CheckSignals() < 0 ||
        (with_progress && monitor.take(stage, fraction) && report(progress, stage, fraction) < 0)) {
      // The exception stays set while the worker winds down at its next check.
      python_failed = true;
      monitor.request_stop();
    }
    Py_UNBLOCK_THREADS;
    guard.lock();
  }
  guard.unlock();
  if (worker.joinable()) worker.join();
  Py_END_ALLOW_THREADS;

  const Failure cancelled{Failure::Kind::returned, {base::ErrorCode::cancelled, {}}};
  if (python_failed) return std::unexpected(cancelled);
  // A last report, so that a caller sees the work end at 1.0.
  if (with_progress && out && monitor.take(stage, fraction) &&
      report(progress, stage, fraction) < 0)
    return std::unexpected(cancelled);
  return out;
}

}  // namespace velm::python
