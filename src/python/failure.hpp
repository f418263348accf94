// How an engine call failed, and the one function that turns that into a Python exception.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <expected>
#include <string>
#include <type_traits>
#include <utility>

#include "base/error.hpp"

namespace velm::python {

struct Failure {
  enum class Kind {
    returned,      // the engine returned `error`
    no_memory,     // std::bad_alloc escaped the engine
    engine_fault,  // any other exception escaped it (a broken invariant); error.detail: its text
  };
  Kind kind = Kind::returned;
  base::Error error{base::ErrorCode::invalid_model, {}};
};

// The exception types a failure can become.
struct FailureTypes {
  PyObject* engine_fault;  // EngineFault
  PyObject* ordinary;      // what a failure the engine returned raises: RuntimeError, AnalysisError
};

// The one place where an engine failure becomes a Python exception. Always returns NULL, with:
// - for `cancelled`, the exception a signal handler or the progress callable raised, which the
//   caller has set again before calling (if none is set, `ordinary` with the text);
// - for write_failed when `ordinary` is OSError, OSError with the errno of the failed step
//   and `filename`;
// - for every other code, `ordinary` with base::message(error), the text users have always read;
// - MemoryError for an allocation failure that escaped the engine, EngineFault for a fault.
PyObject* raise_failure(const FailureTypes& types, const Failure& failure,
                        PyObject* filename = nullptr);

}  // namespace velm::python
