#include "python/result_types.hpp"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "python/field_table.hpp"
#include "python/modal_types.hpp"
#include "python/result_set_type.hpp"
#include "python/result_values.hpp"

namespace velm::python {

namespace {

// Analysis

struct AnalysisObject {
  PyObject_HEAD PyObject* fields[13];
  PyObject* envelope_types[3];  // the array, Envelope and EnvelopeArrays types, for envelope()
};

using AnalysisField = Field<engineering::StaticAnalysis>;

template <int I>
constexpr auto analysis_slot = static_cast<Py_ssize_t>(offsetof(AnalysisObject, fields) +
                                                       I * sizeof(PyObject*));

PyObject* node_id_tuple(std::uint32_t count) {
  PyObject* tuple = PyTuple_New(static_cast<Py_ssize_t>(count));
  if (tuple == nullptr) return nullptr;
  for (std::uint32_t i = 0; i < count; ++i) {
    PyObject* id = PyLong_FromUnsignedLong(i + 1);
    if (id == nullptr) {
      Py_DECREF(tuple);
      return nullptr;
    }
    PyTuple_SET_ITEM(tuple, static_cast<Py_ssize_t>(i), id);
  }
  return tuple;
}

PyObject* pair_tuple(const std::vector<std::array<std::uint32_t, 2>>& pairs) {
  PyObject* tuple = PyTuple_New(static_cast<Py_ssize_t>(pairs.size()));
  if (tuple == nullptr) return nullptr;
  for (std::size_t m = 0; m < pairs.size(); ++m) {
    PyObject* pair = int_tuple(pairs[m]);
    if (pair == nullptr) {
      Py_DECREF(tuple);
      return nullptr;
    }
    PyTuple_SET_ITEM(tuple, static_cast<Py_ssize_t>(m), pair);
  }
  return tuple;
}

using Analysed = engineering::StaticAnalysis;

PyObject* text_tuple(const std::vector<std::string>& texts) {
  PyObject* tuple = PyTuple_New(static_cast<Py_ssize_t>(texts.size()));
  if (tuple == nullptr) return nullptr;
  for (std::size_t i = 0; i < texts.size(); ++i) {
    PyObject* text = PyUnicode_DecodeUTF8(texts[i].data(), static_cast<Py_ssize_t>(texts[i].size()),
                                          "backslashreplace");
    if (text == nullptr) {
      Py_DECREF(tuple);
      return nullptr;
    }
    PyTuple_SET_ITEM(tuple, static_cast<Py_ssize_t>(i), text);
  }
  return tuple;
}

constexpr std::array<AnalysisField, 13> kAnalysisFields = {{
    {"node_ids", analysis_slot<0>, false, plain,
     [](const Context&, Analysed& a) { return node_id_tuple(a.node_count); },
     "Tuple of the node ids, 1..N."},
    {"member_ids", analysis_slot<1>, false, plain,
     [](const Context&, Analysed& a) { return int_tuple(a.member_ids); },
     "Tuple of the member ids in document order (member sets in order, their members in "
     "order)."},
    {"support_ids", analysis_slot<2>, false, plain,
     [](const Context&, Analysed& a) { return int_tuple(a.support_ids); },
     "Tuple of the ids of nodal_supports, in order."},
    {"coordinates", analysis_slot<3>, false, plain,
     [](const Context& c, Analysed& a) {
       return memoryview_of(c.array_type, std::move(a.coordinates), {c.extents.nodes, 3});
     },
     "(N, 3) float64: X, Y, Z of each node."},
    {"member_nodes", analysis_slot<4>, false, plain,
     [](const Context&, Analysed& a) { return pair_tuple(a.member_nodes); },
     "Tuple of (start id, end id) per member."},
    {"member_axes", analysis_slot<5>, false, plain,
     [](const Context& c, Analysed& a) {
       return memoryview_of(c.array_type, std::move(a.member_axes), {c.extents.members, 3, 3});
     },
     "(M, 3, 3) float64: rows local x, y, z of each member in global components."},
    {"member_lengths", analysis_slot<6>, false, plain,
     [](const Context& c, Analysed& a) {
       return memoryview_of(c.array_type, std::move(a.member_lengths), {c.extents.members});
     },
     "(M,) float64: length of each member."},
    {"restraints", analysis_slot<7>, false, plain,
     [](const Context& c, Analysed& a) {
       return memoryview_of(c.array_type, std::move(a.restraints), {c.extents.nodes, 6});
     },
     "(N, 6) bool: True where a support fixes the dof (UX, UY, UZ, RX, RY, RZ)."},
    {"load_cases", analysis_slot<8>, true, plain_result_sets,
     [](const Context& c, Analysed& a) { return result_set_dict(c, a.load_cases, "load case"); },
     "Dict from load case id to ResultSet, in document order (a new dict on each access)."},
    {"combinations", analysis_slot<9>, true, plain_result_sets,
     [](const Context& c, Analysed& a) {
       return result_set_dict(c, a.combinations, "load combination");
     },
     "Dict from load_combination_id to ResultSet, in document order: each the sum of its load "
     "cases' results times their factors (a new dict on each access)."},
    {"stations", analysis_slot<10>, false, plain,
     [](const Context&, Analysed& a) { return PyLong_FromLong(a.stations); },
     "Points along every member at which internal forces are given, ends included."},
    {"modal", analysis_slot<11>, false, modal_to_plain,
     [](const Context& c, Analysed& a) { return make_modal(c, a); },
     "None, or the ModalResult of analyze(modes=k): natural frequencies, mode shapes, "
     "participation and effective masses."},
    {"warnings", analysis_slot<12>, false, plain,
     [](const Context&, Analysed& a) { return text_tuple(a.warnings); },
     "Tuple of texts, one per thing the reader skipped or read as a default that the author "
     "probably did not mean, each naming its record (and for a key its line and column): "
     "unknown keys, support condition values other than 'Fixed' and 'Free', condition keys "
     "other than X, Y, Z, hinges on truss, tension, compression or rigid members (no effect), a "
     "reference_member naming no member. analyze(strict=True) raises AnalysisError for the "
     "first instead."},
}};

int analysis_traverse(PyObject* self, visitproc visit, void* arg) {
  for (PyObject* type : reinterpret_cast<AnalysisObject*>(self)->envelope_types) Py_VISIT(type);
  return traverse_fields(kAnalysisFields, self, visit, arg);
}

int analysis_clear(PyObject* self) {
  for (PyObject*& type : reinterpret_cast<AnalysisObject*>(self)->envelope_types) Py_CLEAR(type);
  clear_fields(kAnalysisFields, self);
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
  PyObject** f = reinterpret_cast<AnalysisObject*>(self)->fields;
  return PyUnicode_FromFormat(
      "<Analysis: %zd nodes, %zd members, %zd load cases, %zd combinations>",
      PyTuple_GET_SIZE(f[0]), PyTuple_GET_SIZE(f[1]), PyDict_GET_SIZE(f[8]), PyDict_GET_SIZE(f[9]));
}

PyObject* analysis_to_dict(PyObject* self, PyObject*) {
  return fields_to_dict(kAnalysisFields, self);
}

constexpr std::size_t kAnalysisMembers = member_count(kAnalysisFields);
auto analysis_members = members_of<kAnalysisMembers>(kAnalysisFields);
auto analysis_getset = getters_of<kAnalysisFields.size() - kAnalysisMembers>(kAnalysisFields);

PyObject* analysis_spectrum_response(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                                     PyObject* kwnames) {
  return spectrum_response(reinterpret_cast<AnalysisObject*>(self)->fields[11], args, nargs,
                           kwnames);
}

PyObject* analysis_envelope_method(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                                   PyObject* kwnames) {
  auto* analysis = reinterpret_cast<AnalysisObject*>(self);
  PyObject** f = analysis->fields;
  const EnvelopeTypes types{analysis->envelope_types[0], analysis->envelope_types[1],
                            analysis->envelope_types[2]};
  const Extents extents{PyTuple_GET_SIZE(f[0]), PyTuple_GET_SIZE(f[2]), PyTuple_GET_SIZE(f[1]),
                        PyLong_AsSsize_t(f[10])};
  return analysis_envelope(types, extents, f[8], f[9], args, nargs, kwnames);
}

PyMethodDef analysis_methods[] = {
    {"envelope",
     reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(analysis_envelope_method)),
     METH_FASTCALL | METH_KEYWORDS,
     "envelope($self, /, *, cases=None, combinations=None)\n--\n\n"
     "The envelope of result sets: with neither argument every load combination, or every load "
     "case when there is no combination; otherwise exactly the load cases `cases` and the "
     "combinations `combinations` name (iterables of ids; cases first, each set once). Returns an "
     "Envelope whose minimum and maximum hold the elementwise extremes of displacements, "
     "node_reactions, reactions, end_forces, internal_forces, internal_force_extremes and "
     "deflection_extremes over the sets, and whose governing_minimum and governing_maximum hold, "
     "per entry, the position in result_sets of the set that gives it (the first on a tie). "
     "Failed result sets are left out and listed in skipped; with no set left every array holds "
     "zeros. ValueError naming an unknown id."},
    {"spectrum_response",
     reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(analysis_spectrum_response)),
     METH_FASTCALL | METH_KEYWORDS,
     "spectrum_response($self, periods, accelerations, direction, *, damping=0.05, rule='CQC')\n"
     "--\n\n"
     "The peak response to a ground motion along `direction` (three floats, normalised) with the "
     "design spectrum given as points (`periods` ascending, `accelerations` the spectral "
     "accelerations in the model's units: linear between the points, the end values beyond "
     "them), over the modes of analyze(modes=k). Mode i responds with the peak displacement "
     "Gamma_i Sa(T_i) / omega_i^2 times its shape (Gamma_i its participation along the "
     "direction), its forces those of the static response to its inertia forces; each value is "
     "then combined over the modes by CQC (rule='CQC', correlation coefficients of equal "
     "`damping` in every mode) or SRSS, so every value is >= 0. Returns a ResultSet (id 0) whose "
     "internal_force_extremes hold the largest combined value over each member as the maximum "
     "and its negative as the minimum. ValueError naming periods, rule, direction or modes."},
    {"to_dict", analysis_to_dict, METH_NOARGS,
     "to_dict($self, /)\n--\n\nEverything as plain Python values (ints, floats, strs, lists, "
     "dicts), so that json.dumps(analysis.to_dict()) works."},
    {nullptr, nullptr, 0, nullptr}};

