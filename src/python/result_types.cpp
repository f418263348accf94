#include "python/result_types.hpp"

#include <structmember.h>

#include <array>
#include <cstdint>
#include <new>
#include <utility>
#include <vector>

namespace velm::python {

namespace {

// ---------------------------------------------------------------------------------------------
// _Array: owns one engine array (float64 or bool) and exports it read-only, C-contiguous.

struct ArrayObject {
  PyObject_HEAD std::vector<double>* doubles;
  std::vector<std::uint8_t>* flags;
  int ndim;
  Py_ssize_t shape[3];
  Py_ssize_t strides[3];
};

int array_getbuffer(PyObject* self, Py_buffer* view, int flags) {
  auto* array = reinterpret_cast<ArrayObject*>(self);
  if ((flags & PyBUF_WRITABLE) == PyBUF_WRITABLE) {
    PyErr_SetString(PyExc_BufferError, "the analysis results are read-only");
    view->obj = nullptr;
    return -1;
  }
  const bool is_double = array->doubles != nullptr;
  view->buf = is_double ? static_cast<void*>(array->doubles->data())
                        : static_cast<void*>(array->flags->data());
  view->obj = Py_NewRef(self);
  view->itemsize = is_double ? sizeof(double) : 1;
  Py_ssize_t count = 1;
  for (int i = 0; i < array->ndim; ++i) count *= array->shape[i];
  view->len = count * view->itemsize;
  view->readonly = 1;
  view->format = (flags & PyBUF_FORMAT) ? const_cast<char*>(is_double ? "d" : "?") : nullptr;
  view->ndim = array->ndim;
  view->shape = (flags & PyBUF_ND) == PyBUF_ND ? array->shape : nullptr;
  view->strides = (flags & PyBUF_STRIDES) == PyBUF_STRIDES ? array->strides : nullptr;
  view->suboffsets = nullptr;
  view->internal = nullptr;
  return 0;
}

void array_dealloc(PyObject* self) {
  auto* array = reinterpret_cast<ArrayObject*>(self);
  PyTypeObject* type = Py_TYPE(self);
  delete array->doubles;
  delete array->flags;
  type->tp_free(self);
  Py_DECREF(type);
}

PyType_Slot array_slots[] = {
    {Py_bf_getbuffer, reinterpret_cast<void*>(array_getbuffer)},
    {Py_tp_dealloc, reinterpret_cast<void*>(array_dealloc)},
    {Py_tp_doc, const_cast<char*>("Owner of one array of analysis results.")},
    {0, nullptr}};

PyType_Spec array_spec = {"velm_calculations._Array", sizeof(ArrayObject), 0,
                          Py_TPFLAGS_DEFAULT | Py_TPFLAGS_DISALLOW_INSTANTIATION, array_slots};

// A read-only memoryview of `values` (taken over) with the given shape (C order).
template <class Value>
PyObject* memoryview_of(const ResultTypes& types, std::vector<Value>&& values,
                        std::initializer_list<Py_ssize_t> shape) {
  auto* type = reinterpret_cast<PyTypeObject*>(types.array);
  auto* array = reinterpret_cast<ArrayObject*>(type->tp_alloc(type, 0));
  if (array == nullptr) return nullptr;
  array->doubles = nullptr;
  array->flags = nullptr;
  try {
    if constexpr (std::is_same_v<Value, double>)
      array->doubles = new std::vector<double>(std::move(values));
    else
      array->flags = new std::vector<std::uint8_t>(std::move(values));
  } catch (const std::bad_alloc&) {
    Py_DECREF(array);
    return PyErr_NoMemory();
  }
  array->ndim = static_cast<int>(shape.size());
  int i = 0;
  for (const Py_ssize_t extent : shape) array->shape[i++] = extent;
  Py_ssize_t stride = sizeof(Value);
  for (int k = array->ndim - 1; k >= 0; --k) {
    array->strides[k] = stride;
    stride *= array->shape[k];
  }
  PyObject* view = PyMemoryView_FromObject(reinterpret_cast<PyObject*>(array));
  Py_DECREF(array);
  return view;
}

// A tuple of Python ints.
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

// memoryview.tolist(), or the object itself (a new reference) when it is not a memoryview.
PyObject* plain(PyObject* value) {
  if (PyMemoryView_Check(value)) return PyObject_CallMethod(value, "tolist", nullptr);
  if (PyTuple_Check(value)) {
    const Py_ssize_t size = PyTuple_GET_SIZE(value);
    PyObject* list = PyList_New(size);
    if (list == nullptr) return nullptr;
    for (Py_ssize_t i = 0; i < size; ++i) {
      PyObject* item = plain(PyTuple_GET_ITEM(value, i));
      if (item == nullptr) {
        Py_DECREF(list);
        return nullptr;
      }
      PyList_SET_ITEM(list, i, item);
    }
    return list;
  }
  return Py_NewRef(value);
}

// Adds key: plain(value) to a dict; -1 on failure.
int put_plain(PyObject* dict, const char* key, PyObject* value) {
  PyObject* converted = plain(value);
  if (converted == nullptr) return -1;
  const int status = PyDict_SetItemString(dict, key, converted);
  Py_DECREF(converted);
  return status;
}

// ---------------------------------------------------------------------------------------------
// ResultSet

struct ResultSetObject {
  PyObject_HEAD
  PyObject* id;
  PyObject* name;
  PyObject* kind;  // "load case" or "load combination", for repr
  PyObject* displacements;
  PyObject* reactions;
  PyObject* end_forces;
  PyObject* internal_forces;
  PyObject* internal_force_extremes;
  PyObject* inactive_members;
};

constexpr int kResultSetFieldCount = 8;
constexpr const char* kResultSetFields[kResultSetFieldCount] = {
    "id",         "name",            "displacements",           "reactions",
    "end_forces", "internal_forces", "internal_force_extremes", "inactive_members"};

PyObject** result_set_field(ResultSetObject* set, int i) {
  PyObject** fields[kResultSetFieldCount] = {
      &set->id,         &set->name,           &set->displacements,
      &set->reactions,  &set->end_forces,     &set->internal_forces,
      &set->internal_force_extremes, &set->inactive_members};
  return fields[i];
}

int result_set_traverse(PyObject* self, visitproc visit, void* arg) {
  auto* set = reinterpret_cast<ResultSetObject*>(self);
  Py_VISIT(Py_TYPE(self));
  Py_VISIT(set->kind);
  for (int i = 0; i < kResultSetFieldCount; ++i) Py_VISIT(*result_set_field(set, i));
  return 0;
}

int result_set_clear(PyObject* self) {
  auto* set = reinterpret_cast<ResultSetObject*>(self);
  Py_CLEAR(set->kind);
  for (int i = 0; i < kResultSetFieldCount; ++i) Py_CLEAR(*result_set_field(set, i));
  return 0;
}

void result_set_dealloc(PyObject* self) {
  PyTypeObject* type = Py_TYPE(self);
  PyObject_GC_UnTrack(self);
  result_set_clear(self);
  type->tp_free(self);
  Py_DECREF(type);
}

PyObject* result_set_repr(PyObject* self) {
  auto* set = reinterpret_cast<ResultSetObject*>(self);
  return PyUnicode_FromFormat("<ResultSet %U %S: %R>", set->kind, set->id, set->name);
}

PyObject* result_set_to_dict(PyObject* self, PyObject*) {
  auto* set = reinterpret_cast<ResultSetObject*>(self);
  PyObject* dict = PyDict_New();
  if (dict == nullptr) return nullptr;
  for (int i = 0; i < kResultSetFieldCount; ++i) {
    if (put_plain(dict, kResultSetFields[i], *result_set_field(set, i)) < 0) {
      Py_DECREF(dict);
      return nullptr;
    }
  }
  return dict;
}

PyMemberDef result_set_members[] = {
    {"id", T_OBJECT_EX, offsetof(ResultSetObject, id), READONLY,
     "Id of the load case, or load_combination_id of the combination."},
    {"name", T_OBJECT_EX, offsetof(ResultSetObject, name), READONLY, "Its name."},
    {"displacements", T_OBJECT_EX, offsetof(ResultSetObject, displacements), READONLY,
     "(N, 6) float64: UX, UY, UZ, RX, RY, RZ of node node_ids[k], global axes."},
    {"reactions", T_OBJECT_EX, offsetof(ResultSetObject, reactions), READONLY,
     "(S, 6) float64: FX, FY, FZ, MX, MY, MZ of support record support_ids[k], global axes: "
     "K u - F at the dofs the record fixes, summed over its nodes; 0 at the others."},
    {"end_forces", T_OBJECT_EX, offsetof(ResultSetObject, end_forces), READONLY,
     "(M, 12) float64: forces and moments the nodes exert on member member_ids[k], start then "
     "end, local axes (fx, fy, fz, mx, my, mz)."},
    {"internal_forces", T_OBJECT_EX, offsetof(ResultSetObject, internal_forces), READONLY,
     "(M, stations, 6) float64: N (tension positive), Vy, Vz, T, My, Mz at x_j = j L / "
     "(stations - 1), local axes: what the part beyond x_j exerts on the part before it."},
    {"internal_force_extremes", T_OBJECT_EX, offsetof(ResultSetObject, internal_force_extremes),
     READONLY,
     "(M, 2, 6) float64: per member the minimum, then the maximum, of N, Vy, Vz, T, My, Mz over "
     "its whole length, exact (not from the stations)."},
    {"inactive_members", T_OBJECT_EX, offsetof(ResultSetObject, inactive_members), READONLY,
     "Tuple of the ids of the tension-only and compression-only members switched off, in "
     "document order; their end and internal forces are 0."},
    {nullptr, 0, 0, 0, nullptr}};

PyMethodDef result_set_methods[] = {
    {"to_dict", result_set_to_dict, METH_NOARGS,
     "to_dict($self, /)\n--\n\nThe result set as plain Python values (lists of floats)."},
    {nullptr, nullptr, 0, nullptr}};

PyType_Slot result_set_slots[] = {
    {Py_tp_doc,
     const_cast<char*>("The results of one load case or one load combination of an Analysis. "
                       "Its arrays are read-only memoryviews of float64 in C order.")},
    {Py_tp_members, result_set_members},
    {Py_tp_methods, result_set_methods},
    {Py_tp_repr, reinterpret_cast<void*>(result_set_repr)},
    {Py_tp_traverse, reinterpret_cast<void*>(result_set_traverse)},
    {Py_tp_clear, reinterpret_cast<void*>(result_set_clear)},
    {Py_tp_dealloc, reinterpret_cast<void*>(result_set_dealloc)},
    {0, nullptr}};

PyType_Spec result_set_spec = {
    "velm_calculations.ResultSet", sizeof(ResultSetObject), 0,
    Py_TPFLAGS_DEFAULT | Py_TPFLAGS_HAVE_GC | Py_TPFLAGS_DISALLOW_INSTANTIATION, result_set_slots};

PyObject* make_result_set(const ResultTypes& types, engineering::ResultSet&& set, const char* kind,
                          Py_ssize_t nodes, Py_ssize_t supports, Py_ssize_t members,
                          Py_ssize_t stations) {
  auto* type = reinterpret_cast<PyTypeObject*>(types.result_set);
  auto* object = reinterpret_cast<ResultSetObject*>(type->tp_alloc(type, 0));
  if (object == nullptr) return nullptr;
  object->kind = PyUnicode_FromString(kind);
  object->id = PyLong_FromUnsignedLong(set.id);
  object->name = PyUnicode_DecodeUTF8(set.name.data(), static_cast<Py_ssize_t>(set.name.size()),
                                      "backslashreplace");
  object->displacements = memoryview_of(types, std::move(set.displacements), {nodes, 6});
  object->reactions = memoryview_of(types, std::move(set.reactions), {supports, 6});
  object->end_forces = memoryview_of(types, std::move(set.end_forces), {members, 12});
  object->internal_forces =
      memoryview_of(types, std::move(set.internal_forces), {members, stations, 6});
  object->internal_force_extremes =
      memoryview_of(types, std::move(set.internal_force_extremes), {members, 2, 6});
  object->inactive_members = int_tuple(set.inactive_members);
  for (int i = 0; i < kResultSetFieldCount; ++i) {
    if (*result_set_field(object, i) == nullptr || object->kind == nullptr) {
      Py_DECREF(object);
      return nullptr;
    }
  }
  return reinterpret_cast<PyObject*>(object);
}

// ---------------------------------------------------------------------------------------------
// Analysis

struct AnalysisObject {
  PyObject_HEAD PyObject* node_ids;
  PyObject* member_ids;
  PyObject* support_ids;
  PyObject* coordinates;
  PyObject* member_nodes;
  PyObject* member_axes;
  PyObject* member_lengths;
  PyObject* restraints;
  PyObject* load_cases;    // dict, handed out as copies
  PyObject* combinations;  // dict, handed out as copies
  PyObject* stations;
};

constexpr int kAnalysisFieldCount = 11;
constexpr const char* kAnalysisFields[kAnalysisFieldCount] = {
    "node_ids",       "member_ids", "support_ids", "coordinates",  "member_nodes", "member_axes",
    "member_lengths", "restraints", "load_cases",  "combinations", "stations"};

PyObject** analysis_field(AnalysisObject* analysis, int i) {
  PyObject** fields[kAnalysisFieldCount] = {
      &analysis->node_ids,       &analysis->member_ids,   &analysis->support_ids,
      &analysis->coordinates,    &analysis->member_nodes, &analysis->member_axes,
      &analysis->member_lengths, &analysis->restraints,   &analysis->load_cases,
      &analysis->combinations,   &analysis->stations};
  return fields[i];
}

int analysis_traverse(PyObject* self, visitproc visit, void* arg) {
  auto* analysis = reinterpret_cast<AnalysisObject*>(self);
  Py_VISIT(Py_TYPE(self));
  for (int i = 0; i < kAnalysisFieldCount; ++i) Py_VISIT(*analysis_field(analysis, i));
  return 0;
}

int analysis_clear(PyObject* self) {
  auto* analysis = reinterpret_cast<AnalysisObject*>(self);
  for (int i = 0; i < kAnalysisFieldCount; ++i) Py_CLEAR(*analysis_field(analysis, i));
  return 0;
}

void analysis_dealloc(PyObject* self) {
  PyTypeObject* type = Py_TYPE(self);
  PyObject_GC_UnTrack(self);
  analysis_clear(self);
  type->tp_free(self);
  Py_DECREF(type);
}

PyObject* analysis_repr(PyObject* self) {
  auto* a = reinterpret_cast<AnalysisObject*>(self);
  return PyUnicode_FromFormat(
      "<Analysis: %zd nodes, %zd members, %zd load cases, %zd combinations>",
      PyTuple_GET_SIZE(a->node_ids), PyTuple_GET_SIZE(a->member_ids),
      PyDict_GET_SIZE(a->load_cases), PyDict_GET_SIZE(a->combinations));
}

PyObject* dict_copy(PyObject* self, void* closure) {
  auto* analysis = reinterpret_cast<AnalysisObject*>(self);
  return PyDict_Copy(closure == nullptr ? analysis->load_cases : analysis->combinations);
}

// The result sets of a dict as {id: result_set.to_dict()}.
PyObject* plain_result_sets(PyObject* sets) {
  PyObject* out = PyDict_New();
  if (out == nullptr) return nullptr;
  Py_ssize_t position = 0;
  PyObject *key, *value;
  while (PyDict_Next(sets, &position, &key, &value)) {
    PyObject* converted = result_set_to_dict(value, nullptr);
    if (converted == nullptr || PyDict_SetItem(out, key, converted) < 0) {
      Py_XDECREF(converted);
      Py_DECREF(out);
      return nullptr;
    }
    Py_DECREF(converted);
  }
  return out;
}

PyObject* analysis_to_dict(PyObject* self, PyObject*) {
  auto* analysis = reinterpret_cast<AnalysisObject*>(self);
  PyObject* dict = PyDict_New();
  if (dict == nullptr) return nullptr;
  for (int i = 0; i < kAnalysisFieldCount; ++i) {
    PyObject* field = *analysis_field(analysis, i);
    PyObject* converted = PyDict_Check(field) ? plain_result_sets(field) : plain(field);
    if (converted == nullptr || PyDict_SetItemString(dict, kAnalysisFields[i], converted) < 0) {
      Py_XDECREF(converted);
      Py_DECREF(dict);
      return nullptr;
    }
    Py_DECREF(converted);
  }
  return dict;
}

PyMemberDef analysis_members[] = {
    {"node_ids", T_OBJECT_EX, offsetof(AnalysisObject, node_ids), READONLY,
     "Tuple of the node ids, 1..N."},
    {"member_ids", T_OBJECT_EX, offsetof(AnalysisObject, member_ids), READONLY,
     "Tuple of the member ids in document order (member sets in order, their members in "
     "order)."},
    {"support_ids", T_OBJECT_EX, offsetof(AnalysisObject, support_ids), READONLY,
     "Tuple of the ids of nodal_supports, in order."},
    {"coordinates", T_OBJECT_EX, offsetof(AnalysisObject, coordinates), READONLY,
     "(N, 3) float64: X, Y, Z of each node."},
    {"member_nodes", T_OBJECT_EX, offsetof(AnalysisObject, member_nodes), READONLY,
     "Tuple of (start id, end id) per member."},
    {"member_axes", T_OBJECT_EX, offsetof(AnalysisObject, member_axes), READONLY,
     "(M, 3, 3) float64: rows local x, y, z of each member in global components."},
    {"member_lengths", T_OBJECT_EX, offsetof(AnalysisObject, member_lengths), READONLY,
     "(M,) float64: length of each member."},
    {"restraints", T_OBJECT_EX, offsetof(AnalysisObject, restraints), READONLY,
     "(N, 6) bool: True where a support fixes the dof (UX, UY, UZ, RX, RY, RZ)."},
    {"stations", T_OBJECT_EX, offsetof(AnalysisObject, stations), READONLY,
     "Points along every member at which internal forces are given, ends included."},
    {nullptr, 0, 0, 0, nullptr}};

PyGetSetDef analysis_getset[] = {
    {"load_cases", dict_copy, nullptr,
     "Dict from load case id to ResultSet, in document order (a new dict on each access).",
     nullptr},
    {"combinations", dict_copy, nullptr,
     "Dict from load_combination_id to ResultSet, in document order: each the sum of its load "
     "cases' results times their factors (a new dict on each access).",
     const_cast<char*>("combinations")},
    {nullptr, nullptr, nullptr, nullptr, nullptr}};

PyMethodDef analysis_methods[] = {
    {"to_dict", analysis_to_dict, METH_NOARGS,
     "to_dict($self, /)\n--\n\nEverything as plain Python values (ints, floats, strs, lists, "
     "dicts), so that json.dumps(analysis.to_dict()) works."},
    {nullptr, nullptr, 0, nullptr}};

PyType_Slot analysis_slots[] = {
    {Py_tp_doc,
     const_cast<char*>("The engineering analysis of a model: its geometry and one ResultSet per "
                       "load case and per load combination. Read-only.")},
    {Py_tp_members, analysis_members},
    {Py_tp_getset, analysis_getset},
    {Py_tp_methods, analysis_methods},
    {Py_tp_repr, reinterpret_cast<void*>(analysis_repr)},
    {Py_tp_traverse, reinterpret_cast<void*>(analysis_traverse)},
    {Py_tp_clear, reinterpret_cast<void*>(analysis_clear)},
    {Py_tp_dealloc, reinterpret_cast<void*>(analysis_dealloc)},
    {0, nullptr}};

PyType_Spec analysis_spec = {
    "velm_calculations.Analysis", sizeof(AnalysisObject), 0,
    Py_TPFLAGS_DEFAULT | Py_TPFLAGS_HAVE_GC | Py_TPFLAGS_DISALLOW_INSTANTIATION, analysis_slots};

// Dict from id to ResultSet, in order.
PyObject* result_set_dict(const ResultTypes& types, std::vector<engineering::ResultSet>& sets,
                          const char* kind, Py_ssize_t nodes, Py_ssize_t supports,
                          Py_ssize_t members, Py_ssize_t stations) {
  PyObject* dict = PyDict_New();
  if (dict == nullptr) return nullptr;
  for (engineering::ResultSet& set : sets) {
    PyObject* key = PyLong_FromUnsignedLong(set.id);
    PyObject* value = key == nullptr ? nullptr
                                     : make_result_set(types, std::move(set), kind, nodes, supports,
                                                       members, stations);
    if (value == nullptr || PyDict_SetItem(dict, key, value) < 0) {
      Py_XDECREF(key);
      Py_XDECREF(value);
      Py_DECREF(dict);
      return nullptr;
    }
    Py_DECREF(key);
    Py_DECREF(value);
  }
  return dict;
}

}  // namespace

int add_result_types(PyObject* module, ResultTypes& types) {
  types.array = PyType_FromModuleAndSpec(module, &array_spec, nullptr);
  if (types.array == nullptr) return -1;
  types.result_set = PyType_FromModuleAndSpec(module, &result_set_spec, nullptr);
  if (types.result_set == nullptr) return -1;
  types.analysis = PyType_FromModuleAndSpec(module, &analysis_spec, nullptr);
  if (types.analysis == nullptr) return -1;
  return 0;
}

PyObject* make_analysis(const ResultTypes& types, engineering::StaticAnalysis&& result) {
  auto* type = reinterpret_cast<PyTypeObject*>(types.analysis);
  auto* analysis = reinterpret_cast<AnalysisObject*>(type->tp_alloc(type, 0));
  if (analysis == nullptr) return nullptr;
  const auto nodes = static_cast<Py_ssize_t>(result.node_count);
  const auto members = static_cast<Py_ssize_t>(result.member_ids.size());
  const auto supports = static_cast<Py_ssize_t>(result.support_ids.size());
  const auto stations = static_cast<Py_ssize_t>(result.stations);

  std::vector<std::uint32_t> node_ids(result.node_count);
  for (std::uint32_t i = 0; i < result.node_count; ++i) node_ids[i] = i + 1;
  analysis->node_ids = int_tuple(node_ids);
  analysis->member_ids = int_tuple(result.member_ids);
  analysis->support_ids = int_tuple(result.support_ids);
  analysis->coordinates = memoryview_of(types, std::move(result.coordinates), {nodes, 3});
  analysis->member_nodes = PyTuple_New(members);
  if (analysis->member_nodes != nullptr) {
    for (Py_ssize_t m = 0; m < members; ++m) {
      PyObject* pair = int_tuple(result.member_nodes[static_cast<std::size_t>(m)]);
      if (pair == nullptr) {
        Py_CLEAR(analysis->member_nodes);
        break;
      }
      PyTuple_SET_ITEM(analysis->member_nodes, m, pair);
    }
  }
  analysis->member_axes = memoryview_of(types, std::move(result.member_axes), {members, 3, 3});
  analysis->member_lengths = memoryview_of(types, std::move(result.member_lengths), {members});
  analysis->restraints = memoryview_of(types, std::move(result.restraints), {nodes, 6});
  analysis->load_cases =
      result_set_dict(types, result.load_cases, "load case", nodes, supports, members, stations);
  analysis->combinations = result_set_dict(types, result.combinations, "load combination", nodes,
                                           supports, members, stations);
  analysis->stations = PyLong_FromLong(result.stations);
  for (int i = 0; i < kAnalysisFieldCount; ++i) {
    if (*analysis_field(analysis, i) == nullptr) {
      Py_DECREF(analysis);
      return nullptr;
    }
  }
  return reinterpret_cast<PyObject*>(analysis);
}

}  // namespace velm::python
