// velm_calculations: the Python face of the analysis engine. Two functions, each taking one str,
// handing its UTF-8 text to the analysis driver and turning the outcome into a Python str or a
// RuntimeError. Engine faults (broken invariants, not bad input) surface as EngineFault, which
// derives directly from BaseException so that a plain `except Exception` does not swallow them.
#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <exception>
#include <expected>
#include <initializer_list>
#include <new>
#include <string>
#include <string_view>

#include "analysis/driver.hpp"
#include "base/internal_fault.hpp"
#include "linalg/blas_threads.hpp"
#include "report/console.hpp"
#include "report/output.hpp"
#include "report/sink.hpp"

namespace {

constexpr const char* kModuleName = "velm_calculations";

// The module's only process-wide state: set by the first initialisation so that a second one
// (a sub-interpreter, or a re-import after removal from sys.modules) can be refused.
bool module_initialised = false;

struct ModuleState {
  PyObject* engine_fault;
};

ModuleState* state_of(PyObject* module) {
  return static_cast<ModuleState*>(PyModule_GetState(module));
}

// Returns the single argument `name` of `function`, given by position or keyword (borrowed),
// or NULL with TypeError set. A str is required.
PyObject* unpack_single_str(const char* function, const char* name, PyObject* const* args,
                            Py_ssize_t nargs, PyObject* kwnames) {
  const Py_ssize_t nkw = kwnames == nullptr ? 0 : PyTuple_GET_SIZE(kwnames);
  for (Py_ssize_t i = 0; i < nkw; ++i) {
    PyObject* key = PyTuple_GET_ITEM(kwnames, i);
    if (PyUnicode_CompareWithASCIIString(key, name) != 0) {
      PyErr_Format(PyExc_TypeError, "%s() got an unexpected keyword argument '%U'", function, key);
      return nullptr;
    }
  }
  if (nargs + nkw == 0) {
    PyErr_Format(PyExc_TypeError, "%s() missing required argument '%s' (pos 1)", function, name);
    return nullptr;
  }
  if (nargs == 1 && nkw == 1) {
    PyErr_Format(PyExc_TypeError, "argument for %s() given by name ('%s') and position (1)",
                 function, name);
    return nullptr;
  }
  if (nargs + nkw > 1) {
    PyErr_Format(PyExc_TypeError, "%s() takes exactly one argument (%zd given)", function,
                 nargs + nkw);
    return nullptr;
  }
  // Keyword values follow the positional ones, so with one argument it is args[0] either way.
  PyObject* value = args[0];
  if (!PyUnicode_Check(value)) {
    PyErr_Format(PyExc_TypeError, "%s() argument '%s' must be str, not %.200s", function, name,
                 Py_TYPE(value)->tp_name);
    return nullptr;
  }
  return value;
}

// Python buffers its own streams; without this, text printed before the call could appear after
// the engine's output, which goes straight to the file descriptors.
void flush_python_streams() {
  for (const char* stream_name : {"stdout", "stderr"}) {
    PyObject* stream = PySys_GetObject(stream_name);  // borrowed
    if (stream == nullptr || stream == Py_None) continue;
    PyObject* result = PyObject_CallMethod(stream, "flush", nullptr);
    if (result == nullptr)
      PyErr_Clear();
    else
      Py_DECREF(result);
  }
}

PyObject* text_to_str(const std::string& text) {
  PyObject* str = PyUnicode_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(text.size()));
  if (str != nullptr) return str;
  PyErr_Clear();
  return PyUnicode_DecodeUTF8(text.data(), static_cast<Py_ssize_t>(text.size()),
                              "backslashreplace");
}

using Driver = std::expected<std::string, std::string> (*)(std::string_view, velm::report::Output&,
                                                           velm::solver::Storage);

// The one place where engine outcomes become Python results and exceptions.
PyObject* run_analysis(PyObject* module, Driver driver, PyObject* argument) {
  Py_ssize_t size = 0;
  const char* data = PyUnicode_AsUTF8AndSize(argument, &size);
  if (data == nullptr) return nullptr;

  flush_python_streams();
  std::expected<std::string, std::string> outcome;
  try {
    velm::report::FdSink out(1);
    velm::report::FdSink err(2);
    velm::report::Console console(out, err);
    velm::report::Output output{console, {}};
    outcome = driver(std::string_view(data, static_cast<std::size_t>(size)), output,
                     velm::solver::Storage::automatic);
    console.flush();
  } catch (const std::bad_alloc&) {
    return PyErr_NoMemory();
  } catch (const std::exception& fault) {  // velm::InternalFault and anything else thrown
    PyErr_SetString(state_of(module)->engine_fault, fault.what());
    return nullptr;
  }

  if (outcome) return text_to_str(*outcome);
  PyObject* message = text_to_str(outcome.error());
  if (message == nullptr) return nullptr;
  PyErr_SetObject(PyExc_RuntimeError, message);
  Py_DECREF(message);
  return nullptr;
}

