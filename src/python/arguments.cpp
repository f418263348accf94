#include "python/arguments.hpp"

#include <algorithm>

namespace velm::python {

int unpack_arguments(const char* function, std::span<const Parameter> parameters,
                     PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames,
                     std::span<PyObject*> values) {
  std::fill(values.begin(), values.end(), nullptr);
  const auto count = static_cast<Py_ssize_t>(parameters.size());
  Py_ssize_t positional = 0;
  while (positional < count && !parameters[static_cast<std::size_t>(positional)].keyword_only)
    ++positional;
  if (nargs > positional) {
    PyErr_Format(PyExc_TypeError, "%s() takes exactly %zd positional argument%s (%zd given)",
                 function, positional, positional == 1 ? "" : "s", nargs);
    return -1;
  }
  for (Py_ssize_t i = 0; i < nargs; ++i) values[static_cast<std::size_t>(i)] = args[i];
  const Py_ssize_t nkw = kwnames == nullptr ? 0 : PyTuple_GET_SIZE(kwnames);
  for (Py_ssize_t k = 0; k < nkw; ++k) {
    PyObject* key = PyTuple_GET_ITEM(kwnames, k);
    Py_ssize_t i = 0;
    while (i < count &&
           PyUnicode_CompareWithASCIIString(key, parameters[static_cast<std::size_t>(i)].name) != 0)
      ++i;
    if (i == count) {
      PyErr_Format(PyExc_TypeError, "%s() got an unexpected keyword argument '%U'", function, key);
      return -1;
    }
    const auto at = static_cast<std::size_t>(i);
    if (values[at] != nullptr) {
      PyErr_Format(PyExc_TypeError, "argument for %s() given by name ('%s') and position (%zd)",
                   function, parameters[at].name, i + 1);
      return -1;
    }
    values[at] = args[nargs + k];
  }
  for (Py_ssize_t i = 0; i < count; ++i) {
    const auto at = static_cast<std::size_t>(i);
    if (values[at] == nullptr && parameters[at].required) {
      PyErr_Format(PyExc_TypeError, "%s() missing required argument '%s' (pos %zd)", function,
                   parameters[at].name, i + 1);
      return -1;
    }
  }
  return 0;
}

PyObject* require_str(const char* function, const char* name, PyObject* value) {
  if (PyUnicode_Check(value)) return value;
  PyErr_Format(PyExc_TypeError, "%s() argument '%s' must be str, not %.200s", function, name,
               Py_TYPE(value)->tp_name);
  return nullptr;
}

// The file system's bytes of a str or os.PathLike (a new reference); nullptr with TypeError
// naming the function and parameter, or the encoding error, set.
PyObject* encoded_path(const char* function, const char* name, PyObject* value) {
  PyObject* path = PyOS_FSPath(value);
  if (path == nullptr) {
    if (PyErr_ExceptionMatches(PyExc_TypeError)) {
      PyErr_Clear();
      PyErr_Format(PyExc_TypeError, "%s() argument '%s' must be str or os.PathLike, not %.200s",
                   function, name, Py_TYPE(value)->tp_name);
    }
    return nullptr;
  }
  PyObject* encoded = PyUnicode_Check(path) ? PyUnicode_EncodeFSDefault(path) : Py_NewRef(path);
  Py_DECREF(path);
  return encoded;
}

std::string_view bytes_view(PyObject* bytes) {
  return {PyBytes_AS_STRING(bytes), static_cast<std::size_t>(PyBytes_GET_SIZE(bytes))};
}

}  // namespace velm::python
