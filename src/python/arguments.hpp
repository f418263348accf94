// The one keyword parser of the module's functions, all of them METH_FASTCALL | METH_KEYWORDS:
// positional-or-keyword parameters first, then keyword-only ones, as in a Python signature.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <span>
#include <string_view>

namespace velm::python {

struct Parameter {
  const char* name;
  bool keyword_only = false;
  bool required = true;
};

// Puts the value of each parameter into values[i] (borrowed), nullptr where an optional one is
// not given. Returns -1 with TypeError set, naming the function, when the arguments do not fit
// the parameters. values.size() == parameters.size().
int unpack_arguments(const char* function, std::span<const Parameter> parameters,
                     PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames,
                     std::span<PyObject*> values);

// value itself when it is a str; nullptr with "f() argument 'name' must be str, not T" set.
PyObject* require_str(const char* function, const char* name, PyObject* value);

// The file system's bytes of a str or os.PathLike (a new reference); nullptr with
// "f() argument 'name' must be str or os.PathLike, not T", or the encoding error, set.
PyObject* encoded_path(const char* function, const char* name, PyObject* value);

// The contents of a bytes object.
std::string_view bytes_view(PyObject* bytes);

}  // namespace velm::python
