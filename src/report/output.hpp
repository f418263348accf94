#pragma once

#include <filesystem>
#include <functional>

#include "report/console.hpp"
#include "report/stage_clock.hpp"

namespace velm::report {

// Where one analysis call sends its output: the console, and the folder that the relative file
// names (the CSV exports, the results document) are resolved against. An empty folder means
// the process's working directory.
struct Output {
  Console& console;
  std::filesystem::path directory;
  // Attached only by the benchmark.
  StageClock* clock = nullptr;
  // Polled while the analysis runs (listing::Observer::stop_requested): true stops it. Attached
  // by the caller that can be interrupted, the Python module.
  std::function<bool()> stop_check = nullptr;

  bool stop_requested() const { return stop_check && stop_check(); }

  void mark(std::string_view stage) const {
    if (clock) clock->mark(stage);
  }

  std::filesystem::path file(const std::filesystem::path& name) const {
    return directory.empty() ? name : directory / name;
  }
};

}  // namespace velm::report
