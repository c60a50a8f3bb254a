// check and assertions: parse, run the verifier and return its messages or its
// assertion reports in the names the user wrote; and the two name catalogues, sorted.
#include "check_functions.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "compiler/program/name_catalogues.h"
#include "compiler/program/universe.h"
#include "parser/names.h"
#include "py_args.h"
#include "py_errors.h"
#include "verifier/validate.h"

namespace mirtova::py {

namespace {

// check and assertions: the arguments bound and converted, the engine checked
// (and then unused), the source parsed; nullopt with the exception set.
std::optional<Json> parsed_for_check(const Signature& sig, PyObject* const* args, Py_ssize_t nargs,
                                     PyObject* kwnames) {
  std::vector<PyObject*> bound;
  if (!bind_arguments(sig, args, nargs, kwnames, bound)) return std::nullopt;
  std::string_view source;
  std::optional<std::string> engine;
  std::optional<std::vector<std::string>> import_root;
  if (!convert_text(bound[0], "source", source) || !convert_optional_text(bound[1], "engine", engine) ||
      !convert_optional_texts(bound[2], "import_root", import_root))
    return std::nullopt;
  if (!check_engine(engine)) return std::nullopt;
  return parse_source(source, std::nullopt, import_root);
}

// A new dict of the report: the predicate and the detail in the names the
// user wrote, "detail" None when there is none.
PyObject* report_dict(const assertion::AssertionReport& report, const PredicateNames& names) {
  PyObject* d = PyDict_New();
  if (!d) return nullptr;
  auto put = [d](const char* key, PyObject* value) { return put_item(d, key, value); };
  const bool ok = put("predicate", new_str(names.written(report.predicate))) &&
                  put("name", new_str(report.name)) && put("statement", new_str(report.statement)) &&
                  put("status", new_str(assertion::status_text(report.status))) &&
                  put("detail", report.detail ? new_str(names.written(*report.detail)) : Py_NewRef(Py_None));
  if (!ok) {
    Py_DECREF(d);
    return nullptr;
  }
  return d;
}

}  // namespace

PyObject* check(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  static const Signature sig{"check", {"source", "engine", "import_root"}, 1};
  return guarded([&]() -> PyObject* {
    std::optional<Json> tree = parsed_for_check(sig, args, nargs, kwnames);
    if (!tree) return nullptr;
    PredicateNames names = PredicateNames::of(*tree);
    verifier::CheckResult result = verifier::validate(*tree);
    // A finding quotes its rule, and a rule may have a finding per variable:
    // the texts together are bounded, as the scripts of compile_all are.
    std::vector<std::string> errors, warnings;
    size_t bytes = 0;
    auto add = [&bytes](std::vector<std::string>& texts, std::string text) {
      bytes += text.size();
      if (bytes > kMaxScriptBytes) return false;
      texts.push_back(std::move(text));
      return true;
    };
    bool within = true;
    for (const verifier::CheckError& error : result.errors)
      within = within && add(errors, names.written(verifier::text(error)));
    for (const std::string& warning : result.warnings)
      within = within && add(warnings, names.written(warning));
    if (!within) {
      PyErr_SetString(PyExc_ValueError,
                      ("The findings of this program pass " + std::to_string(kMaxScriptBytes) +
                       " bytes, more than one call may return; check its rules a few at a time.")
                          .c_str());
      return nullptr;
    }
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

PyObject* assertions(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  static const Signature sig{"assertions", {"source", "engine", "import_root"}, 1};
  return guarded([&]() -> PyObject* {
    std::optional<Json> tree = parsed_for_check(sig, args, nargs, kwnames);
    if (!tree) return nullptr;
    const PredicateNames names = PredicateNames::of(*tree);
    const verifier::CheckResult result = verifier::validate(*tree);
    PyObject* list = PyList_New(0);
    if (!list) return nullptr;
    for (const assertion::AssertionReport& report : result.reports) {
      PyObject* d = report_dict(report, names);
      if (!d || PyList_Append(list, d) < 0) {
        Py_XDECREF(d);
        Py_DECREF(list);
        return nullptr;
      }
      Py_DECREF(d);
    }
    return list;
  });
}

PyObject* reserved_predicates(PyObject*, PyObject*) {
  return guarded([]() -> PyObject* { return new_str_list(reserved_predicate_names().sorted()); });
}

PyObject* builtin_functions(PyObject*, PyObject*) {
  return guarded([]() -> PyObject* { return new_str_list(builtin_function_names().sorted()); });
}

}  // namespace mirtova::py
