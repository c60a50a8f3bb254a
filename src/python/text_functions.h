// The module functions that write no SQL.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

namespace mirtova::py {

PyObject* parse(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);
PyObject* quote_value(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);
PyObject* statement_text(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);
PyObject* front_matter(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);

}  // namespace mirtova::py
