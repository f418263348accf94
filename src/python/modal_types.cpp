#include "python/modal_types.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <memory>
#include <string_view>
#include <vector>

#include "engineering/modal_analysis.hpp"
#include "engineering/seismic_response.hpp"
#include "python/arguments.hpp"
#include "python/result_types.hpp"
#include "python/result_values.hpp"

namespace velm::python {

namespace {

struct ModalObject {
  PyObject_HEAD PyObject* fields[7];
  std::shared_ptr<const engineering::ModalSystem>* system;
  PyObject* array_type;
  PyObject* result_set_type;
  Extents extents;
};

using ModalField = Field<engineering::ModalResult>;

template <int I>
constexpr auto modal_slot = static_cast<Py_ssize_t>(offsetof(ModalObject, fields) +
                                                    I * sizeof(PyObject*));

Py_ssize_t modes_of(const engineering::ModalResult& r) {
  return static_cast<Py_ssize_t>(r.frequencies.size());
}

constexpr std::array<ModalField, 7> kModalFields = {{
    {"frequencies", modal_slot<0>, false, plain,
     [](const Context& c, engineering::ModalResult& r) {
       const Py_ssize_t k = modes_of(r);
       return memoryview_of(c.array_type, std::move(r.frequencies), {k});
     },
     "(k,) float64: the natural frequencies, ascending, in cycles per unit time."},
    {"periods", modal_slot<1>, false, plain,
     [](const Context& c, engineering::ModalResult& r) {
       const auto k = static_cast<Py_ssize_t>(r.periods.size());
       return memoryview_of(c.array_type, std::move(r.periods), {k});
     },
     "(k,) float64: their periods, 1 / frequency."},
    {"shapes", modal_slot<2>, false, plain,
     [](const Context& c, engineering::ModalResult& r) {
       const auto k = static_cast<Py_ssize_t>(
           r.shapes.size() / 6 /
           std::max<std::size_t>(static_cast<std::size_t>(c.extents.nodes), 1));
       return memoryview_of(c.array_type, std::move(r.shapes), {k, c.extents.nodes, 6});
     },
     "(k, N, 6) float64: the mode shapes, UX .. RZ of every node, global axes, scaled so that "
     "phi^T M phi = 1; each signed so that its largest translation component is positive (the "
     "first such node on a tie; without translations, its largest rotation component)."},
    {"participation_factors", modal_slot<3>, false, plain,
     [](const Context& c, engineering::ModalResult& r) {
       const auto k = static_cast<Py_ssize_t>(r.participation_factors.size() / 6);
       return memoryview_of(c.array_type, std::move(r.participation_factors), {k, 6});
     },
     "(k, 6) float64: phi^T M r for r a unit translation along global X, Y, Z and a unit "
     "rotation about the global X, Y, Z axes through the origin (the whole model moving, "
     "supports included)."},
    {"effective_masses", modal_slot<4>, false, plain,
     [](const Context& c, engineering::ModalResult& r) {
       const auto k = static_cast<Py_ssize_t>(r.effective_masses.size() / 6);
       return memoryview_of(c.array_type, std::move(r.effective_masses), {k, 6});
     },
     "(k, 6) float64: the squares of the participation factors."},
    {"total_masses", modal_slot<5>, false, plain,
     [](const Context& c, engineering::ModalResult& r) {
       return memoryview_of(c.array_type,
                            std::vector<double>(r.total_masses.begin(), r.total_masses.end()), {6});
     },
     "(6,) float64: r^T M r of the whole model for the six motions (all its mass, that on "
     "supports included)."},
    {"mass_source", modal_slot<6>, false, plain,
     [](const Context&, engineering::ModalResult& r) {
       return PyUnicode_DecodeUTF8(r.mass_source.data(),
                                   static_cast<Py_ssize_t>(r.mass_source.size()), "strict");
     },
     "Where the masses come from: \"density\", \"load combination 3\", or both."},
}};

int modal_traverse(PyObject* self, visitproc visit, void* arg) {
  auto* m = reinterpret_cast<ModalObject*>(self);
  Py_VISIT(m->array_type);
  Py_VISIT(m->result_set_type);
  return traverse_fields(kModalFields, self, visit, arg);
}

int modal_clear(PyObject* self) {
  auto* m = reinterpret_cast<ModalObject*>(self);
  Py_CLEAR(m->array_type);
  Py_CLEAR(m->result_set_type);
  clear_fields(kModalFields, self);
  return 0;
}

void modal_dealloc(PyObject* self) {
  PyTypeObject* type = Py_TYPE(self);
  PyObject_GC_UnTrack(self);
  modal_clear(self);
  delete reinterpret_cast<ModalObject*>(self)->system;
  type->tp_free(self);
  Py_DECREF(type);
}

PyObject* modal_repr(PyObject* self) {
  auto* m = reinterpret_cast<ModalObject*>(self);
  const Py_ssize_t k = (*m->system)->omegas.size();
  return PyUnicode_FromFormat("<ModalResult: %zd modes, masses from %U>", k, m->fields[6]);
}

PyObject* modal_dict(PyObject* self, PyObject*) {
  return fields_to_dict(kModalFields, self);
}

auto modal_members = members_of<member_count(kModalFields)>(kModalFields);

PyMethodDef modal_methods[] = {
    {"to_dict", modal_dict, METH_NOARGS,
     "to_dict($self, /)\n--\n\nThe modal results as plain Python values."},
    {nullptr, nullptr, 0, nullptr}};

PyType_Slot modal_slots[] = {
    {Py_tp_doc, const_cast<char*>("The natural frequencies and mode shapes of an Analysis "
                                  "(analyze(modes=k)). Read-only.")},
    {Py_tp_members, modal_members.data()},
    {Py_tp_methods, modal_methods},
    {Py_tp_repr, reinterpret_cast<void*>(modal_repr)},
    {Py_tp_traverse, reinterpret_cast<void*>(modal_traverse)},
    {Py_tp_clear, reinterpret_cast<void*>(modal_clear)},
    {Py_tp_dealloc, reinterpret_cast<void*>(modal_dealloc)},
    {0, nullptr}};

PyType_Spec modal_spec = {
    "velm_calculations.ModalResult", sizeof(ModalObject), 0,
    Py_TPFLAGS_DEFAULT | Py_TPFLAGS_HAVE_GC | Py_TPFLAGS_DISALLOW_INSTANTIATION, modal_slots};

// A sequence of finite floats; -1 with TypeError naming `name` set.
int float_list(const char* name, PyObject* value, std::vector<double>& out) {
  PyObject* items = value != nullptr && PySequence_Check(value) && !PyUnicode_Check(value) &&
                            !PyBytes_Check(value)
                        ? PySequence_Fast(value, "")
                        : nullptr;
  if (items == nullptr) {
    PyErr_Clear();
    PyErr_Format(PyExc_TypeError,
                 "spectrum_response() argument '%s' must be a sequence of numbers, not %.200s",
                 name, value ? Py_TYPE(value)->tp_name : "nothing");
    return -1;
  }
  const Py_ssize_t n = PySequence_Fast_GET_SIZE(items);
  out.resize(static_cast<std::size_t>(n));
  for (Py_ssize_t i = 0; i < n; ++i) {
    PyObject* item = PySequence_Fast_GET_ITEM(items, i);
    const double v = PyBool_Check(item) ? -1.0 : PyFloat_AsDouble(item);
    if ((v == -1.0 && PyErr_Occurred()) || PyBool_Check(item)) {
      Py_DECREF(items);
      PyErr_Clear();
      PyErr_Format(PyExc_TypeError,
                   "spectrum_response() argument '%s' must be a sequence of numbers, not one "
                   "holding %.200s",
                   name, Py_TYPE(item)->tp_name);
      return -1;
    }
    out[static_cast<std::size_t>(i)] = v;
  }
  Py_DECREF(items);
  return 0;
}

int value_error(const char* text) {
  PyErr_SetString(PyExc_ValueError, text);
  return -1;
}

}  // namespace

int add_modal_type(PyObject* module, PyObject*& type) {
  type = PyType_FromModuleAndSpec(module, &modal_spec, nullptr);
  return type == nullptr ? -1 : 0;
}

PyObject* make_modal(const Context& context, engineering::StaticAnalysis& analysis) {
  if (!analysis.modal) Py_RETURN_NONE;
  auto* type = reinterpret_cast<PyTypeObject*>(context.modal_type);
  PyObject* object = type->tp_alloc(type, 0);
  if (object == nullptr) return nullptr;
  auto* m = reinterpret_cast<ModalObject*>(object);
  m->system = new std::shared_ptr<const engineering::ModalSystem>(analysis.modal->system);
  Py_INCREF(m->array_type = context.array_type);
  Py_INCREF(m->result_set_type = context.result_set_type);
  m->extents = context.extents;
  if (make_fields(kModalFields, object, context, *analysis.modal) < 0) {
    Py_DECREF(object);
    return nullptr;
  }
  return object;
}

PyObject* modal_to_plain(PyObject* modal) {
  if (modal == Py_None) Py_RETURN_NONE;
  return modal_dict(modal, nullptr);
}

PyObject* spectrum_response(PyObject* modal, PyObject* const* args, Py_ssize_t nargs,
                            PyObject* kwnames) {
  static constexpr Parameter kParameters[] = {{"periods"},
                                              {"accelerations"},
                                              {"direction"},
                                              {"damping", true, false},
                                              {"rule", true, false}};
  PyObject* values[5];
  if (unpack_arguments("spectrum_response", kParameters, args, nargs, kwnames, values) < 0)
    return nullptr;
  std::vector<double> periods, accelerations, direction;
  if (float_list("periods", values[0], periods) < 0 ||
      float_list("accelerations", values[1], accelerations) < 0 ||
      float_list("direction", values[2], direction) < 0)
    return nullptr;
  engineering::GroundMotion motion;
  if (values[3] != nullptr) {
    if (!PyFloat_Check(values[3]) && !PyLong_Check(values[3])) {
      PyErr_Format(PyExc_TypeError,
                   "spectrum_response() argument 'damping' must be float, not %.200s",
                   Py_TYPE(values[3])->tp_name);
      return nullptr;
    }
    motion.damping = PyFloat_AsDouble(values[3]);
    if (motion.damping == -1.0 && PyErr_Occurred()) return nullptr;
  }
  if (values[4] != nullptr) {
    const char* rule = PyUnicode_Check(values[4]) ? PyUnicode_AsUTF8(values[4]) : nullptr;
    if (rule == nullptr) {
      PyErr_Clear();
      PyErr_Format(PyExc_TypeError, "spectrum_response() argument 'rule' must be str, not %.200s",
                   Py_TYPE(values[4])->tp_name);
      return nullptr;
    }
    const std::string_view name(rule);
    if (name == "CQC")
      motion.rule = engineering::ModalCombination::cqc;
    else if (name == "SRSS")
      motion.rule = engineering::ModalCombination::srss;
    else
      return value_error("spectrum_response(): rule must be \"CQC\" or \"SRSS\""), nullptr;
  }
  if (modal == Py_None)
    return value_error("spectrum_response() needs modes: analyse with analyze(..., modes=k) first"),
           nullptr;
  if (periods.empty() || periods.size() != accelerations.size())
    return value_error(
               "spectrum_response(): periods and accelerations must be equally long and not "
               "empty"),
           nullptr;
  for (std::size_t i = 0; i < periods.size(); ++i)
    if (!std::isfinite(periods[i]) || !std::isfinite(accelerations[i]) || periods[i] < 0.0 ||
        (i > 0 && !(periods[i] > periods[i - 1])))
      return value_error(
                 "spectrum_response(): periods must be finite, non-negative and ascending, with "
                 "finite accelerations"),
             nullptr;
  if (direction.size() != 3)
    return value_error("spectrum_response(): direction must be three numbers"), nullptr;
  const double norm = std::sqrt(direction[0] * direction[0] + direction[1] * direction[1] +
                                direction[2] * direction[2]);
  if (!(norm > 0.0) || !std::isfinite(norm))
    return value_error("spectrum_response(): direction must be finite and not zero"), nullptr;
  if (!(motion.damping >= 0.0 && motion.damping < 1.0))
    return value_error("spectrum_response(): damping must be from 0 up to 1"), nullptr;
  motion.direction = {direction[0], direction[1], direction[2]};
  motion.periods = periods;
  motion.accelerations = accelerations;
  auto* m = reinterpret_cast<ModalObject*>(modal);
  engineering::ResultSet set =
      engineering::spectrum_response(**m->system, motion, static_cast<int>(m->extents.stations));
  const Context context{m->array_type, m->result_set_type, m->extents, nullptr};
  return make_result_set(context, set, "response spectrum");
}

}  // namespace velm::python
