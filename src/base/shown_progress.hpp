// The progress a display shows between the reports of a computation: the stage and fraction
// last reported, or, for a stage that announced how long it should take, the fraction of that
// time elapsed (capped below 1 until the stage ends), and never less than shown before in the
// same stage. Times are seconds on any steady clock, so that a test can pass its own.
#pragma once

#include <algorithm>
#include <string>
#include <string_view>

namespace velm::base {

class ShownProgress {
 public:
  // The largest fraction an estimate alone shows: the stage ends when it ends.
  static constexpr double kEstimateCap = 0.99;

  void progress(std::string_view stage, double fraction, double now) {
    if (stage != stage_) {
      stage_.assign(stage);
      started_ = now;
      expected_ = 0.0;
      shown_ = 0.0;
    }
    fraction_ = fraction;
  }
  void estimate(std::string_view stage, double seconds, double now) {
    if (stage != stage_) progress(stage, 0.0, now);
    expected_ = seconds;
  }

  const std::string& stage() const { return stage_; }
  // The fraction to show at `now`: what was reported, or further on by the estimate.
  double fraction(double now) {
    double f = fraction_;
    if (expected_ > 0.0) f = std::max(f, std::min(kEstimateCap, (now - started_) / expected_));
    shown_ = std::max(shown_, f);
    return shown_;
  }

 private:
  std::string stage_;
  double started_ = 0.0;
  double expected_ = 0.0;  // 0: none given
  double fraction_ = 0.0;
  double shown_ = 0.0;
};

}  // namespace velm::base
