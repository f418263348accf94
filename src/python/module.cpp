// velm_calculations: the Python face of the analysis engine. The listing functions take one str,
// hand its UTF-8 text to the analysis driver and return its outcome text; analyze and
// analyze_file return an Analysis. Every failure becomes an exception in one place,
// raise_failure (python/failure.hpp): RuntimeError for the listing functions, AnalysisError for
// the analysis. Engine faults (broken invariants, not bad input) surface as EngineFault, which
// derives directly from BaseException so that a plain `except Exception` does not swallow them.
#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <exception>
#include <expected>
#include <initializer_list>
#include <new>
#include <string>
#include <string_view>

#include "base/internal_fault.hpp"
#include "driver/driver.hpp"
#include "driver/engineering.hpp"
#include "linalg/blas_threads.hpp"
#include "python/analyze_arguments.hpp"
#include "python/arguments.hpp"
#include "python/failure.hpp"
#include "python/monitored_run.hpp"
#include "python/replace_file.hpp"
#include "python/result_types.hpp"
#include "report/console.hpp"
#include "report/output.hpp"
#include "report/sink.hpp"

namespace {

using velm::base::ErrorCode;
using velm::python::AnalyzeArguments;
using velm::python::bytes_view;
using velm::python::encoded_path;
using velm::python::Failure;
using velm::python::FailureTypes;
using velm::python::Parameter;
using velm::python::raise_failure;
using velm::python::require_str;
using velm::python::unpack_analyze;
using velm::python::unpack_arguments;

constexpr const char* kModuleName = "velm_calculations";
// The module's only process-wide state: set by the first initialisation so that a second one
// (a sub-interpreter, or a re-import after removal from sys.modules) can be refused.
bool module_initialised = false;

struct ModuleState {
  PyObject* engine_fault;
  PyObject* analysis_error;
  velm::python::ResultTypes types;
};

ModuleState* state_of(PyObject* module) {
  return static_cast<ModuleState*>(PyModule_GetState(module));
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

// What the listing functions of the driver return: the outcome text, or the failure (a text
// today, a base::Error later; as_error takes either).
using Driver = decltype(&velm::driver::calculate_from_json_internal);

FailureTypes failure_types(PyObject* module, PyObject* ordinary) {
  return FailureTypes{state_of(module)->engine_fault, ordinary};
}

// The stop check of the listed analysis, which holds the interpreter lock throughout: runs the
// Python signal handlers, and keeps the exception one raises (KeyboardInterrupt for Ctrl-C) to
// be raised in place of the analysis outcome. Once raised, every later poll says stop.
class SignalCheck {
 public:
  SignalCheck() = default;
  SignalCheck(const SignalCheck&) = delete;
  SignalCheck& operator=(const SignalCheck&) = delete;
  ~SignalCheck() {
    Py_XDECREF(type_);
    Py_XDECREF(value_);
    Py_XDECREF(traceback_);
  }

  bool operator()() {
    if (raised_) return true;
    if (PyErr_CheckSignals() == 0) return false;
    PyErr_Fetch(&type_, &value_, &traceback_);
    raised_ = true;
    return true;
  }

  // Sets the kept exception as the current one; false when none was raised.
  bool restore() {
    if (!raised_) return false;
    PyErr_Restore(type_, value_, traceback_);
    type_ = value_ = traceback_ = nullptr;
    raised_ = false;
    return true;
  }

 private:
  bool raised_ = false;
  PyObject* type_ = nullptr;
  PyObject* value_ = nullptr;
  PyObject* traceback_ = nullptr;
};

// Runs a listing function of the driver on the UTF-8 text of `argument` with the console on the
// file descriptors 1 and 2. The interpreter lock stays held: the stop check runs the signal
// handlers.
PyObject* run_listing(PyObject* module, Driver driver, PyObject* argument) {
  const FailureTypes types = failure_types(module, PyExc_RuntimeError);
  Py_ssize_t size = 0;
  const char* data = PyUnicode_AsUTF8AndSize(argument, &size);
  if (data == nullptr) return nullptr;

  flush_python_streams();
  velm::base::Expected<std::string> outcome;
  SignalCheck signals;
  try {
    velm::report::FdSink out(1);
    velm::report::FdSink err(2);
    velm::report::Console console(out, err);
    velm::report::Output output{console, {}};
    output.stop_check = [&signals] { return signals(); };
    outcome = driver(std::string_view(data, static_cast<std::size_t>(size)), output,
                     velm::listing::Storage::automatic);
    console.flush();
  } catch (const std::bad_alloc&) {
    return raise_failure(types, Failure{Failure::Kind::no_memory, {}});
  } catch (const std::exception& fault) {  // velm::InternalFault and anything else thrown
    return raise_failure(types, Failure{Failure::Kind::engine_fault,
                                        {velm::base::ErrorCode::invalid_model, fault.what()}});
  }
  // A signal handler raised while the analysis ran: the analysis stopped and wrote nothing.
  if (signals.restore())
    return raise_failure(types, Failure{Failure::Kind::returned, {ErrorCode::cancelled, {}}});
  if (!outcome) return raise_failure(types, Failure{Failure::Kind::returned, outcome.error()});
  return text_to_str(*outcome);
}

constexpr Parameter kJsonData[] = {{"json_data"}};
constexpr Parameter kPath[] = {{"path"}};

PyObject* calculate_from_json(PyObject* module, PyObject* const* args, Py_ssize_t nargs,
                              PyObject* kwnames) {
  PyObject* json_data = nullptr;
  if (unpack_arguments("calculate_from_json", kJsonData, args, nargs, kwnames, {&json_data, 1}) <
          0 ||
      require_str("calculate_from_json", "json_data", json_data) == nullptr)
    return nullptr;
  return run_listing(module, velm::driver::calculate_from_json_internal, json_data);
}

PyObject* calculate_from_file(PyObject* module, PyObject* const* args, Py_ssize_t nargs,
                              PyObject* kwnames) {
  PyObject* path = nullptr;
  if (unpack_arguments("calculate_from_file", kPath, args, nargs, kwnames, {&path, 1}) < 0 ||
      require_str("calculate_from_file", "path", path) == nullptr)
    return nullptr;
  return run_listing(module, velm::driver::calculate_from_file_internal, path);
}

// Runs the engineering analysis and makes its Analysis. The interpreter lock is released while
// the document is read and analysed: no Python object is touched then.
PyObject* run_engineering(PyObject* module, bool from_file, std::string_view subject,
                          const AnalyzeArguments& arguments) {
  ModuleState* state = state_of(module);
  const velm::engineering::AnalysisOptions& options = arguments.options;
  velm::python::MonitoredOutcome outcome = velm::python::run_monitored(
      [&](const velm::engineering::AnalysisOptions& with_options, velm::base::Monitor& monitor) {
        return from_file ? velm::driver::analyze_file(subject, with_options, monitor)
                         : velm::driver::analyze_json(subject, with_options, monitor);
      },
      options, arguments.progress);
  if (!outcome) return raise_failure(failure_types(module, state->analysis_error), outcome.error());
  return velm::python::make_analysis(state->types, std::move(*outcome));
}

PyObject* analyze(PyObject* module, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  PyObject* subject = nullptr;
  AnalyzeArguments arguments;
  if (unpack_analyze("analyze", "json_data", args, nargs, kwnames, subject, arguments) < 0 ||
      require_str("analyze", "json_data", subject) == nullptr)
    return nullptr;
  Py_ssize_t size = 0;
  const char* data = PyUnicode_AsUTF8AndSize(subject, &size);
  if (data == nullptr) return nullptr;
  return run_engineering(module, false, std::string_view(data, static_cast<std::size_t>(size)),
                         arguments);
}

PyObject* analyze_file(PyObject* module, PyObject* const* args, Py_ssize_t nargs,
                       PyObject* kwnames) {
  PyObject* subject = nullptr;
  AnalyzeArguments arguments;
  if (unpack_analyze("analyze_file", "path", args, nargs, kwnames, subject, arguments) < 0)
    return nullptr;
  PyObject* encoded = encoded_path("analyze_file", "path", subject);
  if (encoded == nullptr) return nullptr;
  PyObject* result = run_engineering(module, true, bytes_view(encoded), arguments);
  Py_DECREF(encoded);
  return result;
}

PyDoc_STRVAR(analyze_doc,
             "analyze(json_data, *, stations=11, progress=None, second_order=False, "
             "buckling_modes=0, modes=0, mass_combination=None, gravity=None)\n--\n\n"
             "Analyse every load case and every load combination of a model document (a str) "
             "and return an Analysis.\n\n"
             "Nothing is printed and no file is written. `stations` (an int of at least 2) is "
             "the number of equally spaced points along every member, ends included, at which "
             "internal forces are given.\n\n"
             "Every result set is analysed on its own geometry: a load case moved by its "
             "rotation_imperfections and translation_imperfections, a combination by those of "
             "the imperfection cases that name its load_combination_id. A rotation imperfection "
             "moves every node x of the members of its member sets by magnitude * (a x (x - p)) "
             "(a: the unit axis, p: the point; the small-angle sway of the design codes), a "
             "translation imperfection by magnitude * a; axis_only is kept and not used.\n\n"
             "`second_order` (a bool): every result set in second order, each member with the "
             "axial force it carries (P-Delta and P-delta, exact per member: no added nodes "
             "needed), iterated until displacements and axial forces change by less than 1e-10 "
             "relative. `buckling_modes` (an int of at least 0): per result set, that many "
             "lowest elastic critical load factors and their modes.\n\n"
             "`modes` (an int of at least 0): the natural frequencies and mode shapes of that "
             "many lowest modes, as Analysis.modal (None with 0). The masses are every member's "
             "own (density times area, consistent, and density times I_y + I_z about its axis; "
             "rigid links none) and, with `mass_combination` (a load_combination_id), the "
             "gravity loads of that combination: each nodal and line load's component along "
             "`gravity` (three numbers in the model's units, e.g. (0, 0, -9.81); required with "
             "a mass combination) that points with gravity, times its case's factor, divided by "
             "|gravity|, as mass in all three translations. A mass combination holds gravity "
             "loads. The frequencies are those of the members as continua, without meshing; "
             "tension- and compression-only members are all on (the analysis is linear). Then "
             "Analysis.spectrum_response() gives response spectrum results.\n\n"
             "The document may carry the engineering analysis's extensions (ignored by "
             "calculate_from_json): in a load case point_loads and point_moments (on members, "
             "at a position, global or local axes), nodal_moments, self_weight (a gravity "
             "vector) and support_displacements (enforced displacements of fixed dofs); in a "
             "line load end_magnitude (a linearly varying load) and axes; in a nodal support "
             "displacement_springs and rotation_springs (a spring's reaction is -k u).\n\n"
             "A failure of one result set (a mechanism once members switch off, loads beyond "
             "the elastic critical load, no settling, non-finite results) is that result set's "
             "`error`; the others are analysed.\n\n"
             "`progress`, when given, is called as progress(stage, fraction) on the calling "
             "thread, with the interpreter lock held, at most about ten times a second: stage is "
             "one of 'read', 'check', 'assemble', 'order', 'factorise', 'solve', 'results', and "
             "fraction runs from 0.0 to 1.0 within it. An exception it raises stops the analysis "
             "and propagates, and so does one raised by a signal handler (Ctrl-C).\n\n"
             "The interpreter lock is released while the document is read and the model is "
             "analysed, so several threads can analyse different models at the same time; the "
             "results do not depend on which thread runs them or how many run at once.\n\n"
             "Hinge types and the max_tension / max_moment limits of member hinges are stored "
             "with the model but not used: the material is linear elastic.\n\n"
             "Raises AnalysisError (a RuntimeError) when the model cannot be analysed: the text "
             "names the record concerned, e.g. 'The structure is unstable: node 12 is free to "
             "move in RX.'; a document that does not read gives the same 'JSON was not "
             "well-formatted: ...' text as calculate_from_json. Raises TypeError or ValueError "
             "for wrong arguments.");

PyDoc_STRVAR(analyze_file_doc,
             "analyze_file(path, *, stations=11, progress=None, second_order=False, "
             "buckling_modes=0, modes=0, mass_combination=None, gravity=None)\n--\n\n"
             "The same as analyze() for the model document in a file: `path` is a str or an "
             "os.PathLike. A file that cannot be read raises AnalysisError with 'Failed to read "
             "JSON file: ' and the system's text. The other arguments as for analyze().\n\n"
             "The interpreter lock is released while the file is read and the model is "
             "analysed, so several threads can analyse different models at the same time.");

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

PyDoc_STRVAR(analysis_error_doc,
             "The model cannot be analysed by analyze() or analyze_file(); the text says why and "
             "names the record concerned.");

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

PyMethodDef analyze_def = {"analyze",
                           reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(analyze)),
                           METH_FASTCALL | METH_KEYWORDS, analyze_doc};

PyMethodDef analyze_file_def = {
    "analyze_file", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(analyze_file)),
    METH_FASTCALL | METH_KEYWORDS, analyze_file_doc};

