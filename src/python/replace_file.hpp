// velm_calculations._replace_file(path, data): the writer of the results document, for the
// files the command line writes.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

namespace velm::python {

extern PyMethodDef replace_file_def;

}  // namespace velm::python
