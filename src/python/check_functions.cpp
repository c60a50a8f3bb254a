// check: parse, run the verifier and return its messages in the names the user
// wrote; and the two name catalogues, sorted.
#include "check_functions.h"

#include <string>
#include <vector>

#include "compiler/program/name_catalogues.h"
#include "parser/names.h"
#include "py_args.h"
#include "py_errors.h"
#include "verifier/validate.h"

namespace mirtova::py {

PyObject* check(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  static const Signature sig{"check", {"source", "engine", "import_root"}, 1};
  return guarded([&]() -> PyObject* {
    std::vector<PyObject*> bound;
    if (!bind_arguments(sig, args, nargs, kwnames, bound)) return nullptr;
    std::string_view source;
    std::optional<std::string> engine;
    std::optional<std::vector<std::string>> import_root;
    if (!convert_text(bound[0], "source", source) || !convert_optional_text(bound[1], "engine", engine) ||
        !convert_optional_texts(bound[2], "import_root", import_root))
      return nullptr;
    if (!check_engine(engine)) return nullptr;
    std::optional<Json> tree = parse_source(source, std::nullopt, import_root);
    if (!tree) return nullptr;
    PredicateNames names = PredicateNames::of(*tree);
    verifier::CheckResult result = verifier::validate(*tree);
    std::vector<std::string> errors, warnings;
    errors.reserve(result.errors.size());
    for (const verifier::CheckError& error : result.errors)
      errors.push_back(names.written(verifier::text(error)));
    warnings.reserve(result.warnings.size());
    for (const std::string& warning : result.warnings) warnings.push_back(names.written(warning));
    PyObject* error_list = new_str_list(errors);
    if (!error_list) return nullptr;
    PyObject* warning_list = new_str_list(warnings);
    if (!warning_list) {
      Py_DECREF(error_list);
      return nullptr;
    }
    PyObject* pair = PyTuple_Pack(2, error_list, warning_list);
    Py_DECREF(error_list);
    Py_DECREF(warning_list);
    return pair;
  });
}

PyObject* reserved_predicates(PyObject*, PyObject*) {
  return guarded([]() -> PyObject* { return new_str_list(reserved_predicate_names().sorted()); });
}

PyObject* builtin_functions(PyObject*, PyObject*) {
  return guarded([]() -> PyObject* { return new_str_list(builtin_function_names().sorted()); });
}

}  // namespace mirtova::py
