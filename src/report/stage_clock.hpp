// Wall-clock time of the stages of one analysis call, for the benchmark. The engine marks the
// end of each stage; nothing is recorded unless a clock is attached to the output.
#pragma once

#include <chrono>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace velm::report {

class StageClock {
 public:
  using Clock = std::chrono::steady_clock;

  StageClock() : last_(Clock::now()) {}

  // Ends the stage that ran since the previous mark; repeated names add up.
  void mark(std::string_view stage) {
    const auto now = Clock::now();
    const double seconds = std::chrono::duration<double>(now - last_).count();
    last_ = now;
    for (auto& [name, total] : stages_) {
      if (name == stage) {
        total += seconds;
        return;
      }
    }
    stages_.emplace_back(std::string(stage), seconds);
  }

  const std::vector<std::pair<std::string, double>>& stages() const { return stages_; }

 private:
  Clock::time_point last_;
  std::vector<std::pair<std::string, double>> stages_;
};

}  // namespace velm::report
