// The compiling functions: parse, build one program object, ask it for SQL or a
// plan, and word its failures for the host.
#include "compile_functions.h"

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "compiler/program/universe.h"
#include "parser/names.h"
#include "py_args.h"
#include "py_errors.h"
#include "verifier/assertions.h"
#include "verifier/rule_lists.h"

namespace mirtova::py {
namespace {

std::string error_text(const CompileError& e) {
  if (e.rule_text.empty()) return "Compile error: " + e.message;
  return "Compile error in rule: " + e.rule_text + "\n" + e.message;
}

PyObject* raise_value_error(const std::string& text) {
  PyObject* s = new_str(text);
  if (s) {
    PyErr_SetObject(PyExc_ValueError, s);
    Py_DECREF(s);
  }
  return nullptr;
}

PyObject* map_err(const CompileError& e) { return raise_value_error(error_text(e)); }
PyObject* written_err(const PredicateNames& names, const CompileError& e) {
  return raise_value_error(names.written(error_text(e)));
}

std::unique_ptr<QuorilProgram> build_program(Json tree, const std::optional<std::string>& engine) {
  auto program = QuorilProgram::new_with_engine(std::move(tree), {}, {}, engine);
  if (!program.ok()) {
    map_err(program.error());
    return nullptr;
  }
  return std::move(program).value();
}

// What compiling an assertion's counterexamples takes: the caller's source
// with the counterexample rules after it, and the predicate they define.
struct AssertionSource {
  std::string text;
  std::string predicate;
};

// Parses the source and finds the assertion `name` of `predicate` (as the user
// wrote it); nullopt with ValueError set when it does not parse or the
// assertion cannot be searched, the refusal naming predicates as written.
std::optional<AssertionSource> assertion_source(std::string_view source, std::string_view predicate,
                                                std::string_view name,
                                                const std::optional<std::vector<std::string>>& import_root) {
  std::optional<Json> tree = parse_source(source, std::nullopt, import_root);
  if (!tree) return std::nullopt;
  const PredicateNames names = PredicateNames::of(*tree);
  const verifier::RuleLists lists = verifier::rule_lists(*tree);
  auto translation = verifier::assertion_check(lists.full, names.internal(predicate), name);
  if (!translation.ok()) {
    raise_value_error(names.written(translation.error()));
    return std::nullopt;
  }
  // The ";" ends a last statement the source left open, so the rules never join it.
  std::string text(source);
  text += "\n;\n";
  text += translation.value().program;
  text += '\n';
  return AssertionSource{std::move(text), std::move(translation).value().predicate};
}

// compile and search: the one script of a predicate.
PyObject* compile_script(const Signature& sig, bool with_pattern, PyObject* const* args, Py_ssize_t nargs,
                         PyObject* kwnames) {
  return guarded([&]() -> PyObject* {
    std::vector<PyObject*> bound;
    if (!bind_arguments(sig, args, nargs, kwnames, bound)) return nullptr;
    size_t at = 0;
    std::string_view source, predicate, pattern_text;
    PageWindow window;
    std::optional<std::string> engine;
    std::optional<std::vector<std::string>> import_root;
    if (!convert_text(bound[at++], "source", source) || !convert_text(bound[at++], "predicate", predicate))
      return nullptr;
    if (with_pattern && !convert_text(bound[at++], "pattern", pattern_text)) return nullptr;
    if (!convert_optional_count(bound[at++], "limit", window.limit) ||
        !convert_optional_count(bound[at++], "offset", window.offset) ||
        !convert_optional_text(bound[at++], "engine", engine) ||
        !convert_optional_texts(bound[at++], "import_root", import_root))
      return nullptr;
    if (!check_engine(engine)) return nullptr;
    std::optional<Json> tree = parse_source(source, std::nullopt, import_root);
    if (!tree) return nullptr;
    PredicateNames names = PredicateNames::of(*tree);
    std::unique_ptr<QuorilProgram> program = build_program(std::move(*tree), engine);
    if (!program) return nullptr;
    std::optional<std::string> pattern;
    if (with_pattern) pattern = std::string(pattern_text);
    auto sql = program->formatted_predicate_sql_impl(names.internal(predicate), window, pattern);
    if (!sql.ok()) return written_err(names, sql.error());
    return new_str(sql.value());
  });
}

// A new dict of the step, keys in the order hosts rely on.
PyObject* step_dict(const PlanStep& step) {
  PyObject* d = PyDict_New();
  if (!d) return nullptr;
  auto put = [d](const char* key, PyObject* value) { return put_item(d, key, value); };
  bool ok = true;
  switch (step.kind) {
    case PlanStep::Kind::Setup:
      ok = put("kind", new_str("setup")) && put("sql", new_str(step.sql));
      break;
    case PlanStep::Kind::Sql:
      ok = put("kind", new_str("sql")) && put("sql", new_str(step.sql));
      break;
    case PlanStep::Kind::Loop: {
      ok = put("kind", new_str("loop"));
      PyObject* body = ok ? PyList_New(0) : nullptr;
      for (const std::string& s : step.body) {
        if (!body) break;
        PyObject* item = new_str(s);
        if (!item || PyList_Append(body, item) < 0) {
          Py_XDECREF(item);
          Py_CLEAR(body);
          break;
        }
        Py_DECREF(item);
      }
      ok = ok && put("body", body) && put("repetitions", PyLong_FromLongLong(step.repetitions)) &&
           put("changed", new_str(step.changed));
      break;
    }
  }
  if (!ok) {
    Py_DECREF(d);
    return nullptr;
  }
  return d;
}

}  // namespace

PyObject* compile(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  static const Signature sig{
      "compile", {"source", "predicate", "limit", "offset", "engine", "import_root"}, 2};
  return compile_script(sig, false, args, nargs, kwnames);
}

PyObject* search(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  static const Signature sig{
      "search", {"source", "predicate", "pattern", "limit", "offset", "engine", "import_root"}, 3};
  return compile_script(sig, true, args, nargs, kwnames);
}

PyObject* compile_all(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  static const Signature sig{"compile_all", {"source", "engine", "import_root"}, 1};
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
    std::unique_ptr<QuorilProgram> program = build_program(std::move(*tree), engine);
    if (!program) return nullptr;
    std::vector<std::pair<std::string, std::string>> scripts;
    size_t bytes = 0;
    for (const std::string& name : program->user_defined_predicates()) {
      auto sql = program->formatted_predicate_sql_impl(name, PageWindow{}, std::nullopt);
      if (!sql.ok()) return map_err(sql.error());
      // Each script is bounded, and so are all of them together.
      bytes += sql.value().size();
      if (bytes > kMaxScriptBytes)
        return map_err(CompileError("The scripts of this program pass " + std::to_string(kMaxScriptBytes) +
                                    " bytes, more than one call may return; compile its predicates one by "
                                    "one, or use plan() to run their steps one by one."));
      scripts.emplace_back(name, std::move(sql).value());
    }
    PyObject* d = PyDict_New();
    if (!d) return nullptr;
    for (const auto& [name, sql] : scripts) {
      if (!put_item(d, name.c_str(), new_str(sql))) {
        Py_DECREF(d);
        return nullptr;
      }
    }
    return d;
  });
}

