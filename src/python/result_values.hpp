// The values the result types hand out: the read-only arrays (memoryviews of a hidden _Array
// that owns the engine's vector and exports it through the buffer protocol, without a copy),
// tuples of ids, and their plain Python form for to_dict.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <cstdint>
#include <initializer_list>
#include <span>
#include <vector>

namespace velm::python {

// The type description (PyType_Spec) of _Array, from which the module makes the type.
extern PyType_Spec array_spec;

// A read-only memoryview of `values` (taken over) with the given shape (C order), through an
// instance of `array_type`; nullptr with an exception set.
PyObject* memoryview_of(PyObject* array_type, std::vector<double>&& values,
                        std::initializer_list<Py_ssize_t> shape);
PyObject* memoryview_of(PyObject* array_type, std::vector<std::uint8_t>&& values,
                        std::initializer_list<Py_ssize_t> shape);
// The same with a shape of 1 to 3 extents known only at run time; int32 arrays have format "i".
PyObject* memoryview_of(PyObject* array_type, std::vector<double>&& values,
                        std::span<const Py_ssize_t> shape);
PyObject* memoryview_of(PyObject* array_type, std::vector<std::int32_t>&& values,
                        std::span<const Py_ssize_t> shape);

template <class Ids>
PyObject* int_tuple(const Ids& ids) {
  PyObject* tuple = PyTuple_New(static_cast<Py_ssize_t>(ids.size()));
  if (tuple == nullptr) return nullptr;
  Py_ssize_t i = 0;
  for (const auto id : ids) {
    PyObject* value = PyLong_FromUnsignedLong(id);
    if (value == nullptr) {
      Py_DECREF(tuple);
      return nullptr;
    }
    PyTuple_SET_ITEM(tuple, i++, value);
  }
  return tuple;
}

// A tuple of floats.
PyObject* float_tuple(const std::vector<double>& values);

// The plain Python form of a value: memoryview.tolist(), a tuple as a list of the plain forms of
// its items, anything else itself (a new reference); nullptr with an exception set.
PyObject* plain(PyObject* value);

}  // namespace velm::python
