#include "python/analyze_arguments.hpp"

#include <cmath>

#include "python/arguments.hpp"

namespace velm::python {

namespace {

// Far more than a member's internal forces need, and small enough that the arrays' sizes stay
// well inside every integer type on the way.
constexpr long kMaxStations = 1000000;
// Far more modes than a frame's stability needs; the arrays stay small.
constexpr long kMaxBucklingModes = 10000;
// Likewise for the natural frequencies.
constexpr long kMaxModes = 10000;

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

// mass_combination (None or an int id) and gravity (None or three finite numbers, not all 0;
// required with a mass combination).
int unpack_masses(const char* function, PyObject* combination, PyObject* gravity,
                  engineering::ModalOptions& modal) {
  if (combination != nullptr && combination != Py_None) {
    if (!PyLong_Check(combination) || PyBool_Check(combination)) {
      PyErr_Format(PyExc_TypeError,
                   "%s() argument 'mass_combination' must be int or None, not %.200s", function,
                   Py_TYPE(combination)->tp_name);
      return -1;
    }
    const unsigned long id = PyLong_AsUnsignedLong(combination);
    if ((id == static_cast<unsigned long>(-1) && PyErr_Occurred()) || id > 0xffffffffUL) {
      PyErr_Clear();
      PyErr_Format(PyExc_ValueError,
                   "%s() argument 'mass_combination' must be a load combination id from 0 to "
                   "4294967295, not %S",
                   function, combination);
      return -1;
    }
    modal.mass_combination = static_cast<std::uint32_t>(id);
  }
  if (gravity != nullptr && gravity != Py_None) {
    PyObject* items =
        PySequence_Check(gravity) && !PyUnicode_Check(gravity) && !PyBytes_Check(gravity)
            ? PySequence_Fast(gravity, "")
            : nullptr;
    if (items == nullptr || PySequence_Fast_GET_SIZE(items) != 3) {
      Py_XDECREF(items);
      PyErr_Clear();
      PyErr_Format(PyExc_TypeError,
                   "%s() argument 'gravity' must be a sequence of three numbers, not %.200s",
                   function, Py_TYPE(gravity)->tp_name);
      return -1;
    }
    for (Py_ssize_t k = 0; k < 3; ++k) {
      PyObject* item = PySequence_Fast_GET_ITEM(items, k);
      const double v = PyFloat_AsDouble(item);
      if ((v == -1.0 && PyErr_Occurred()) || PyBool_Check(item)) {
        Py_DECREF(items);
        PyErr_Clear();
        PyErr_Format(PyExc_TypeError,
                     "%s() argument 'gravity' must be a sequence of three numbers, not %.200s",
                     function, Py_TYPE(gravity)->tp_name);
        return -1;
      }
      modal.gravity[static_cast<std::size_t>(k)] = v;
    }
    Py_DECREF(items);
    const double g2 = modal.gravity[0] * modal.gravity[0] + modal.gravity[1] * modal.gravity[1] +
                      modal.gravity[2] * modal.gravity[2];
    if (!(g2 > 0.0) || !std::isfinite(g2)) {
      PyErr_Format(PyExc_ValueError, "%s() argument 'gravity' must be finite and not zero, not %S",
                   function, gravity);
      return -1;
    }
  } else if (modal.mass_combination) {
    PyErr_Format(PyExc_ValueError,
                 "%s() argument 'gravity' is required with 'mass_combination' (the acceleration "
                 "of gravity, three numbers in the model's units)",
                 function);
    return -1;
  }
  return 0;
}

}  // namespace

int unpack_analyze(const char* function, const char* name, PyObject* const* args, Py_ssize_t nargs,
                   PyObject* kwnames, PyObject*& subject, AnalyzeArguments& out) {
  const Parameter parameters[] = {{name},
                                  {"stations", true, false},
                                  {"progress", true, false},
                                  {"second_order", true, false},
                                  {"buckling_modes", true, false},
                                  {"modes", true, false},
                                  {"mass_combination", true, false},
                                  {"gravity", true, false}};
  PyObject* values[8];
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
  engineering::ModalOptions& modal = out.options.modal;
  if (values[5] != nullptr &&
      bounded_int(function, "modes", values[5], 0, kMaxModes, modal.modes) < 0)
    return -1;
  return unpack_masses(function, values[6], values[7], modal);
}

}  // namespace velm::python
