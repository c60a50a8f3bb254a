// The shared steps of the module functions that can fail, each worded for the
// host: the engine check and the parse step; and the guard that keeps C++
// exceptions from crossing into the interpreter.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <new>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "parser/json.h"

namespace mirtova::py {

// False with ValueError set for an engine outside the seven.
bool check_engine(const std::optional<std::string>& engine);

// The syntax tree, or nullopt with ValueError (the parse error's display) set.
std::optional<Json> parse_source(std::string_view source, const std::optional<std::string>& file_name,
                                 const std::optional<std::vector<std::string>>& import_root);

// Runs `body`; memory running out becomes MemoryError, an internal fault or
// any other C++ exception RuntimeError.
template <class F>
PyObject* guarded(F&& body) {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    PyErr_NoMemory();
  } catch (const std::length_error&) {
    // A size past what a container can hold: memory that cannot be had.
    PyErr_NoMemory();
  } catch (const std::exception& e) {
    PyErr_SetString(PyExc_RuntimeError, e.what());
  } catch (...) {
    PyErr_SetString(PyExc_RuntimeError, "internal error");
  }
  return nullptr;
}

PyObject* new_str(std::string_view text);
// A new list of str, in the order given.
PyObject* new_str_list(const std::vector<std::string>& texts);
// Sets dict[key] to value and drops the reference to value (which may be null,
// a failed constructor's answer); false when either failed.
bool put_item(PyObject* dict, const char* key, PyObject* value);

}  // namespace mirtova::py
