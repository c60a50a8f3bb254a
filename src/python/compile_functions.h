// The module functions that compile a program: compile, search, compile_all,
// counterexamples and plan.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

namespace mirtova::py {

PyObject* compile(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);
PyObject* search(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);
PyObject* compile_all(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);
PyObject* counterexamples(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);
PyObject* plan(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);

}  // namespace mirtova::py
