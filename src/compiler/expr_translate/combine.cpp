// Combines as sub-queries: through the program in general, and directly over
// the unnested list for a combine that only ranges over one list.
#include <set>

#include "compiler/dialects/dialect.h"
#include "compiler/expr_translate/apply_template.h"
#include "compiler/expr_translate/expr_translator.h"
#include "parser/tree_build.h"
#include "parser/tree_walk.h"

namespace mirtova {
namespace {

using SqlResult = Result<std::string, CompileError>;

// Variables named anywhere below `node`; false when a nested combine is met (its
// variables have their own scope, which only the program can resolve).
bool collect_variables(const Json& node, std::set<std::string, std::less<>>& names) {
  return walk_tree(node, [&](const Json& at) {
    if (at.has("combine")) return Walk::Stop;
    if (const Json* variable = at.get("variable"))
      if (const Json* name = variable->get("var_name"))
        names.insert(name->is_str() ? std::string(name->as_str()) : name->compact());
    return Walk::Enter;
  });
}

// The aggregating call of a combine's head: "quoril_value"'s aggregation.
const Json* aggregating_call(const Json& rule) {
  const Json* entries = rule.at("head").at("record").get("field_value");
  if (entries == nullptr || entries->size() != 1) return nullptr;
  const Json* aggregation = entries->as_array()[0].at("value").get("aggregation");
  if (aggregation == nullptr) return nullptr;
  const Json* expression = aggregation->get("expression");
  return expression != nullptr ? expression->get("call") : nullptr;
}

}  // namespace

Result<std::string, CompileError> ExprTranslator::convert_combine(const Json& rule) {
  if (subquery_translator == nullptr) {
    return CompileError("Combine expressions require a subquery translator");
  }
  TRY(std::optional<std::string> over_list, combine_of_lists(rule));
  if (over_list) return *over_list;
  TRY(std::string sql,
      subquery_translator->translate_rule(rule, vocabulary, variable_types, true, outer_rows));
  if (dialect->casts_combines_to_their_type()) {
    if (std::optional<std::string> type = subquery_translator->combine_psql_type(rule)) {
      return "CAST((" + sql + ") AS " + *type + ")";
    }
  }
  return "(" + sql + ")";
}

Result<std::optional<std::string>, CompileError> ExprTranslator::combine_of_lists(const Json& rule) {
  using Optional = std::optional<std::string>;
  if (!dialect->combines_over_lists()) return Optional();
  const Json* call = aggregating_call(rule);
  if (call == nullptr) return Optional();
  std::vector<const Json*> aggregated = call_arguments(*call);
  // A refused aggregate is left to the general path, which names it.
  const std::string aggregate_name(call->at("predicate_name").as_str());
  const std::string* aggregate = function_template(aggregate_name, 1);
  if (aggregate == nullptr || aggregated.size() != 1 || is_refused(aggregate_name) ||
      *aggregate == kNotOnThisEngine || arguments_needed(*aggregate) > 1) {
    return Optional();
  }
  const Json* body = rule.get("body");
  if (body == nullptr) return Optional();

  // Exactly one inclusion of a new variable in a list the rule already knows;
  // every other conjunct a condition over that variable and the rule's own.
  const Json* inclusion = nullptr;
  std::vector<const Json*> conditions;
  for (const Json& conjunct : body->at("conjunction").at("conjunct").as_array()) {
    if (const Json* found = conjunct.get("inclusion")) {
      if (inclusion != nullptr) return Optional();
      inclusion = found;
    } else if (const Json* predicate = conjunct.get("predicate")) {
      if (!is_boolean_call(*predicate)) return Optional();
      conditions.push_back(predicate);
    } else {
      return Optional();
    }
  }
  if (inclusion == nullptr) return Optional();
  const Json* element = inclusion->at("element").get("variable");
  if (element == nullptr) return Optional();
  const Json& name_node = element->at("var_name");
  std::string element_name(name_node.is_str() ? std::string(name_node.as_str()) : name_node.compact());
  if (element_name == "_" || vocabulary.count(element_name) > 0) return Optional();

  std::set<std::string, std::less<>> used;
  const Json& list = inclusion->at("list");
  // The empty list written as such is of no type where bare nulls are not:
  // the general path gives its element the bare null.
  if (const Json* literal = list.get("literal"); literal != nullptr && dialect->types_bare_nulls())
    if (const Json* written = literal->get("the_list");
        written != nullptr && (!written->has("element") || written->at("element").as_array().empty()))
      return Optional();
  if (!collect_variables(list, used) || used.count(element_name) > 0) return Optional();
  for (const std::string& name : used) {
    if (vocabulary.count(name) == 0) return Optional();
  }
  used.clear();
  if (!collect_variables(*aggregated[0], used)) return Optional();
  for (const Json* condition : conditions) {
    if (!collect_variables(*condition, used)) return Optional();
  }
  for (const std::string& name : used) {
    if (name != element_name && vocabulary.count(name) == 0) return Optional();
  }

  // The element is read through the engine's own access to an unnested value,
  // under the alias mirtova_u0.
  const std::string alias = "mirtova_u0";
  auto unnested = functions->find("ValueOfUnnested");
  std::string element_sql = unnested != functions->end() ? apply_template(unnested->second, {alias}) : alias;

  TRY(std::string list_sql, convert_to_sql_expecting(list, Type::any()));
  // A list computed by a sub-query reads the query around from inside UNNEST,
  // which an engine that has outer values carried cannot decorrelate ("Scalar
  // subqueries in UNNEST are not supported", "Given correlated subquery is not
  // supported"): the general path carries them and unnests such a list its own way.
  if (dialect->carries_outer_values() && list_sql.find("(SELECT ") != std::string::npos) return Optional();
  Type list_type = value_type(list);
  std::string from = apply_template(dialect->unnest_phrase_of(list_type), {list_sql, alias});

  ExprTranslator inner = scoped({{element_name, element_sql}});
  if (list_type.is_list()) inner.variable_types.insert_or_assign(element_name, list_type.element());
  // Lists and records are ordered the engine's own way, where it has one, by
  // the general path.
  if (aggregate_name == "Max" || aggregate_name == "Min") {
    const Type type = inner.value_type(*aggregated[0]);
    const std::string_view kind = type.is_list() ? "list" : type.is_record() ? "record" : "";
    if (!kind.empty() && function_template(aggregate_name, 1, kind) != aggregate) return Optional();
    if ((type.is_list() && dialect->extreme_list(true)) ||
        (type.is_record() && (dialect->compares_every_record_in_form() ||
                              dialect->extreme_record(leaf_fields(type, "({0})"), true))))
      return Optional();
  }
  TRY(std::string value, inner.convert_to_sql_expecting(*aggregated[0], Type::any()));
  std::vector<std::string> tests;
  for (const Json* condition : conditions) {
    TRY(std::string test, inner.convert_to_sql_expecting(make_call_expr(*condition), Type::boolean()));
    tests.push_back(std::move(test));
  }
  std::string sql = "(SELECT " + apply_template(*aggregate, {value}) + " FROM " + from;
  for (size_t i = 0; i < tests.size(); ++i) sql += (i == 0 ? " WHERE " : " AND ") + tests[i];
  return Optional(sql + ")");
}

}  // namespace mirtova