// Appends a name to __all__, creating the list if needed.
int add_to_all(PyObject* module, const char* name_text) {
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
  PyObject* name = PyUnicode_FromString(name_text);
  const int appended = name == nullptr ? -1 : PyList_Append(all, name);
  Py_XDECREF(name);
  Py_DECREF(all);
  return appended;
}

// Adds a type or an exception under its name and to __all__.
int add_public(PyObject* module, const char* name, PyObject* object) {
  if (PyModule_AddObjectRef(module, name, object) < 0) return -1;
  return add_to_all(module, name);
}

// Adds the function to the module and, unless its name is private, to __all__.
int add_function(PyObject* module, PyMethodDef* def) {
  PyObject* module_name = PyModule_GetNameObject(module);
  if (module_name == nullptr) return -1;
  PyObject* function = PyCFunction_NewEx(def, module, module_name);
  Py_DECREF(module_name);
  if (function == nullptr) return -1;
  const int added = PyModule_AddObjectRef(module, def->ml_name, function);
  Py_DECREF(function);
  if (added < 0) return -1;
  return def->ml_name[0] == '_' ? 0 : add_to_all(module, def->ml_name);
}

int module_traverse(PyObject* module, visitproc visit, void* arg) {
  ModuleState* state = state_of(module);
  Py_VISIT(state->engine_fault);
  Py_VISIT(state->analysis_error);
  Py_VISIT(state->types.array);
  Py_VISIT(state->types.result_set);
  Py_VISIT(state->types.analysis);
  Py_VISIT(state->types.modal);
  return 0;
}

