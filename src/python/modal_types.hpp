// The Python face of the modal analysis: ModalResult (Analysis.modal) and the response spectrum
// analysis over its modes (Analysis.spectrum_response).
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include "engineering/static_results.hpp"
#include "python/field_table.hpp"

namespace velm::python {

// Creates the ModalResult type into `type`; -1 with an exception set.
int add_modal_type(PyObject* module, PyObject*& type);

// Analysis.modal: None without modes, else a ModalResult taking over the arrays.
PyObject* make_modal(const Context& context, engineering::StaticAnalysis& analysis);

// ModalResult.to_dict() of a ModalResult, or None for None.
PyObject* modal_to_plain(PyObject* modal);

// spectrum_response(periods, accelerations, direction, *, damping=0.05, rule="CQC") over the
// modes of `modal` (Analysis.modal): a ResultSet; ValueError naming "modes" when it is None.
PyObject* spectrum_response(PyObject* modal, PyObject* const* args, Py_ssize_t nargs,
                            PyObject* kwnames);

}  // namespace velm::python
