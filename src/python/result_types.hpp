// The Python types of the engineering analysis: Analysis, ResultSet, and the hidden array type
// whose instances own the engine's result arrays and export them read-only through the buffer
// protocol, so that every array reaches Python as a memoryview without a copy.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include "engineering/static_results.hpp"
#include "python/envelope_type.hpp"
#include "python/field_table.hpp"
#include "python/result_set_type.hpp"

namespace velm::python {

struct ResultTypes {
  PyObject* array = nullptr;
  PyObject* result_set = nullptr;
  PyObject* analysis = nullptr;
  PyObject* modal = nullptr;
  EnvelopeTypes envelope;  // its array type is `array`
};

// Creates the six types; adds Analysis and ResultSet to the module (and to its __all__ when
// `all` is given). Returns -1 with an exception set on failure.
int add_result_types(PyObject* module, ResultTypes& types);

// An Analysis object taking over the arrays of `analysis`; nullptr with an exception set.
PyObject* make_analysis(const ResultTypes& types, engineering::StaticAnalysis&& analysis);

}  // namespace velm::python
