// The strict record checks of the engineering analysis that need no geometry.
#pragma once

#include <string>

#include "base/error.hpp"
#include "base/monitor.hpp"
#include "model/velm.hpp"

namespace velm::frame {

// A rule of the model broken: the text names the record concerned.
inline std::unexpected<base::Error> invalid(std::string text) {
  return base::fail(base::ErrorCode::invalid_model, std::move(text));
}

// The check stage's progress over all the passes of build_structure: every record a pass visits
// counts one, and every 1024 of them the monitor hears the fraction and is asked whether to stop.
class CheckProgress {
 public:
  CheckProgress(base::Monitor& monitor, std::size_t total) : stage_(monitor, "check", total) {}
  // False when the monitor asks to stop.
  bool keep_going() { return stage_.keep_going(++done_); }
  bool finish() { return stage_.finish(); }

 private:
  base::StageMonitor stage_;
  std::size_t done_ = 0;
};

inline std::unexpected<base::Error> cancelled() {
  return base::fail(base::ErrorCode::cancelled);
}

// Ids used twice among the load cases, members, nodal supports and load combinations, checked
// in that order; the id named is the first repeat in document order.
base::Expected<void> reject_repeated_ids(const model::VELM& model, CheckProgress& progress);

}  // namespace velm::frame
