// The Python types of Analysis.envelope: Envelope, and EnvelopeArrays (its minimum, maximum and
// governing sets, one object each with the arrays of a ResultSet's names).
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include "python/field_table.hpp"

namespace velm::python {

struct EnvelopeTypes {
  PyObject* array = nullptr;
  PyObject* envelope = nullptr;
  PyObject* arrays = nullptr;
};

// Creates Envelope and EnvelopeArrays into `types` (its array type already made); -1 with an
// exception set on failure.
int add_envelope_types(PyObject* module, EnvelopeTypes& types);

// Analysis.envelope(*, cases=None, combinations=None) over the dicts of result sets of an analysis
// measured by `extents`; nullptr with an exception set.
PyObject* analysis_envelope(const EnvelopeTypes& types, const Extents& extents,
                            PyObject* load_cases, PyObject* combinations, PyObject* const* args,
                            Py_ssize_t nargs, PyObject* kwnames);

}  // namespace velm::python
