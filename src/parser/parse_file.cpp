#include "parser/parse_file.h"

#include "parser/file_statements.h"
#include "parser/forms.h"
#include "parser/front_matter.h"
#include "parser/imports.h"
#include "parser/nesting.h"
#include "parser/rewrite.h"
#include "parser/traverse.h"
#include "parser/tree_access.h"

namespace mirtova {

namespace {

SpanString whole_text_span(std::string_view text, std::pair<size_t, size_t> bounds) {
  return SpanString(std::string(text)).slice(bounds.first, bounds.second);
}

// The names this file's rules define or its functor statements make, less
// annotations, in byte order.
std::set<std::string> front_matter_candidates(const Json::ArrayType& rules) {
  std::set<std::string> names = made_predicates(rules);
  for (const Json& rule : rules) names.emplace(head_name(rule));
  for (auto it = names.begin(); it != names.end();) {
    if (!it->empty() && (*it)[0] == '@')
      it = names.erase(it);
    else
      ++it;
  }
  return names;
}

ParseResult<Unit> check_front_matter_name(std::string_view text, const FrontMatterName& name,
                                          const Json::ArrayType& rules) {
  std::set<std::string> defined = front_matter_candidates(rules);
  if (defined.count(name.name)) return Unit{};
  std::string listed;
  for (const std::string& n : defined) {
    if (!listed.empty()) listed += ", ";
    listed += n;
  }
  if (listed.empty()) listed = "it defines nothing";
  return ParsingException(
      "Front matter names '" + name.name + "', which this file does not define (" + listed + ").",
      whole_text_span(text, line_bounds(text, name.line)));
}

// Hands one statement (not an import) to the parser of its form; the statement
// is re-based so that errors show it alone. A long one has its long brackets
// found first, so that reading it level by level stays linear in its length;
// a short one is read at once whatever its nesting.
ParseResult<Unit> parse_statement_rules(const SpanString& piece, Json::ArrayType& rules) {
  constexpr size_t kLongStatement = 512;
  const SpanString statement =
      piece.size() >= kLongStatement ? indexed_source(piece.to_string()) : SpanString(piece.to_string());
  TRY_VOID(check_nesting(statement));
  // The forms' separators counted in one traversal of the statement, which
  // also cuts a rule at ":-".
  static const SeparatorSet kForms({"-->", ":=", ":-"});
  TRY(SeparatorScan scan, SeparatorScan::of(statement, kForms, true));
  const size_t arrows = scan.counts[0], makes = scan.counts[1];
  if (arrows == 1) {
    TRY(auto arrow, split_raw(statement, "-->"));
    TRY(auto defined, parse_function_definition(arrow[0], arrow[1]));
    for (Json& rule : defined) rules.push_back(std::move(rule));
    return Unit{};
  }
  if (makes == 1) {
    TRY(auto functor, split(statement, ":="));
    TRY(auto make, parse_functor_statement(functor[0], functor[1]));
    rules.push_back(std::move(make));
    return Unit{};
  }
  TRY(auto rule, parse_rule_pieces(statement, std::move(scan.last_pieces)));
  append_rule_with_denotations(std::move(rule), rules);
  return Unit{};
}

ParseResult<Unit> parse_program_statement(const SpanString& piece, Json::ArrayType& rules) {
  const size_t before = rules.size();
  TRY_VOID(parse_statement_rules(piece, rules));
  // While the statement's rules are fresh in memory; their head aggregations
  // wait until the multi-body pass has read them. Most statements hold no
  // other, and a look at the text is cheaper than a walk of their trees.
  if (!may_nest_aggregations(piece.view())) return Unit{};
  for (size_t i = before; i < rules.size(); ++i) rewrite_nested_aggregations(rules[i]);
  return Unit{};
}

}  // namespace

std::pair<size_t, size_t> line_bounds(std::string_view text, size_t line) {
  if (line == 0) return {0, 0};
  size_t start = 0;
  for (size_t n = 1; start < text.size(); ++n) {
    size_t nl = text.find('\n', start);
    size_t end = nl == std::string_view::npos ? text.size() : nl + 1;
    if (n == line) {
      size_t stop = end;
      while (stop > start && (text[stop - 1] == '\n' || text[stop - 1] == '\r')) --stop;
      return {start, stop};
    }
    start = end;
  }
  return {0, 0};
}

ParseResult<Json> parse_file(std::string text, std::optional<std::string> file_name,
                             std::vector<std::string> import_roots) {
  ParseSession session;
  session.import_roots = std::move(import_roots);
  return parse_file_internal(std::move(text), file_name.value_or("main"), session, {});
}

ParseResult<Json> parse_file_internal(std::string text, const std::string& file_name, ParseSession& session,
                                      std::vector<std::string> import_chain) {
  TRY(FileStatements statements,
      read_statements(std::move(text), file_name, session, std::move(import_chain)));
  return finish_file(std::move(statements), file_name, session);
}

ParseResult<FileStatements> read_statements(std::string text, const std::string& file_name,
                                            ParseSession& session, std::vector<std::string> import_chain) {
  import_chain.push_back(file_name);

  std::optional<FrontMatterBlock> block = front_matter(text);
  if (!block && opens_front_matter(text))
    return ParsingException(
        "Front matter opened with `---` on the first line is never closed: end it with a `---` line.",
        SpanString(text).slice(0, 3));

  FileStatements out;
  if (block) {
    if (auto error = check_front_matter(*block))
      return ParsingException("Invalid front matter YAML: " + error->message + ".",
                              whole_text_span(text, line_bounds(text, error->line)));
    out.has_front_matter = true;
    out.front_matter_name = front_matter_name(*block);
    out.front_matter_description = front_matter_description(*block);
  }

  SpanString blanked(blank_front_matter(text));
  TRY(std::string comment_free, remove_comments(blanked));
  SpanString program(std::move(comment_free));
  TRY(auto pieces, split_raw(program, ";"));

  for (const SpanString& raw : pieces) {
    SpanString piece = strip(raw);
    if (piece.empty()) continue;
    if (piece.view().substr(0, 7) == "import ") {
      TRY_VOID(resolve_import(piece, session, import_chain, out.imports));
      continue;
    }
    TRY_VOID(parse_program_statement(piece, out.rules));
  }
  out.text = std::move(text);
  return out;
}

ParseResult<Unit> read_more_statements(std::string_view more, FileStatements& statements) {
  SpanString text{std::string(more)};
  TRY(std::string comment_free, remove_comments(text));
  SpanString program(std::move(comment_free));
  TRY(auto pieces, split_raw(program, ";"));
  for (const SpanString& raw : pieces) {
    SpanString piece = strip(raw);
    if (piece.empty()) continue;
    TRY_VOID(parse_program_statement(piece, statements.rules));
  }
  return Unit{};
}

ParseResult<Json> finish_file(FileStatements statements, const std::string& file_name,
                              const ParseSession& session) {
  Json::ArrayType rules = std::move(statements.rules);
  if (statements.front_matter_name)
    TRY_VOID(check_front_matter_name(statements.text, *statements.front_matter_name, rules));

  TRY(Json dnf, dnf_rewrite(Json(std::move(rules))));
  TRY(Json aggregated, multi_body_aggregation_rewrite(std::move(dnf)));
  Json rewritten = std::move(aggregated);
  for (Json& rule : rewritten.as_array_mut()) rewrite_head_aggregations(rule);
  TRY(AppliedImports applied,
      apply_imports(file_name, std::move(rewritten.as_array_mut()), statements.imports, session));

  Json tree = Json::object();
  tree.set("rule", Json(std::move(applied.rules)));
  tree.set("imported_predicates", Json(std::move(statements.imports.nodes)));
  tree.set("predicates_prefix", std::move(applied.prefix));
  tree.set("file_name", file_name);
  if (applied.predicate_names.size() > 0) tree.set("predicate_names", std::move(applied.predicate_names));
  if (file_name == "main" && statements.has_front_matter) {
    Json fm = Json::object();
    fm.set("name", statements.front_matter_name ? Json(statements.front_matter_name->name) : Json());
    fm.set("description",
           statements.front_matter_description ? Json(*statements.front_matter_description) : Json());
    tree.set("front_matter", std::move(fm));
  }
  return tree;
}

}  // namespace mirtova
