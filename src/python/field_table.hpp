// One table per result type: every Python attribute is one row (name, slot, how it is handed
// out, how to_dict gives it, how it is made from the engine's values, docstring), and the row
// drives all of it: the type's members and getters, traverse and clear, to_dict, and making.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>
#include <structmember.h>

#include <array>
#include <cstddef>
#include <cstdint>

namespace velm::python {

// What the arrays of one analysis measure.
struct Extents {
  Py_ssize_t nodes;
  Py_ssize_t supports;
  Py_ssize_t members;
  Py_ssize_t stations;
};

struct Context {
  PyObject* array_type;
  PyObject* result_set_type;
  Extents extents;
  PyObject* modal_type = nullptr;
};

template <class Source>
struct Field {
  const char* name;
  Py_ssize_t offset;  // of the field's PyObject* in the object
  bool copied;        // a dict handed out as a new copy on each access (a getter), else a member
  PyObject* (*to_plain)(PyObject*);            // its value in to_dict (a new reference)
  PyObject* (*make)(const Context&, Source&);  // a new reference, or nullptr with an exception
  const char* doc;
};

inline PyObject*& slot(PyObject* self, Py_ssize_t offset) {
  return *reinterpret_cast<PyObject**>(reinterpret_cast<char*>(self) + offset);
}

template <class Source, std::size_t N>
constexpr std::size_t member_count(const std::array<Field<Source>, N>& fields) {
  std::size_t count = 0;
  for (const auto& field : fields) count += field.copied ? 0 : 1;
  return count;
}

// The read-only members of the table, then the terminating entry.
template <std::size_t Count, class Source, std::size_t N>
constexpr std::array<PyMemberDef, Count + 1> members_of(
    const std::array<Field<Source>, N>& fields) {
  std::array<PyMemberDef, Count + 1> members{};
  std::size_t i = 0;
  for (const auto& field : fields)
    if (!field.copied)
      members[i++] = PyMemberDef{field.name, T_OBJECT_EX, field.offset, READONLY, field.doc};
  return members;
}

// A new dict on each access: the object's own dict stays as it was made.
inline PyObject* dict_copy(PyObject* self, void* offset) {
  return PyDict_Copy(*reinterpret_cast<PyObject**>(reinterpret_cast<char*>(self) +
                                                   reinterpret_cast<std::intptr_t>(offset)));
}

// The getters of the table's dicts of result sets, then the terminating entry.
template <std::size_t Count, class Source, std::size_t N>
std::array<PyGetSetDef, Count + 1> getters_of(const std::array<Field<Source>, N>& fields) {
  std::array<PyGetSetDef, Count + 1> getters{};
  std::size_t i = 0;
  for (const auto& field : fields)
    if (field.copied)
      getters[i++] = PyGetSetDef{field.name, dict_copy, nullptr, field.doc,
                                 reinterpret_cast<void*>(static_cast<std::intptr_t>(field.offset))};
  return getters;
}

template <class Source, std::size_t N>
int traverse_fields(const std::array<Field<Source>, N>& fields, PyObject* self, visitproc visit,
                    void* arg) {
  Py_VISIT(Py_TYPE(self));
  for (const auto& field : fields) Py_VISIT(slot(self, field.offset));
  return 0;
}

template <class Source, std::size_t N>
void clear_fields(const std::array<Field<Source>, N>& fields, PyObject* self) {
  for (const auto& field : fields) Py_CLEAR(slot(self, field.offset));
}

// Makes every field of `self` from `source`, in table order, stopping at the first failure:
// -1 with the exception set (the fields made so far are released with the object).
template <class Source, std::size_t N>
int make_fields(const std::array<Field<Source>, N>& fields, PyObject* self, const Context& context,
                Source& source) {
  for (const auto& field : fields)
    if ((slot(self, field.offset) = field.make(context, source)) == nullptr) return -1;
  return 0;
}

// {name: plain value} of every field, in table order.
template <class Source, std::size_t N>
PyObject* fields_to_dict(const std::array<Field<Source>, N>& fields, PyObject* self) {
  PyObject* dict = PyDict_New();
  if (dict == nullptr) return nullptr;
  for (const auto& field : fields) {
    PyObject* value = slot(self, field.offset);
    PyObject* converted = field.to_plain(value);
    const int status =
        converted == nullptr ? -1 : PyDict_SetItemString(dict, field.name, converted);
    Py_XDECREF(converted);
    if (status < 0) {
      Py_DECREF(dict);
      return nullptr;
    }
  }
  return dict;
}

}  // namespace velm::python
