// What a long computation tells whoever runs it, and how it is asked to stop. The stages call
// these hooks as they go; the hooks do nothing by default, so a quiet run passes a plain
// Monitor and a monitor overrides what it needs.
#pragma once

#include <cstddef>
#include <string_view>

namespace velm::base {

class Monitor {
 public:
  virtual ~Monitor() = default;

  // The stage that ran since the previous one ended ("assemble", "solve", ...).
  virtual void stage_end(std::string_view /*stage*/) {}
  // How far the stage now running has come, from 0 to 1. Called often: a monitor that shows
  // it throttles it itself.
  virtual void stage_progress(std::string_view /*stage*/, double /*fraction*/) {}
  // How long the stage now running is expected to take, for a stage that cannot tell its
  // fraction as it goes (the factorisation): a monitor that shows progress may interpolate.
  virtual void stage_estimate(std::string_view /*stage*/, double /*seconds*/) {}
  // Polled while the computation runs, between stages and inside its long loops (at least
  // every 0.1 s of work where the work allows it): true stops it, and it then fails with
  // ErrorCode::cancelled and writes nothing.
  virtual bool stop_requested() { return false; }
};

// Tells a monitor how far a loop over `total` items of a stage has come and asks it whether
// to stop, once every kStride items (a few milliseconds of work at most).
class StageMonitor {
 public:
  StageMonitor(Monitor& monitor, std::string_view stage, std::size_t total)
      : monitor_(monitor), stage_(stage), total_(total) {
    monitor_.stage_progress(stage_, 0.0);
  }
  // False when the monitor asks to stop.
  bool keep_going(std::size_t done) {
    if (done % kStride != 0) return true;
    monitor_.stage_progress(
        stage_, total_ == 0 ? 1.0 : static_cast<double>(done) / static_cast<double>(total_));
    return !monitor_.stop_requested();
  }
  bool finish() {
    monitor_.stage_progress(stage_, 1.0);
    return !monitor_.stop_requested();
  }

 private:
  static constexpr std::size_t kStride = 1024;
  Monitor& monitor_;
  std::string_view stage_;
  std::size_t total_;
};

}  // namespace velm::base
