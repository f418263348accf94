#include "python/result_types.hpp"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "python/field_table.hpp"
#include "python/modal_types.hpp"
#include "python/result_values.hpp"

namespace velm::python {

namespace {

PyObject* result_set_to_dict(PyObject* self, PyObject*);

// The result sets of a dict as {id: result_set.to_dict()}.
PyObject* plain_result_sets(PyObject* sets) {
  PyObject* out = PyDict_New();
  if (out == nullptr) return nullptr;
  Py_ssize_t position = 0;
  PyObject *key, *value;
  while (PyDict_Next(sets, &position, &key, &value)) {
    PyObject* converted = result_set_to_dict(value, nullptr);
    const int status = converted == nullptr ? -1 : PyDict_SetItem(out, key, converted);
    Py_XDECREF(converted);
    if (status < 0) {
      Py_DECREF(out);
      return nullptr;
    }
  }
  return out;
}

// ResultSet

struct ResultSetObject {
  PyObject_HEAD PyObject* kind;  // "load case" or "load combination", for repr
  PyObject* fields[17];
};

// The rows of an array of a result set: none when the set failed.
Py_ssize_t rows(const engineering::ResultSet& s, Py_ssize_t count) {
  return s.error ? 0 : count;
}

PyObject* optional_text(const std::optional<std::string>& text) {
  if (!text) Py_RETURN_NONE;
  return PyUnicode_DecodeUTF8(text->data(), static_cast<Py_ssize_t>(text->size()),
                              "backslashreplace");
}

using SetField = Field<engineering::ResultSet>;

template <int I>
constexpr auto set_slot = static_cast<Py_ssize_t>(offsetof(ResultSetObject, fields) +
                                                  I * sizeof(PyObject*));

constexpr std::array<SetField, 17> kResultSetFields = {{
    {"id", set_slot<0>, false, plain,
     [](const Context&, engineering::ResultSet& s) { return PyLong_FromUnsignedLong(s.id); },
     "Id of the load case, or load_combination_id of the combination."},
    {"name", set_slot<1>, false, plain,
     [](const Context&, engineering::ResultSet& s) {
       return PyUnicode_DecodeUTF8(s.name.data(), static_cast<Py_ssize_t>(s.name.size()),
                                   "backslashreplace");
     },
     "Its name."},
    {"displacements", set_slot<2>, false, plain,
     [](const Context& c, engineering::ResultSet& s) {
       return memoryview_of(c.array_type, std::move(s.displacements),
                            {rows(s, c.extents.nodes), 6});
     },
     "(N, 6) float64: UX, UY, UZ, RX, RY, RZ of node node_ids[k], global axes."},
    {"reactions", set_slot<3>, false, plain,
     [](const Context& c, engineering::ResultSet& s) {
       return memoryview_of(c.array_type, std::move(s.reactions), {rows(s, c.extents.supports), 6});
     },
     "(S, 6) float64: FX, FY, FZ, MX, MY, MZ of support record support_ids[k], global axes: "
     "K u - F at the dofs the record fixes, summed over its nodes, and the spring force -k u "
     "at the dofs it springs; 0 at the others."},
    {"node_reactions", set_slot<4>, false, plain,
     [](const Context& c, engineering::ResultSet& s) {
       return memoryview_of(c.array_type, std::move(s.node_reactions),
                            {rows(s, c.extents.nodes), 6});
     },
     "(N, 6) float64: FX, FY, FZ, MX, MY, MZ on node node_ids[k], global axes: K u - F at the "
     "dofs its supports fix (restraints), the spring force -k u at the dofs they spring, 0 at "
     "the others; summed over the nodes of each support record they give its reactions."},
    {"end_forces", set_slot<5>, false, plain,
     [](const Context& c, engineering::ResultSet& s) {
       return memoryview_of(c.array_type, std::move(s.end_forces),
                            {rows(s, c.extents.members), 12});
     },
     "(M, 12) float64: forces and moments the nodes exert on member member_ids[k], start then "
     "end, local axes (fx, fy, fz, mx, my, mz)."},
    {"internal_forces", set_slot<6>, false, plain,
     [](const Context& c, engineering::ResultSet& s) {
       return memoryview_of(c.array_type, std::move(s.internal_forces),
                            {rows(s, c.extents.members), c.extents.stations, 6});
     },
     "(M, stations, 6) float64: N (tension positive), Vy, Vz, T, My, Mz at x_j = j L / "
     "(stations - 1), local axes: what the part beyond x_j exerts on the part before it."},
    {"internal_force_extremes", set_slot<7>, false, plain,
     [](const Context& c, engineering::ResultSet& s) {
       return memoryview_of(c.array_type, std::move(s.internal_force_extremes),
                            {rows(s, c.extents.members), 2, 6});
     },
     "(M, 2, 6) float64: per member the minimum, then the maximum, of N, Vy, Vz, T, My, Mz over "
     "its whole length, exact (not from the stations)."},
    {"deflections", set_slot<15>, false, plain,
     [](const Context& c, engineering::ResultSet& s) {
       return memoryview_of(c.array_type, std::move(s.deflections),
                            {rows(s, c.extents.members), c.extents.stations, 3});
     },
     "(M, stations, 3) float64: the translation ux, uy, uz of the member's axis at x_j = j L / "
     "(stations - 1), local axes, exact: the line between the member's end translations plus "
     "its deflection under the forces along it (at the ends, the node displacements in local "
     "axes, or the member end's own where a hinge releases a translation)."},
    {"deflection_extremes", set_slot<16>, false, plain,
     [](const Context& c, engineering::ResultSet& s) {
       return memoryview_of(c.array_type, std::move(s.deflection_extremes),
                            {rows(s, c.extents.members), 2, 3});
     },
     "(M, 2, 3) float64: per member the minimum, then the maximum, over its whole length of each "
     "local component ux, uy, uz of the deflection relative to the straight line between its "
     "end values (for uy and uz the chord through the displaced ends: the sag), exact."},
    {"inactive_members", set_slot<8>, false, plain,
     [](const Context&, engineering::ResultSet& s) { return int_tuple(s.inactive_members); },
     "Tuple of the ids of the tension-only and compression-only members switched off, in "
     "document order; their end and internal forces are 0."},
    {"order", set_slot<9>, false, plain,
     [](const Context&, engineering::ResultSet& s) { return PyLong_FromLong(s.order); },
     "1 for a first-order result set, 2 for a second-order one (analyze(second_order=True))."},
    {"iterations", set_slot<10>, false, plain,
     [](const Context&, engineering::ResultSet& s) { return PyLong_FromLong(s.iterations); },
     "The rounds of solving it took: 1 for a linear result set; the rounds of a second-order or "
     "tension/compression-only analysis (at least 2 in second order where a member carries "
     "axial force)."},
    {"imperfections", set_slot<11>, false, plain,
     [](const Context& c, engineering::ResultSet& s) {
       return memoryview_of(c.array_type, std::move(s.imperfections),
                            {rows(s, c.extents.nodes), 3});
     },
     "(N, 3) float64: the offsets X, Y, Z of node node_ids[k] from its position in the document "
     "for this result set (its imperfections), 0 where it has none. The result set is analysed "
     "on the moved geometry and its displacements are measured from it."},
    {"critical_load_factors", set_slot<12>, false, plain,
     [](const Context&, engineering::ResultSet& s) { return float_tuple(s.critical_load_factors); },
     "Tuple of floats, ascending: the lowest elastic critical load factors alpha_cr (at most "
     "analyze(buckling_modes=k) of them; fewer where fewer exist, none in pure tension): "
     "alpha_cr times this result set's loads makes the structure unstable."},
    {"buckling_modes", set_slot<13>, false, plain,
     [](const Context& c, engineering::ResultSet& s) {
       const auto modes = static_cast<Py_ssize_t>(s.critical_load_factors.size());
       return memoryview_of(c.array_type, std::move(s.buckling_modes),
                            {rows(s, modes), c.extents.nodes, 6});
     },
     "(k, N, 6) float64: the buckling mode of critical_load_factors[i], UX .. RZ of every node, "
     "global axes, scaled so that its largest translation component is +1.0 (or, where no node "
     "translates, its largest rotation component)."},
    {"error", set_slot<14>, false, plain,
     [](const Context&, engineering::ResultSet& s) { return optional_text(s.error); },
     "None, or the text of this result set's failure (naming it): a mechanism once members "
     "switch off, loads beyond the elastic critical load, no settling, non-finite results. Its "
     "arrays then have no rows; the other result sets are analysed."},
}};

int result_set_traverse(PyObject* self, visitproc visit, void* arg) {
  Py_VISIT(reinterpret_cast<ResultSetObject*>(self)->kind);
  return traverse_fields(kResultSetFields, self, visit, arg);
}

int result_set_clear(PyObject* self) {
  Py_CLEAR(reinterpret_cast<ResultSetObject*>(self)->kind);
  clear_fields(kResultSetFields, self);
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
  return PyUnicode_FromFormat("<ResultSet %U %S: %R>", set->kind, set->fields[0], set->fields[1]);
}

PyObject* result_set_to_dict(PyObject* self, PyObject*) {
  return fields_to_dict(kResultSetFields, self);
}

auto result_set_members = members_of<member_count(kResultSetFields)>(kResultSetFields);

PyMethodDef result_set_methods[] = {
    {"to_dict", result_set_to_dict, METH_NOARGS,
     "to_dict($self, /)\n--\n\nThe result set as plain Python values (lists of floats)."},
    {nullptr, nullptr, 0, nullptr}};

PyType_Slot result_set_slots[] = {
    {Py_tp_doc,
     const_cast<char*>("The results of one load case or one load combination of an Analysis. "
                       "Its arrays are read-only memoryviews of float64 in C order.")},
    {Py_tp_members, result_set_members.data()},
    {Py_tp_methods, result_set_methods},
    {Py_tp_repr, reinterpret_cast<void*>(result_set_repr)},
    {Py_tp_traverse, reinterpret_cast<void*>(result_set_traverse)},
    {Py_tp_clear, reinterpret_cast<void*>(result_set_clear)},
    {Py_tp_dealloc, reinterpret_cast<void*>(result_set_dealloc)},
    {0, nullptr}};

PyType_Spec result_set_spec = {
    "velm_calculations.ResultSet", sizeof(ResultSetObject), 0,
    Py_TPFLAGS_DEFAULT | Py_TPFLAGS_HAVE_GC | Py_TPFLAGS_DISALLOW_INSTANTIATION, result_set_slots};

}  // namespace

PyObject* make_result_set(const Context& context, engineering::ResultSet& set, const char* kind) {
  auto* type = reinterpret_cast<PyTypeObject*>(context.result_set_type);
  PyObject* object = type->tp_alloc(type, 0);
  if (object == nullptr) return nullptr;
  auto* fields = reinterpret_cast<ResultSetObject*>(object);
  if ((fields->kind = PyUnicode_FromString(kind)) == nullptr ||
      make_fields(kResultSetFields, object, context, set) < 0) {
    Py_DECREF(object);
    return nullptr;
  }
  return object;
}

namespace {

// Dict from id to ResultSet, in order.
PyObject* result_set_dict(const Context& context, std::vector<engineering::ResultSet>& sets,
                          const char* kind) {
  PyObject* dict = PyDict_New();
  if (dict == nullptr) return nullptr;
  for (engineering::ResultSet& set : sets) {
    PyObject* key = PyLong_FromUnsignedLong(set.id);
    PyObject* value = key == nullptr ? nullptr : make_result_set(context, set, kind);
    const int status = value == nullptr ? -1 : PyDict_SetItem(dict, key, value);
    Py_XDECREF(key);
    Py_XDECREF(value);
    if (status < 0) {
      Py_DECREF(dict);
      return nullptr;
    }
  }
  return dict;
}

// ---------------------------------------------------------------------------------------------
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
      (types.result_set = PyType_FromModuleAndSpec(module, &result_set_spec, nullptr)) == nullptr ||
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