int module_clear(PyObject* module) {
  ModuleState* state = state_of(module);
  Py_CLEAR(state->engine_fault);
  Py_CLEAR(state->analysis_error);
  Py_CLEAR(state->types.array);
  Py_CLEAR(state->types.result_set);
  Py_CLEAR(state->types.analysis);
  Py_CLEAR(state->types.modal);
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
  // The order of __all__: the two listing functions first, the engineering analysis after them.
  if ((state->engine_fault = PyErr_NewExceptionWithDoc(
           "velm_calculations.EngineFault", engine_fault_doc, PyExc_BaseException, nullptr)) ==
          nullptr ||
      PyModule_AddObjectRef(module, "EngineFault", state->engine_fault) < 0 ||
      add_function(module, &calculate_from_json_def) < 0 ||
      add_function(module, &calculate_from_file_def) < 0 ||
      (state->analysis_error = PyErr_NewExceptionWithDoc(
           "velm_calculations.AnalysisError", analysis_error_doc, PyExc_RuntimeError, nullptr)) ==
          nullptr ||
      add_function(module, &analyze_def) < 0 || add_function(module, &analyze_file_def) < 0 ||
      velm::python::add_result_types(module, state->types) < 0 ||
      add_public(module, "Analysis", state->types.analysis) < 0 ||
      add_public(module, "ResultSet", state->types.result_set) < 0 ||
      add_public(module, "ModalResult", state->types.modal) < 0 ||
      add_public(module, "AnalysisError", state->analysis_error) < 0 ||
      add_function(module, &velm::python::replace_file_def) < 0) {
    Py_DECREF(module);
    return nullptr;
  }
  return module;
}
