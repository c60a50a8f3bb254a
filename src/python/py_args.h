// Binding and conversion of the module functions' arguments: Python's rules for
// positional-or-keyword parameters, with the messages the host relies on.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mirtova::py {

struct Signature {
  const char* name;                 // the function's name, as in "parse"
  std::vector<const char*> params;  // in order
  size_t required;                  // the first `required` params have no default
};

// Binds fast-call arguments to the parameters: borrowed references, nullptr for
// a parameter left out. False with a TypeError set when the call breaks the rules.
bool bind_arguments(const Signature& sig, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames,
                    std::vector<PyObject*>& bound);

// The most texts a list of paths may hold: more is no list of directories
// but a runaway sequence.
inline constexpr size_t kMaxListedTexts = 1000;

// Conversions; each returns false with the exception set (and the note naming
// the parameter added) on failure. A None or absent optional gives nullopt. A
// list of texts holds paths: at most kMaxListedTexts, none with a NUL.
bool convert_text(PyObject* value, const char* param, std::string_view& out);
bool convert_optional_text(PyObject* value, const char* param, std::optional<std::string>& out);
bool convert_optional_count(PyObject* value, const char* param, std::optional<uint64_t>& out);
bool convert_optional_texts(PyObject* value, const char* param, std::optional<std::vector<std::string>>& out);

}  // namespace mirtova::py