PyType_Slot analysis_slots[] = {
    {Py_tp_doc,
     const_cast<char*>("The engineering analysis of a model: its geometry and one ResultSet per "
                       "load case and per load combination. Read-only.")},
    {Py_tp_members, analysis_members.data()},
    {Py_tp_getset, analysis_getset.data()},
    {Py_tp_methods, analysis_methods},
    {Py_tp_repr, reinterpret_cast<void*>(analysis_repr)},
    {Py_tp_traverse, reinterpret_cast<void*>(analysis_traverse)},
    {Py_tp_clear, reinterpret_cast<void*>(analysis_clear)},
    {Py_tp_dealloc, reinterpret_cast<void*>(analysis_dealloc)},
    {0, nullptr}};

PyType_Spec analysis_spec = {
    "velm_calculations.Analysis", sizeof(AnalysisObject), 0,
    Py_TPFLAGS_DEFAULT | Py_TPFLAGS_HAVE_GC | Py_TPFLAGS_DISALLOW_INSTANTIATION, analysis_slots};

}  // namespace

int add_result_types(PyObject* module, ResultTypes& types) {
  if ((types.array = PyType_FromModuleAndSpec(module, &array_spec, nullptr)) == nullptr ||
      (types.result_set = PyType_FromModuleAndSpec(module, &result_set_spec(), nullptr)) ==
          nullptr ||
      (types.analysis = PyType_FromModuleAndSpec(module, &analysis_spec, nullptr)) == nullptr ||
      add_modal_type(module, types.modal) < 0)
    return -1;
  types.envelope.array = types.array;
  if (add_envelope_types(module, types.envelope) < 0) return -1;
  return 0;
}

PyObject* make_analysis(const ResultTypes& types, engineering::StaticAnalysis&& result) {
  auto* type = reinterpret_cast<PyTypeObject*>(types.analysis);
  PyObject* analysis = type->tp_alloc(type, 0);
  if (analysis == nullptr) return nullptr;
  const Context context{
      types.array,
      types.result_set,
      {static_cast<Py_ssize_t>(result.node_count),
       static_cast<Py_ssize_t>(result.support_ids.size()),
       static_cast<Py_ssize_t>(result.member_ids.size()), static_cast<Py_ssize_t>(result.stations)},
      types.modal};
  auto* object = reinterpret_cast<AnalysisObject*>(analysis);
  object->envelope_types[0] = Py_NewRef(types.array);
  object->envelope_types[1] = Py_NewRef(types.envelope.envelope);
  object->envelope_types[2] = Py_NewRef(types.envelope.arrays);
  if (make_fields(kAnalysisFields, analysis, context, result) < 0) {
    Py_DECREF(analysis);
    return nullptr;
  }
  return analysis;
}

}  // namespace velm::python
