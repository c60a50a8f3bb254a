#include "assertion/translate.h"

#include <algorithm>
#include <string>
#include <vector>

#include "assertion/emitter.h"
#include "assertion/normal_form.h"
#include "assertion/resolver.h"
#include "assertion/variable_names.h"
#include "common/strings.h"

namespace mirtova::assertion {

namespace {

// A head names each column once, also for a name bound twice (∀ x x).
void add_once(std::vector<std::string>& names, std::string name) {
  if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(std::move(name));
}

}  // namespace

Result<Translation, TranslateError> translate(const Expr& statement, const Schema& schema,
                                              std::string_view head, ColumnLists* listed) {
  std::vector<std::string> missing = collect_missing(statement, schema);
  if (!missing.empty()) return TranslateError::pending(std::move(missing));

  Resolver resolver;
  std::vector<std::string> head_vars;
  const Expr* rest = &statement;
  for (; rest->kind == Expr::Kind::Forall; rest = &rest->body())
    for (const std::string& var : rest->vars) add_once(head_vars, resolver.add_outer(var));
  TRY(Expr resolved, resolver.resolve(*rest));
  for (const std::string& var : resolver.free()) add_once(head_vars, var);

  TRY(Nnf negation, nnf(resolved, true));
  Emitter emitter(schema, std::string(head), listed);
  std::vector<std::string> head_args;
  for (const std::string& var : head_vars) head_args.push_back(head_argument(var));
  if (head_args.empty()) head_args.emplace_back("violated: 1");

  TRY(Dnf conjuncts, dnf(negation));
  if (conjuncts.empty()) return TranslateError::unsupported("the statement is true whatever the data");
  std::vector<std::string> main_rules;
  for (const Conjunct& conjunct : conjuncts) {
    TRY(ConjunctOutcome outcome, emitter.conjunct_seeded(conjunct, head_vars, Body{}));
    if (outcome.unbound)
      return TranslateError::unsupported("variable '" + std::string(display(*outcome.unbound)) +
                                         "' is not bound by a predicate, so it has no values to check");
    if (outcome.texts.empty()) return TranslateError::unsupported("the statement is false whatever the data");
    TRY(std::string rule, emitter.rule(head, head_args, outcome.texts));
    main_rules.push_back(std::move(rule));
    for (const std::vector<std::string>& form : outcome.null_forms) {
      TRY(std::string null_rule, emitter.rule(head, head_args, form));
      main_rules.push_back(std::move(null_rule));
    }
  }

  std::vector<std::string> lines = emitter.rules();
  for (std::string& rule : main_rules) lines.push_back(std::move(rule));
  Translation out;
  out.predicate = std::string(head);
  out.columns = head_vars.empty() ? std::vector<std::string>{"violated"} : std::move(head_vars);
  out.program = join(lines, "\n");
  out.helpers = emitter.helpers();
  return out;
}

}  // namespace mirtova::assertion
