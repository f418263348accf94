// Runs an engineering analysis on a worker thread while the calling thread, which holds the
// interpreter lock only for a moment every 0.1 s, checks for signals (Ctrl-C) and hands the
// stage and its progress to a Python callable. A Python exception from either stops the
// analysis at its next check and is the outcome of the call.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <expected>
#include <functional>
#include <string>

#include "engineering/static_analysis.hpp"

namespace velm::python {

struct MonitoredOutcome {
  enum class Kind { finished, python_exception, out_of_memory, fault };
  Kind kind = Kind::finished;
  std::expected<engineering::StaticAnalysis, std::string> analysis;  // when finished
  std::string fault;                                            // when fault
};

using AnalysisWork = std::function<std::expected<engineering::StaticAnalysis, std::string>(
    const engineering::AnalysisOptions&, base::Monitor&)>;

// Called with the interpreter lock held; `progress` is None or a callable (stage, fraction).
// python_exception: the exception is set when this returns.
MonitoredOutcome run_monitored(const AnalysisWork& work, engineering::AnalysisOptions options,
                               PyObject* progress);

}  // namespace velm::python
