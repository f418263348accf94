#include "python/replace_file.hpp"

#include <new>
#include <string>
#include <string_view>

#include "base/file_write.hpp"
#include "python/arguments.hpp"
#include "python/failure.hpp"

namespace velm::python {

namespace {

using base::ErrorCode;

constexpr Parameter kReplaceFile[] = {{"path"}, {"data"}};

// _replace_file(path, data): the writer of the results document for any file.
PyObject* replace_file(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  PyObject* values[2];
  if (unpack_arguments("_replace_file", kReplaceFile, args, nargs, kwnames, values) < 0)
    return nullptr;
  PyObject* data = values[1];
  if (!PyUnicode_Check(data) && !PyBytes_Check(data)) {
    PyErr_Format(PyExc_TypeError,
                 "_replace_file() argument 'data' must be str or bytes, not %.200s",
                 Py_TYPE(data)->tp_name);
    return nullptr;
  }
  PyObject* path = encoded_path("_replace_file", "path", values[0]);
  if (path == nullptr) return nullptr;
  PyObject* contents = PyUnicode_Check(data) ? PyUnicode_AsUTF8String(data) : Py_NewRef(data);
  if (contents == nullptr) {
    Py_DECREF(path);
    return nullptr;
  }
  const std::string name(bytes_view(path));
  const std::string_view text = bytes_view(contents);
  Failure failure;
  bool written = false;
  Py_BEGIN_ALLOW_THREADS;
  try {
    auto outcome = velm::base::replace_file(name, text);
    if (outcome)
      written = true;
    else
      failure = Failure{Failure::Kind::returned, {ErrorCode::write_failed, outcome.error().detail}};
  } catch (const std::bad_alloc&) {
    failure = Failure{Failure::Kind::no_memory, {}};
  }
  Py_END_ALLOW_THREADS;
  Py_DECREF(contents);
  PyObject* result = nullptr;
  if (written)
    result = Py_NewRef(Py_None);
  else
    raise_failure(FailureTypes{nullptr, PyExc_OSError}, failure, values[0]);
  Py_DECREF(path);
  return result;
}

PyDoc_STRVAR(replace_file_doc,
             "_replace_file(path, data)\n--\n\n"
             "Write data (a str, written as UTF-8, or bytes) to the file at path the way the "
             "results document is written: a symbolic link is followed, a device or FIFO is "
             "written to directly, a file the process could not open for writing is refused, the "
             "new file keeps the permission bits and owner of the old one and is written unnamed, "
             "taking its name only once complete. Raises OSError on failure.");

}  // namespace

PyMethodDef replace_file_def = {
    "_replace_file", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(replace_file)),
    METH_FASTCALL | METH_KEYWORDS, replace_file_doc};

}  // namespace velm::python
