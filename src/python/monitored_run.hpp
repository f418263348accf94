// Runs an engineering analysis on a worker thread while the calling thread, which holds the
// interpreter lock only for a moment every 0.1 s, checks for signals (Ctrl-C) and hands the
// stage and its progress to a Python callable. A Python exception from either stops the
// analysis at its next check and is the outcome of the call.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <expected>
#include <functional>

#include "engineering/static_analysis.hpp"
#include "python/failure.hpp"

namespace velm::python {

using MonitoredOutcome = std::expected<engineering::StaticAnalysis, Failure>;

using AnalysisWork = std::function<base::Expected<engineering::StaticAnalysis>(
    const engineering::AnalysisOptions&, base::Monitor&)>;

// Called with the interpreter lock held; `progress` is None or a callable (stage, fraction).
// When a Python exception stopped the work, the failure is `cancelled` and the exception is set
// when this returns.
MonitoredOutcome run_monitored(const AnalysisWork& work, engineering::AnalysisOptions options,
                               PyObject* progress);

}  // namespace velm::python
