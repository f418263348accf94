// The Python type ResultSet: the results of one load case or combination, its arrays
// memoryviews of the engine's own buffers.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <vector>

#include "engineering/static_results.hpp"
#include "python/field_table.hpp"

namespace velm::python {

// The ResultSet type's slots and flags, for PyType_FromModuleAndSpec.
PyType_Spec& result_set_spec();

// A ResultSet object taking over the arrays of `set`; `kind` names it in its repr.
PyObject* make_result_set(const Context& context, engineering::ResultSet& set, const char* kind);

// A dict from id to ResultSet of `sets`, in order; nullptr with an exception set.
PyObject* result_set_dict(const Context& context, std::vector<engineering::ResultSet>& sets,
                          const char* kind);

// The result sets of such a dict as {id: result_set.to_dict()}.
PyObject* plain_result_sets(PyObject* sets);

}  // namespace velm::python
