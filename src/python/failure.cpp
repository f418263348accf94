#include "python/failure.hpp"

#include <cerrno>
#include <cstdlib>
#include <string_view>

#include "base/monitor.hpp"

namespace velm::python {

namespace {

PyObject* utf8_str(const std::string& text) {
  PyObject* str =
      PyUnicode_DecodeUTF8(text.data(), static_cast<Py_ssize_t>(text.size()), "backslashreplace");
  return str;
}

// The errno that os_error_text put at the end of a text: "... (os error 13)"; 0 if none.
int trailing_errno(std::string_view text) {
  constexpr std::string_view kMarker = "(os error ";
  const std::size_t at = text.rfind(kMarker);
  if (at == std::string_view::npos || text.empty() || text.back() != ')') return 0;
  int value = 0;
  for (const char digit : text.substr(at + kMarker.size(), text.size() - 1 - at - kMarker.size())) {
    if (digit < '0' || digit > '9' || value > 100000) return 0;
    value = value * 10 + (digit - '0');
  }
  return value;
}

}  // namespace

PyObject* raise_failure(const FailureTypes& types, const Failure& failure, PyObject* filename) {
  switch (failure.kind) {
    case Failure::Kind::no_memory:
      return PyErr_NoMemory();
    case Failure::Kind::engine_fault: {
      PyObject* text = utf8_str(failure.error.detail);
      if (text == nullptr) return nullptr;
      PyErr_SetObject(types.engine_fault, text);
      Py_DECREF(text);
      return nullptr;
    }
    case Failure::Kind::returned:
      break;
  }
  const base::Error& error = failure.error;
  if (error.code == base::ErrorCode::cancelled && PyErr_Occurred()) return nullptr;
  if (error.code == base::ErrorCode::write_failed && types.ordinary == PyExc_OSError) {
    const int error_number = trailing_errno(error.detail);
    if (error_number != 0) {
      errno = error_number;
      return PyErr_SetFromErrnoWithFilenameObject(PyExc_OSError, filename);
    }
    // No errno to be had: the detail is the whole text.
    PyObject* text = utf8_str(error.detail);
    if (text == nullptr) return nullptr;
    PyErr_SetObject(PyExc_OSError, text);
    Py_DECREF(text);
    return nullptr;
  }
  PyObject* text = utf8_str(base::message(error));
  if (text == nullptr) return nullptr;
  PyErr_SetObject(types.ordinary, text);
  Py_DECREF(text);
  return nullptr;
}

}  // namespace velm::python
