// The compiling functions: parse, build one program object, ask it for SQL or a
// plan, and word its failures for the host.
#include "compile_functions.h"

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "common/bounds.h"
#include "compiler/program/scripts_bound.h"
#include "compiler/program/universe.h"
#include "parser/file_statements.h"
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

HostError compile_err(const CompileError& e) { return HostError{error_text(e)}; }
HostError written_err(const PredicateNames& names, const CompileError& e) {
  return HostError{names.written(error_text(e))};
}

Outcome<std::unique_ptr<QuorilProgram>> build_program(Json tree, std::optional<Engine> engine) {
  auto program = QuorilProgram::new_with_engine(std::move(tree), {}, {}, engine);
  if (!program.ok()) return compile_err(program.error());
  return std::move(program).value();
}

// What compiling an assertion's counterexamples takes: the caller's source
// with the counterexample rules after it, parsed, and the predicate they define.
struct AssertionSource {
  Json tree;
  std::string predicate;
};

// Parses the source and finds the assertion `name` of `predicate` (as the user
// wrote it); fails when it does not parse or the assertion cannot be searched,
// the refusal naming predicates as written. The source's statements are read
// once: the tree searched is made from a copy of them, and the counterexample
// rules' statements are added to them.
Outcome<AssertionSource> assertion_source(std::string_view source, std::string_view predicate,
                                          std::string_view name,
                                          const std::optional<std::vector<std::string>>& import_root) {
  ParseSession session;
  session.import_roots = import_root.value_or(std::vector<std::string>{});
  auto read = read_statements(std::string(source), "main", session, {});
  if (!read.ok()) return HostError{read.error().show_message()};
  FileStatements statements = std::move(read).value();
  auto searched = finish_file(statements, "main", session);
  if (!searched.ok()) return HostError{searched.error().show_message()};
  const Json& tree = searched.value();
  const PredicateNames names = PredicateNames::of(tree);
  auto translation =
      verifier::assertion_check(verifier::rule_lists(tree).full, names.internal(predicate), name);
  if (!translation.ok()) return HostError{names.written(translation.error())};
  const std::string& rules = translation.value().program;
  std::string head = translation.value().predicate;
  // After a block comment left open the rules would be part of it, as they
  // are when the texts are joined: then they are.
  if (source.find("/*") == std::string_view::npos) {
    auto added = read_more_statements(rules, statements);
    if (!added.ok()) return HostError{added.error().show_message()};
    auto whole = finish_file(std::move(statements), "main", session);
    if (!whole.ok()) return HostError{whole.error().show_message()};
    return AssertionSource{std::move(whole).value(), std::move(head)};
  }
  // The ";" ends a last statement the source left open, so the rules never join it.
  std::string text(source);
  text += "\n;\n";
  text += rules;
  text += '\n';
  TRY(Json whole, parse_tree(text, std::nullopt, import_root));
  return AssertionSource{std::move(whole), std::move(head)};
}

// The arguments of compile and search, as C++ values.
struct ScriptRequest {
  std::string source, predicate;
  std::optional<std::string> pattern;
  PageWindow window;
  std::optional<Engine> engine;
  std::optional<std::vector<std::string>> import_root;
};

Outcome<std::string> script_of(const ScriptRequest& request) {
  TRY(Json tree, parse_tree(request.source, std::nullopt, request.import_root));
  PredicateNames names = PredicateNames::of(tree);
  TRY(std::unique_ptr<QuorilProgram> program, build_program(std::move(tree), request.engine));
  auto sql = program->formatted_predicate_sql_impl(names.internal(request.predicate), request.window,
                                                   request.pattern);
  if (!sql.ok()) return written_err(names, sql.error());
  return std::move(sql).value();
}

