// The keyword-only arguments of analyze and analyze_file after their subject.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include "engineering/static_analysis.hpp"

namespace velm::python {

struct AnalyzeArguments {
  engineering::AnalysisOptions options;
  PyObject* progress = nullptr;  // borrowed; None or a callable
};

// Unpacks (subject, *, stations=11, progress=None, second_order=False, buckling_modes=0);
// -1 with TypeError (a wrong type, naming the parameter) or ValueError (a value out of range)
// set.
int unpack_analyze(const char* function, const char* name, PyObject* const* args, Py_ssize_t nargs,
                   PyObject* kwnames, PyObject*& subject, AnalyzeArguments& out);

}  // namespace velm::python
