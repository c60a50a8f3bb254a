// The shared steps of the module functions that can fail, each worded for the
// host: the engine check and the parse step; the guard that keeps C++
// exceptions from crossing into the interpreter; and the release of the GIL
// around the core's work.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <exception>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "common/engines.h"
#include "common/result.h"
#include "common/stack_room.h"
#include "parser/json.h"

namespace mirtova::py {

// A failure of the core's work, worded for the host: raised as ValueError once
// the GIL is held again.
struct HostError {
  std::string message;
};

template <class T>
using Outcome = Result<T, HostError>;

// The engine the host named, or none when it named none: the one place the
// module reads an engine's name. False with ValueError set for a name outside
// the seven.
bool read_engine(const std::optional<std::string>& name, std::optional<Engine>& engine);

// The syntax tree, or the parse error's display. Touches no Python object.
Outcome<Json> parse_tree(std::string_view source, const std::optional<std::string>& file_name,
                         const std::optional<std::vector<std::string>>& import_root);

// Sets ValueError with the text; answers nullptr.
PyObject* raise_value_error(const std::string& text);

// Runs `work` with the GIL released, so that other Python threads run (and
// compile) meanwhile, and answers what it answers. `work` reads and writes C++
// values only: the arguments are converted before, the results turned into
// Python objects after. An exception leaving `work` takes the GIL back on its
// way out, before `guarded` turns it into a Python error.
template <class F>
auto without_gil(F&& work) {
  class Released {
   public:
    Released() : state_(PyEval_SaveThread()) {}
    ~Released() { PyEval_RestoreThread(state_); }
    Released(const Released&) = delete;
    Released& operator=(const Released&) = delete;

   private:
    PyThreadState* state_;
  } released;
  // Thread-local values of a library loaded at run time (the module's own,
  // and the C++ runtime's record of exceptions in flight) get their memory on
  // a thread's first use of them. Asked for here, before the work can use up
  // what memory there is, rather than at the first exception thrown when it
  // has run out, where the C library aborts the process for want of it.
  (void)stack_room();
  [[maybe_unused]] volatile int in_flight = std::uncaught_exceptions();  // volatile: the call is pure
  return work();
}

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
// A new list of the objects `make` gives for the items, in order (each a new
// reference, or null on failure); null when one of them failed.
template <class Items, class Make>
PyObject* new_object_list(const Items& items, Make make) {
  PyObject* list = PyList_New(0);
  if (!list) return nullptr;
  for (const auto& item : items) {
    PyObject* object = make(item);
    if (!object || PyList_Append(list, object) < 0) {
      Py_XDECREF(object);
      Py_DECREF(list);
      return nullptr;
    }
    Py_DECREF(object);
  }
  return list;
}

// Sets dict[key] to value and drops the reference to value (which may be null,
// a failed constructor's answer); false when either failed.
bool put_item(PyObject* dict, const char* key, PyObject* value);

}  // namespace mirtova::py
