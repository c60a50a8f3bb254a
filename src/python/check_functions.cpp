// check and assertions: parse, run the verifier and return its messages or its
// assertion reports in the names the user wrote; and the two name catalogues, sorted.
#include "check_functions.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "common/bounds.h"
#include "compiler/program/name_catalogues.h"
#include "compiler/program/universe.h"
#include "parser/names.h"
#include "py_args.h"
#include "py_errors.h"
#include "verifier/validate.h"

namespace mirtova::py {

namespace {

// check and assertions: the arguments bound and converted, the engine checked
// (and then unused); nullopt with the exception set.
struct CheckRequest {
  std::string source;
  std::optional<std::vector<std::string>> import_root;
};

std::optional<CheckRequest> check_request(const Signature& sig, PyObject* const* args, Py_ssize_t nargs,
                                          PyObject* kwnames) {
  std::vector<PyObject*> bound;
  if (!bind_arguments(sig, args, nargs, kwnames, bound)) return std::nullopt;
  std::string_view source;
  std::optional<std::string> named_engine;
  std::optional<Engine> engine;
  CheckRequest request;
  if (!convert_text(bound[0], "source", source) || !convert_optional_text(bound[1], "engine", named_engine) ||
      !convert_optional_texts(bound[2], "import_root", request.import_root))
    return std::nullopt;
  if (!read_engine(named_engine, engine)) return std::nullopt;
  request.source = source;
  return request;
}

// One assertion report, its predicate and detail in the names the user wrote.
struct WrittenReport {
  std::string predicate, name, statement, status;
  std::optional<std::string> detail;
};

// A new dict of the report, "detail" None when there is none.
PyObject* report_dict(const WrittenReport& report) {
  PyObject* d = PyDict_New();
  if (!d) return nullptr;
  auto put = [d](const char* key, PyObject* value) { return put_item(d, key, value); };
  const bool ok = put("predicate", new_str(report.predicate)) && put("name", new_str(report.name)) &&
                  put("statement", new_str(report.statement)) && put("status", new_str(report.status)) &&
                  put("detail", report.detail ? new_str(*report.detail) : Py_NewRef(Py_None));
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
    std::optional<CheckRequest> request = check_request(sig, args, nargs, kwnames);
    if (!request) return nullptr;
    using Messages = std::pair<std::vector<std::string>, std::vector<std::string>>;
    Outcome<Messages> messages = without_gil([&]() -> Outcome<Messages> {
      TRY(Json tree, parse_tree(request->source, std::nullopt, request->import_root));
      PredicateNames names = PredicateNames::of(tree);
      verifier::CheckResult result = verifier::validate(tree);
      // A finding quotes its rule, and a rule may have a finding per variable:
      // the texts together are bounded, as the scripts of compile_all are.
      Messages out;
      size_t bytes = 0;
      auto add = [&bytes](std::vector<std::string>& texts, std::string text) {
        bytes += text.size();
        if (bytes > kMaxScriptBytes) return false;
        texts.push_back(std::move(text));
        return true;
      };
      bool within = !result.past_bound;
      for (const verifier::CheckError& error : result.errors)
        within = within && add(out.first, names.written(verifier::text(error)));
      for (const std::string& warning : result.warnings)
        within = within && add(out.second, names.written(warning));
      if (!within)
        return HostError{"The findings of this program pass " + std::to_string(kMaxScriptBytes) +
                         " bytes, more than one call may return; check its rules a few at a time."};
      return out;
    });
    if (!messages.ok()) return raise_value_error(messages.error().message);
    PyObject* error_list = new_str_list(messages.value().first);
    if (!error_list) return nullptr;
    PyObject* warning_list = new_str_list(messages.value().second);
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
    std::optional<CheckRequest> request = check_request(sig, args, nargs, kwnames);
    if (!request) return nullptr;
    Outcome<std::vector<WrittenReport>> reports = without_gil([&]() -> Outcome<std::vector<WrittenReport>> {
      TRY(Json tree, parse_tree(request->source, std::nullopt, request->import_root));
      const PredicateNames names = PredicateNames::of(tree);
      const verifier::CheckResult result = verifier::validate(tree);
      std::vector<WrittenReport> out;
      out.reserve(result.reports.size());
      for (const assertion::AssertionReport& report : result.reports) {
        out.push_back(WrittenReport{names.written(report.predicate), report.name, report.statement,
                                    std::string(assertion::status_text(report.status)), std::nullopt});
        if (report.detail) out.back().detail = names.written(*report.detail);
      }
      return out;
    });
    if (!reports.ok()) return raise_value_error(reports.error().message);
    return new_object_list(reports.value(), report_dict);
  });
}

PyObject* reserved_predicates(PyObject*, PyObject*) {
  return guarded([]() -> PyObject* { return new_str_list(reserved_predicate_names().sorted()); });
}

PyObject* builtin_functions(PyObject*, PyObject*) {
  return guarded([]() -> PyObject* { return new_str_list(builtin_function_names().sorted()); });
}

}  // namespace mirtova::py