PyObject* calculate_from_json(PyObject* module, PyObject* const* args, Py_ssize_t nargs,
                              PyObject* kwnames) {
  PyObject* json_data = unpack_single_str("calculate_from_json", "json_data", args, nargs, kwnames);
  if (json_data == nullptr) return nullptr;
  return run_analysis(module, velm::analysis::calculate_from_json_internal, json_data);
}

PyObject* calculate_from_file(PyObject* module, PyObject* const* args, Py_ssize_t nargs,
                              PyObject* kwnames) {
  PyObject* path = unpack_single_str("calculate_from_file", "path", args, nargs, kwnames);
  if (path == nullptr) return nullptr;
  return run_analysis(module, velm::analysis::calculate_from_file_internal, path);
}

PyDoc_STRVAR(calculate_from_json_doc,
             "calculate_from_json(json_data)\n--\n\n"
             "This function is what Python code will call: "
             "`velm_calculations.calculate_from_json`.\n"
             "It wraps the internal `analysis::calculate_from_json_internal` so that its outcome "
             "becomes a Python result.");

PyDoc_STRVAR(calculate_from_file_doc,
             "calculate_from_file(path)\n--\n\n"
             "(Optional) Another Python function that accepts a file path.");

PyDoc_STRVAR(module_doc, "This is the Python module called \"velm_calculations\".");

PyDoc_STRVAR(engine_fault_doc,
             "An internal fault of the analysis engine (a broken invariant, never bad input).");

// CPython keeps pointers to these definitions for the life of the process.
PyMethodDef calculate_from_json_def = {
    "calculate_from_json",
    reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(calculate_from_json)),
    METH_FASTCALL | METH_KEYWORDS, calculate_from_json_doc};

PyMethodDef calculate_from_file_def = {
    "calculate_from_file",
    reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(calculate_from_file)),
    METH_FASTCALL | METH_KEYWORDS, calculate_from_file_doc};

// Adds the function to the module and appends its name to __all__.
int add_function(PyObject* module, PyMethodDef* def) {
  PyObject* module_name = PyModule_GetNameObject(module);
  if (module_name == nullptr) return -1;
  PyObject* function = PyCFunction_NewEx(def, module, module_name);
  Py_DECREF(module_name);
  if (function == nullptr) return -1;
  const int added = PyModule_AddObjectRef(module, def->ml_name, function);
  Py_DECREF(function);
  if (added < 0) return -1;

  PyObject* all = PyObject_GetAttrString(module, "__all__");
  if (all == nullptr) {
    if (!PyErr_ExceptionMatches(PyExc_AttributeError)) return -1;
    PyErr_Clear();
    all = PyList_New(0);
    if (all == nullptr) return -1;
    if (PyModule_AddObjectRef(module, "__all__", all) < 0) {
      Py_DECREF(all);
      return -1;
    }
  }
  PyObject* name = PyUnicode_FromString(def->ml_name);
  const int appended = name == nullptr ? -1 : PyList_Append(all, name);
  Py_XDECREF(name);
  Py_DECREF(all);
  return appended;
}

int module_traverse(PyObject* module, visitproc visit, void* arg) {
  Py_VISIT(state_of(module)->engine_fault);
  return 0;
}

int module_clear(PyObject* module) {
  Py_CLEAR(state_of(module)->engine_fault);
  return 0;
}

void module_free(void* module) {
  module_clear(static_cast<PyObject*>(module));
}

PyModuleDef module_def = {PyModuleDef_HEAD_INIT, kModuleName,  module_doc,
                          sizeof(ModuleState),   nullptr,      nullptr,
                          module_traverse,       module_clear, module_free};

}  // namespace

PyMODINIT_FUNC PyInit_velm_calculations() {
  if (module_initialised) {
    PyErr_SetString(PyExc_ImportError,
                    "velm_calculations may only be initialised once per interpreter process");
    return nullptr;
  }
  module_initialised = true;
  // One thread keeps every analysis deterministic and safe when several Python threads analyse
  // at once; the two cores are used by analysing two models at once.
  velm::linalg::use_single_threaded_blas();

  PyObject* module = PyModule_Create(&module_def);
  if (module == nullptr) return nullptr;
  ModuleState* state = state_of(module);
  state->engine_fault = PyErr_NewExceptionWithDoc("velm_calculations.EngineFault", engine_fault_doc,
                                                  PyExc_BaseException, nullptr);
  if (state->engine_fault == nullptr ||
      PyModule_AddObjectRef(module, "EngineFault", state->engine_fault) < 0 ||
      add_function(module, &calculate_from_json_def) < 0 ||
      add_function(module, &calculate_from_file_def) < 0) {
    Py_DECREF(module);
    return nullptr;
  }
  return module;
}