// compile and search: the one script of a predicate.
PyObject* compile_script(const Signature& sig, bool with_pattern, PyObject* const* args, Py_ssize_t nargs,
                         PyObject* kwnames) {
  return guarded([&]() -> PyObject* {
    std::vector<PyObject*> bound;
    if (!bind_arguments(sig, args, nargs, kwnames, bound)) return nullptr;
    size_t at = 0;
    std::string_view source, predicate, pattern_text;
    std::optional<std::string> named_engine;
    ScriptRequest request;
    if (!convert_text(bound[at++], "source", source) || !convert_text(bound[at++], "predicate", predicate))
      return nullptr;
    if (with_pattern && !convert_text(bound[at++], "pattern", pattern_text)) return nullptr;
    if (!convert_optional_count(bound[at++], "limit", request.window.limit) ||
        !convert_optional_count(bound[at++], "offset", request.window.offset) ||
        !convert_optional_text(bound[at++], "engine", named_engine) ||
        !convert_optional_texts(bound[at++], "import_root", request.import_root))
      return nullptr;
    if (!read_engine(named_engine, request.engine)) return nullptr;
    request.source = source;
    request.predicate = predicate;
    if (with_pattern) request.pattern = std::string(pattern_text);
    Outcome<std::string> sql = without_gil([&] { return script_of(request); });
    if (!sql.ok()) return raise_value_error(sql.error().message);
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
      ok = put("kind", new_str("loop")) && put("body", new_str_list(step.body)) &&
           put("repetitions", PyLong_FromLongLong(step.repetitions)) && put("changed", new_str(step.changed));
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
    std::optional<std::string> named_engine;
    std::optional<Engine> engine;
    std::optional<std::vector<std::string>> import_root;
    if (!convert_text(bound[0], "source", source) ||
        !convert_optional_text(bound[1], "engine", named_engine) ||
        !convert_optional_texts(bound[2], "import_root", import_root))
      return nullptr;
    if (!read_engine(named_engine, engine)) return nullptr;
    const std::string text(source);
    using Scripts = std::vector<std::pair<std::string, std::string>>;
    Outcome<Scripts> scripts = without_gil([&]() -> Outcome<Scripts> {
      TRY(Json tree, parse_tree(text, std::nullopt, import_root));
      TRY(std::unique_ptr<QuorilProgram> program, build_program(std::move(tree), engine));
      program->reuse_clauses();
      const std::vector<std::string> names = program->user_defined_predicates();
      const DependencyGraph calls = program->call_graph();
      ScriptsBound least(calls, names);
      const auto too_large = [] {
        return compile_err(CompileError("The scripts of this program pass " +
                                        std::to_string(kMaxScriptBytes) +
                                        " bytes, more than one call may return; compile its predicates one "
                                        "by one, or use plan() to run their steps one by one."));
      };
      Scripts out;
      size_t bytes = 0;
      // Each script is bounded, and so are all of them together: refused as
      // soon as the scripts still to write are sure to pass the bound. Those
      // that head the longest chains are written first to tell how large the
      // others are (a script does not depend on what was compiled before it);
      // one that fails fails again in its turn.
      std::vector<std::optional<std::string>> ahead(names.size());
      for (size_t head : least.heads()) {
        auto sql = program->formatted_predicate_sql_impl(names[head], PageWindow{}, std::nullopt);
        if (!sql.ok()) continue;
        least.learn(program->last_clauses());
        least.write_ahead(head);
        bytes += sql.value().size();
        ahead[head] = std::move(sql).value();
        if (bytes > kMaxScriptBytes || least.passes(0, bytes, kMaxScriptBytes)) return too_large();
      }
      for (size_t i = 0; i < names.size(); ++i) {
        if (ahead[i]) {
          out.emplace_back(names[i], std::move(*ahead[i]));
          continue;
        }
        auto sql = program->formatted_predicate_sql_impl(names[i], PageWindow{}, std::nullopt);
        if (!sql.ok()) return compile_err(sql.error());
        bytes += sql.value().size();
        out.emplace_back(names[i], std::move(sql).value());
        least.learn(program->last_clauses());
        if (bytes > kMaxScriptBytes || least.passes(i + 1, bytes, kMaxScriptBytes)) return too_large();
      }
      return out;
    });
    if (!scripts.ok()) return raise_value_error(scripts.error().message);
    PyObject* d = PyDict_New();
    if (!d) return nullptr;
    for (const auto& [name, sql] : scripts.value()) {
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
    std::optional<std::string> named_engine;
    std::optional<Engine> engine;
    std::optional<std::vector<std::string>> import_root;
    if (!convert_text(bound[0], "source", source) || !convert_text(bound[1], "predicate", predicate) ||
        !convert_text(bound[2], "name", name) || !convert_optional_count(bound[3], "limit", window.limit) ||
        !convert_optional_count(bound[4], "offset", window.offset) ||
        !convert_optional_text(bound[5], "engine", named_engine) ||
        !convert_optional_texts(bound[6], "import_root", import_root))
      return nullptr;
    if (!read_engine(named_engine, engine)) return nullptr;
    const std::string text(source), asked(predicate), assertion(name);
    Outcome<std::string> sql = without_gil([&]() -> Outcome<std::string> {
      TRY(AssertionSource extended, assertion_source(text, asked, assertion, import_root));
      TRY(std::unique_ptr<QuorilProgram> program, build_program(std::move(extended.tree), engine));
      auto script = program->formatted_predicate_sql_impl(extended.predicate, window, std::nullopt);
      if (!script.ok()) return compile_err(script.error());
      return std::move(script).value();
    });
    if (!sql.ok()) return raise_value_error(sql.error().message);
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
    std::optional<std::string> named_engine, pattern, assertion;
    std::optional<Engine> engine;
    std::optional<std::vector<std::string>> import_root;
    if (!convert_text(bound[0], "source", source) || !convert_text(bound[1], "predicate", predicate) ||
        !convert_optional_count(bound[2], "limit", window.limit) ||
        !convert_optional_count(bound[3], "offset", window.offset) ||
        !convert_optional_text(bound[4], "engine", named_engine) ||
        !convert_optional_texts(bound[5], "import_root", import_root) ||
        !convert_optional_text(bound[6], "pattern", pattern) ||
        !convert_optional_text(bound[7], "assertion", assertion))
      return nullptr;
    if (!read_engine(named_engine, engine)) return nullptr;
    const std::string text(source), asked(predicate);
    Outcome<std::vector<PlanStep>> steps = without_gil([&]() -> Outcome<std::vector<PlanStep>> {
      std::optional<AssertionSource> extended;
      Json tree;
      if (assertion) {
        TRY(extended, assertion_source(text, asked, *assertion, import_root));
        tree = std::move(extended->tree);
      } else {
        TRY(tree, parse_tree(text, std::nullopt, import_root));
      }
      PredicateNames names = PredicateNames::of(tree);
      TRY(std::unique_ptr<QuorilProgram> program, build_program(std::move(tree), engine));
      const std::string_view planned = extended ? std::string_view(extended->predicate) : asked;
      auto plan = program->formatted_predicate_plan(names.internal(planned), window, pattern);
      if (!plan.ok()) return written_err(names, plan.error());
      return std::move(plan).value();
    });
    if (!steps.ok()) return raise_value_error(steps.error().message);
    return new_object_list(steps.value(), step_dict);
  });
}

}  // namespace mirtova::py