PyObject* counterexamples(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  static const Signature sig{
      "counterexamples", {"source", "predicate", "name", "limit", "offset", "engine", "import_root"}, 3};
  return guarded([&]() -> PyObject* {
    std::vector<PyObject*> bound;
    if (!bind_arguments(sig, args, nargs, kwnames, bound)) return nullptr;
    std::string_view source, predicate, name;
    PageWindow window;
    std::optional<std::string> engine;
    std::optional<std::vector<std::string>> import_root;
    if (!convert_text(bound[0], "source", source) || !convert_text(bound[1], "predicate", predicate) ||
        !convert_text(bound[2], "name", name) || !convert_optional_count(bound[3], "limit", window.limit) ||
        !convert_optional_count(bound[4], "offset", window.offset) ||
        !convert_optional_text(bound[5], "engine", engine) ||
        !convert_optional_texts(bound[6], "import_root", import_root))
      return nullptr;
    if (!check_engine(engine)) return nullptr;
    std::optional<AssertionSource> extended = assertion_source(source, predicate, name, import_root);
    if (!extended) return nullptr;
    std::optional<Json> tree = parse_source(extended->text, std::nullopt, import_root);
    if (!tree) return nullptr;
    std::unique_ptr<QuorilProgram> program = build_program(std::move(*tree), engine);
    if (!program) return nullptr;
    auto sql = program->formatted_predicate_sql_impl(extended->predicate, window, std::nullopt);
    if (!sql.ok()) return map_err(sql.error());
    return new_str(sql.value());
  });
}

PyObject* plan(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  static const Signature sig{
      "plan", {"source", "predicate", "limit", "offset", "engine", "import_root", "pattern", "assertion"}, 2};
  return guarded([&]() -> PyObject* {
    std::vector<PyObject*> bound;
    if (!bind_arguments(sig, args, nargs, kwnames, bound)) return nullptr;
    std::string_view source, predicate;
    PageWindow window;
    std::optional<std::string> engine, pattern, assertion;
    std::optional<std::vector<std::string>> import_root;
    if (!convert_text(bound[0], "source", source) || !convert_text(bound[1], "predicate", predicate) ||
        !convert_optional_count(bound[2], "limit", window.limit) ||
        !convert_optional_count(bound[3], "offset", window.offset) ||
        !convert_optional_text(bound[4], "engine", engine) ||
        !convert_optional_texts(bound[5], "import_root", import_root) ||
        !convert_optional_text(bound[6], "pattern", pattern) ||
        !convert_optional_text(bound[7], "assertion", assertion))
      return nullptr;
    if (!check_engine(engine)) return nullptr;
    std::optional<AssertionSource> extended;
    if (assertion) {
      extended = assertion_source(source, predicate, *assertion, import_root);
      if (!extended) return nullptr;
    }
    std::optional<Json> tree = parse_source(extended ? extended->text : source, std::nullopt, import_root);
    if (!tree) return nullptr;
    PredicateNames names = PredicateNames::of(*tree);
    std::unique_ptr<QuorilProgram> program = build_program(std::move(*tree), engine);
    if (!program) return nullptr;
    const std::string_view planned = extended ? std::string_view(extended->predicate) : predicate;
    auto steps = program->formatted_predicate_plan(names.internal(planned), window, pattern);
    if (!steps.ok()) return written_err(names, steps.error());
    PyObject* list = PyList_New(0);
    if (!list) return nullptr;
    for (const PlanStep& step : steps.value()) {
      PyObject* d = step_dict(step);
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

}  // namespace mirtova::py
