#include "python/analyze_arguments.hpp"

#include "python/arguments.hpp"

namespace velm::python {

namespace {

// Far more than a member's internal forces need, and small enough that the arrays' sizes stay
// well inside every integer type on the way.
constexpr long kMaxStations = 1000000;
// Far more modes than a frame's stability needs; the arrays stay small.
constexpr long kMaxBucklingModes = 10000;

// An int (not a bool) from `least` to `most` into out; -1 with the error set.
int bounded_int(const char* function, const char* name, PyObject* value, long least, long most,
                int& out) {
  if (!PyLong_Check(value) || PyBool_Check(value)) {
    PyErr_Format(PyExc_TypeError, "%s() argument '%s' must be int, not %.200s", function, name,
                 Py_TYPE(value)->tp_name);
    return -1;
  }
  int overflow = 0;
  const long number = PyLong_AsLongAndOverflow(value, &overflow);
  if (number == -1 && PyErr_Occurred()) return -1;
  if (overflow < 0 || (overflow == 0 && number < least)) {
    PyErr_Format(PyExc_ValueError, "%s() argument '%s' must be at least %ld, not %S", function,
                 name, least, value);
    return -1;
  }
  if (overflow > 0 || number > most) {
    PyErr_Format(PyExc_ValueError, "%s() argument '%s' must be at most %ld, not %S", function, name,
                 most, value);
    return -1;
  }
  out = static_cast<int>(number);
  return 0;
}

}  // namespace

int unpack_analyze(const char* function, const char* name, PyObject* const* args, Py_ssize_t nargs,
                   PyObject* kwnames, PyObject*& subject, AnalyzeArguments& out) {
  const Parameter parameters[] = {{name},
                                  {"stations", true, false},
                                  {"progress", true, false},
                                  {"second_order", true, false},
                                  {"buckling_modes", true, false}};
  PyObject* values[5];
  if (unpack_arguments(function, parameters, args, nargs, kwnames, values) < 0) return -1;
  subject = values[0];
  out.progress = values[2];
  if (out.progress != nullptr && out.progress != Py_None && !PyCallable_Check(out.progress)) {
    PyErr_Format(PyExc_TypeError, "%s() argument 'progress' must be None or callable, not %.200s",
                 function, Py_TYPE(out.progress)->tp_name);
    return -1;
  }
  if (values[1] != nullptr &&
      bounded_int(function, "stations", values[1], 2, kMaxStations, out.options.stations) < 0)
    return -1;
  if (PyObject* second_order = values[3]; second_order != nullptr) {
    if (!PyBool_Check(second_order)) {
      PyErr_Format(PyExc_TypeError, "%s() argument 'second_order' must be bool, not %.200s",
                   function, Py_TYPE(second_order)->tp_name);
      return -1;
    }
    out.options.second_order = second_order == Py_True;
  }
  if (values[4] != nullptr && bounded_int(function, "buckling_modes", values[4], 0,
                                          kMaxBucklingModes, out.options.buckling_modes) < 0)
    return -1;
  return 0;
}

}  // namespace velm::python
