#include "python/result_set_type.hpp"

#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "python/field_table.hpp"
#include "python/result_values.hpp"

namespace velm::python {

namespace {

PyObject* result_set_to_dict(PyObject* self, PyObject*);

}  // namespace

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

namespace {

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

PyType_Spec result_set_type_spec = {
    "velm_calculations.ResultSet", sizeof(ResultSetObject), 0,
    Py_TPFLAGS_DEFAULT | Py_TPFLAGS_HAVE_GC | Py_TPFLAGS_DISALLOW_INSTANTIATION, result_set_slots};

}  // namespace

PyType_Spec& result_set_spec() {
  return result_set_type_spec;
}

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

}  // namespace velm::python
