#include "python/envelope_type.hpp"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <utility>
#include <vector>

#include "engineering/envelope.hpp"
#include "python/arguments.hpp"
#include "python/result_values.hpp"

namespace velm::python {

namespace {

// The values an object is made of, each a new reference taken over by the object.
template <std::size_t N>
using Made = std::array<PyObject*, N>;
constexpr std::size_t kArrays = 7;  // the arrays of EnvelopeArrays
constexpr std::size_t kParts = 6;   // the attributes of Envelope

template <std::size_t N, std::size_t I>
PyObject* take(const Context&, Made<N>& made) {
  return std::exchange(made[I], nullptr);
}

template <std::size_t N>
struct Object {
  PyObject_HEAD PyObject* fields[N];
};

template <std::size_t N, int I>
constexpr auto object_slot = static_cast<Py_ssize_t>(offsetof(Object<N>, fields) +
                                                     I * sizeof(PyObject*));

// The result arrays an envelope covers, in the order of its attributes.
constexpr std::array<const char*, kArrays> kArrayNames = {
    "displacements",   "node_reactions",          "reactions",          "end_forces",
    "internal_forces", "internal_force_extremes", "deflection_extremes"};

// EnvelopeArrays

constexpr std::array<Field<Made<kArrays>>, kArrays> kArraysFields = {{
    {kArrayNames[0], object_slot<kArrays, 0>, false, plain, take<kArrays, 0>,
     "(N, 6): per node and dof, as ResultSet.displacements."},
    {kArrayNames[1], object_slot<kArrays, 1>, false, plain, take<kArrays, 1>,
     "(N, 6): per node and dof, as ResultSet.node_reactions."},
    {kArrayNames[2], object_slot<kArrays, 2>, false, plain, take<kArrays, 2>,
     "(S, 6): per support record, as ResultSet.reactions."},
    {kArrayNames[3], object_slot<kArrays, 3>, false, plain, take<kArrays, 3>,
     "(M, 12): per member, as ResultSet.end_forces."},
    {kArrayNames[4], object_slot<kArrays, 4>, false, plain, take<kArrays, 4>,
     "(M, stations, 6): per member and station, as ResultSet.internal_forces."},
    {kArrayNames[5], object_slot<kArrays, 5>, false, plain, take<kArrays, 5>,
     "(M, 2, 6): per member, as ResultSet.internal_force_extremes (the envelope of the exact "
     "extremes is exact)."},
    {kArrayNames[6], object_slot<kArrays, 6>, false, plain, take<kArrays, 6>,
     "(M, 2, 3): per member, as ResultSet.deflection_extremes (the envelope of the exact "
     "extremes is exact)."},
}};

PyObject* arrays_to_dict(PyObject* self, PyObject* = nullptr) {
  return fields_to_dict(kArraysFields, self);
}

int arrays_traverse(PyObject* self, visitproc visit, void* arg) {
  return traverse_fields(kArraysFields, self, visit, arg);
}

int arrays_clear(PyObject* self) {
  clear_fields(kArraysFields, self);
  return 0;
}

void object_dealloc(PyObject* self) {
  PyTypeObject* type = Py_TYPE(self);
  PyObject_GC_UnTrack(self);
  type->tp_clear(self);
  type->tp_free(self);
  Py_DECREF(type);
}

auto arrays_members = members_of<kArraysFields.size()>(kArraysFields);

PyMethodDef arrays_methods[] = {
    {"to_dict", arrays_to_dict, METH_NOARGS,
     "to_dict($self, /)\n--\n\nThe arrays as plain Python values (nested lists)."},
    {nullptr, nullptr, 0, nullptr}};

PyType_Slot arrays_slots[] = {
    {Py_tp_doc,
     const_cast<char*>("One side of an Envelope: read-only memoryviews with a ResultSet's array "
                       "names and shapes, float64 (the extremes) or int32 (the governing sets).")},
    {Py_tp_members, arrays_members.data()},
    {Py_tp_methods, arrays_methods},
    {Py_tp_traverse, reinterpret_cast<void*>(arrays_traverse)},
    {Py_tp_clear, reinterpret_cast<void*>(arrays_clear)},
    {Py_tp_dealloc, reinterpret_cast<void*>(object_dealloc)},
    {0, nullptr}};

PyType_Spec arrays_spec = {
    "velm_calculations.EnvelopeArrays", sizeof(Object<kArrays>), 0,
    Py_TPFLAGS_DEFAULT | Py_TPFLAGS_HAVE_GC | Py_TPFLAGS_DISALLOW_INSTANTIATION, arrays_slots};

// Envelope

PyObject* arrays_plain(PyObject* value) {
  return arrays_to_dict(value);
}

constexpr std::array<Field<Made<kParts>>, kParts> kEnvelopeFields = {{
    {"result_sets", object_slot<kParts, 0>, false, plain, take<kParts, 0>,
     "Tuple of (\"case\" | \"combination\", id): the result sets taken, in order; the governing "
     "arrays index it."},
    {"minimum", object_slot<kParts, 1>, false, arrays_plain, take<kParts, 1>,
     "EnvelopeArrays of float64: the elementwise minimum over the result sets."},
    {"maximum", object_slot<kParts, 2>, false, arrays_plain, take<kParts, 2>,
     "EnvelopeArrays of float64: the elementwise maximum over the result sets."},
    {"governing_minimum", object_slot<kParts, 3>, false, arrays_plain, take<kParts, 3>,
     "EnvelopeArrays of int32 (format \"i\"): per entry the position in result_sets of the set "
     "that gives the minimum (the first such set on a tie)."},
    {"governing_maximum", object_slot<kParts, 4>, false, arrays_plain, take<kParts, 4>,
     "EnvelopeArrays of int32 (format \"i\"): the same for the maximum."},
    {"skipped", object_slot<kParts, 5>, false, plain, take<kParts, 5>,
     "Tuple of (\"case\" | \"combination\", id): the result sets named or implied that failed "
     "(ResultSet.error), left out of the envelope."},
}};

PyObject* envelope_to_dict(PyObject* self, PyObject*) {
  return fields_to_dict(kEnvelopeFields, self);
}

int envelope_traverse(PyObject* self, visitproc visit, void* arg) {
  return traverse_fields(kEnvelopeFields, self, visit, arg);
}

int envelope_clear(PyObject* self) {
  clear_fields(kEnvelopeFields, self);
  return 0;
}

PyObject* envelope_repr(PyObject* self) {
  PyObject** f = reinterpret_cast<Object<kParts>*>(self)->fields;
  return PyUnicode_FromFormat("<Envelope of %zd result sets, %zd skipped>", PyTuple_GET_SIZE(f[0]),
                              PyTuple_GET_SIZE(f[5]));
}

auto envelope_members = members_of<kEnvelopeFields.size()>(kEnvelopeFields);

PyMethodDef envelope_methods[] = {
    {"to_dict", envelope_to_dict, METH_NOARGS,
     "to_dict($self, /)\n--\n\nThe envelope as plain Python values (lists, dicts)."},
    {nullptr, nullptr, 0, nullptr}};

PyType_Slot envelope_slots[] = {
    {Py_tp_doc,
     const_cast<char*>("The elementwise minimum and maximum of the arrays of several result "
                       "sets of an Analysis, and which set governs each entry.")},
    {Py_tp_members, envelope_members.data()},
    {Py_tp_methods, envelope_methods},
    {Py_tp_repr, reinterpret_cast<void*>(envelope_repr)},
    {Py_tp_traverse, reinterpret_cast<void*>(envelope_traverse)},
    {Py_tp_clear, reinterpret_cast<void*>(envelope_clear)},
    {Py_tp_dealloc, reinterpret_cast<void*>(object_dealloc)},
    {0, nullptr}};

PyType_Spec envelope_spec = {
    "velm_calculations.Envelope", sizeof(Object<kParts>), 0,
    Py_TPFLAGS_DEFAULT | Py_TPFLAGS_HAVE_GC | Py_TPFLAGS_DISALLOW_INSTANTIATION, envelope_slots};

// An object of `type` made of `made` (taken over, released on failure).
template <std::size_t N>
PyObject* make_object(PyObject* type_object, const std::array<Field<Made<N>>, N>& fields,
                      Made<N>& made) {
  auto* type = reinterpret_cast<PyTypeObject*>(type_object);
  PyObject* object = type->tp_alloc(type, 0);
  if (object != nullptr && make_fields(fields, object, Context{}, made) < 0) Py_CLEAR(object);
  for (PyObject*& left : made) Py_CLEAR(left);
  return object;
}

// The buffers of the arrays taken, released together.
struct Buffers {
  std::vector<Py_buffer> views;
  Buffers() = default;
  Buffers(const Buffers&) = delete;
  Buffers& operator=(const Buffers&) = delete;
  ~Buffers() {
    for (Py_buffer& view : views) PyBuffer_Release(&view);
  }
};

struct Selected {
  PyObject* set;  // borrowed from the analysis's dict
  const char* kind;
};

// Appends the result sets of `dict` that `ids` names (every one when `ids` is nullptr); -1 with
// ValueError naming an unknown id, or TypeError for ids that are not iterable.
int select(PyObject* dict, PyObject* ids, const char* kind, const char* parameter, const char* noun,
           std::vector<Selected>& out) {
  if (ids == nullptr) {
    Py_ssize_t position = 0;
    PyObject *key, *value;
    while (PyDict_Next(dict, &position, &key, &value)) out.push_back({value, kind});
    return 0;
  }
  PyObject* iterator = PyObject_GetIter(ids);
  if (iterator == nullptr) {
    PyErr_Format(PyExc_TypeError, "envelope() argument '%s' must be an iterable of ids, not %.200s",
                 parameter, Py_TYPE(ids)->tp_name);
    return -1;
  }
  int status = 0;
  while (PyObject* id = PyIter_Next(iterator)) {
    PyObject* set = PyDict_GetItemWithError(dict, id);
    if (set == nullptr) {
      if (!PyErr_Occurred())
        PyErr_Format(PyExc_ValueError, "envelope(): there is no %s %R in the analysis", noun, id);
      Py_DECREF(id);
      status = -1;
      break;
    }
    bool repeated = false;
    for (const Selected& taken : out) repeated = repeated || (taken.set == set);
    if (!repeated) out.push_back({set, kind});
    Py_DECREF(id);
  }
  Py_DECREF(iterator);
  if (status == 0 && PyErr_Occurred()) status = -1;
  return status;
}

// A tuple of (kind, id) pairs.
PyObject* set_names(const std::vector<Selected>& sets) {
  PyObject* tuple = PyTuple_New(static_cast<Py_ssize_t>(sets.size()));
  if (tuple == nullptr) return nullptr;
  for (std::size_t i = 0; i < sets.size(); ++i) {
    PyObject* id = PyObject_GetAttrString(sets[i].set, "id");
    PyObject* pair = id == nullptr ? nullptr : Py_BuildValue("(sN)", sets[i].kind, id);
    if (pair == nullptr) {
      Py_DECREF(tuple);
      return nullptr;
    }
    PyTuple_SET_ITEM(tuple, static_cast<Py_ssize_t>(i), pair);
  }
  return tuple;
}

}  // namespace

int add_envelope_types(PyObject* module, EnvelopeTypes& types) {
  if ((types.arrays = PyType_FromModuleAndSpec(module, &arrays_spec, nullptr)) == nullptr ||
      (types.envelope = PyType_FromModuleAndSpec(module, &envelope_spec, nullptr)) == nullptr)
    return -1;
  return 0;
}

PyObject* analysis_envelope(const EnvelopeTypes& types, const Extents& extents,
                            PyObject* load_cases, PyObject* combinations, PyObject* const* args,
                            Py_ssize_t nargs, PyObject* kwnames) {
  static constexpr Parameter parameters[] = {{"cases", true, false}, {"combinations", true, false}};
  std::array<PyObject*, 2> given{};
  if (unpack_arguments("envelope", parameters, args, nargs, kwnames, given) < 0) return nullptr;
  for (PyObject*& ids : given)
    if (ids == Py_None) ids = nullptr;

  std::vector<Selected> named;
  if (given[0] == nullptr && given[1] == nullptr) {
    const bool any_combination = PyDict_GET_SIZE(combinations) > 0;
    if (select(any_combination ? combinations : load_cases, nullptr,
               any_combination ? "combination" : "case", "", "", named) < 0)
      return nullptr;
  } else {
    if (given[0] != nullptr &&
        select(load_cases, given[0], "case", "cases", "load case", named) < 0)
      return nullptr;
    if (given[1] != nullptr && select(combinations, given[1], "combination", "combinations",
                                      "load combination", named) < 0)
      return nullptr;
  }

  std::vector<Selected> taken, skipped;
  for (const Selected& set : named) {
    PyObject* error = PyObject_GetAttrString(set.set, "error");
    if (error == nullptr) return nullptr;
    (error == Py_None ? taken : skipped).push_back(set);
    Py_DECREF(error);
  }

  const Py_ssize_t n = extents.nodes, s = extents.supports, m = extents.members;
  const std::array<std::vector<Py_ssize_t>, kArrays> shapes = {
      {{n, 6}, {n, 6}, {s, 6}, {m, 12}, {m, extents.stations, 6}, {m, 2, 6}, {m, 2, 3}}};
  Made<kArrays> minimum{}, maximum{}, governing_minimum{}, governing_maximum{};
  const auto release = [&] {
    for (Made<kArrays>* made : {&minimum, &maximum, &governing_minimum, &governing_maximum})
      for (PyObject*& value : *made) Py_CLEAR(value);
  };
  for (std::size_t a = 0; a < kArrayNames.size(); ++a) {
    std::size_t length = 1;
    for (const Py_ssize_t extent : shapes[a]) length *= static_cast<std::size_t>(extent);
    Buffers buffers;
    buffers.views.reserve(taken.size());
    std::vector<std::span<const double>> values;
    for (const Selected& set : taken) {
      PyObject* view = PyObject_GetAttrString(set.set, kArrayNames[a]);
      Py_buffer buffer;
      const int got = view == nullptr ? -1 : PyObject_GetBuffer(view, &buffer, PyBUF_SIMPLE);
      Py_XDECREF(view);
      if (got < 0) {
        release();
        return nullptr;
      }
      buffers.views.push_back(buffer);
      values.emplace_back(static_cast<const double*>(buffer.buf),
                          static_cast<std::size_t>(buffer.len) / sizeof(double));
      if (values.back().size() != length) {
        release();
        PyErr_Format(PyExc_SystemError, "envelope(): the %s of a result set have %zd values",
                     kArrayNames[a], static_cast<Py_ssize_t>(values.back().size()));
        return nullptr;
      }
    }
    engineering::ArrayEnvelope envelope = engineering::envelope_of(values, length);
    if ((minimum[a] = memoryview_of(types.array, std::move(envelope.minimum), shapes[a])) ==
            nullptr ||
        (maximum[a] = memoryview_of(types.array, std::move(envelope.maximum), shapes[a])) ==
            nullptr ||
        (governing_minimum[a] = memoryview_of(types.array, std::move(envelope.governing_minimum),
                                              shapes[a])) == nullptr ||
        (governing_maximum[a] = memoryview_of(types.array, std::move(envelope.governing_maximum),
                                              shapes[a])) == nullptr) {
      release();
      return nullptr;
    }
  }
  Made<kParts> parts{};
  parts[0] = set_names(taken);
  parts[1] = make_object(types.arrays, kArraysFields, minimum);
  parts[2] = make_object(types.arrays, kArraysFields, maximum);
  parts[3] = make_object(types.arrays, kArraysFields, governing_minimum);
  parts[4] = make_object(types.arrays, kArraysFields, governing_maximum);
  parts[5] = set_names(skipped);
  for (PyObject* part : parts)
    if (part == nullptr) {
      for (PyObject*& made : parts) Py_CLEAR(made);
      return nullptr;
    }
  return make_object(types.envelope, kEnvelopeFields, parts);
}

}  // namespace velm::python
