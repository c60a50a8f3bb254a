// The module functions of the verifier and its name catalogues.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

namespace mirtova::py {

PyObject* check(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);
PyObject* assertions(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);
PyObject* reserved_predicates(PyObject* self, PyObject* unused);
PyObject* builtin_functions(PyObject* self, PyObject* unused);

}  // namespace mirtova::py
