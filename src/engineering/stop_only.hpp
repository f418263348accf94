// A monitor that passes on only the question whether to stop: later rounds of an iteration
// report no stages.
#pragma once

#include "base/monitor.hpp"

namespace velm::engineering {

class StopOnly : public base::Monitor {
 public:
  explicit StopOnly(base::Monitor& monitor) : monitor_(monitor) {}
  bool stop_requested() override { return monitor_.stop_requested(); }

 private:
  base::Monitor& monitor_;
};

}  // namespace velm::engineering
