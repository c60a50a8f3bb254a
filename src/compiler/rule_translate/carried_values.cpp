// Which outer values a combine carries, and the rows the query around writes for
// them: the engines that need them decorrelate a sub-query only where the outer
// values stand in its conditions, so every other use reads a column of rows
// joined by equality with those values.
#include "compiler/rule_translate/carried_values.h"

#include <algorithm>
#include <map>
#include <vector>

#include "common/strings.h"
#include "compiler/dialects/dialect.h"
#include "compiler/dialects/quoting.h"
#include "compiler/rule_translate/rewrites.h"
#include "parser/tree_access.h"
#include "parser/tree_walk.h"

namespace mirtova {
namespace {

using Names = std::set<std::string>;

Names variables_of(const Json& node) {
  Names out;
  collect_variables(node, out);
  return out;
}

bool meets(const Names& names, const Names& others) {
  return std::any_of(names.begin(), names.end(), [&](const std::string& n) { return others.count(n) > 0; });
}

bool holds_combine(const Json* node) {
  if (node == nullptr) return false;
  bool found = false;
  walk_tree(*node, [&](const Json& at) {
    if (at.has("combine")) found = true;
    return found ? Walk::Stop : Walk::Enter;
  });
  return found;
}

// Whether the expression writes a record or reads a field of one (a call
// holds its arguments as a record too, but names its predicate).
bool holds_record_value(const Json* node) {
  if (node == nullptr) return false;
  bool found = false;
  walk_tree(*node, [&](const Json& at) {
    if (at.has("record") && !at.has("predicate_name")) found = true;
    return found ? Walk::Stop : Walk::Enter;
  });
  return found;
}

// A conjunct that binds one side's variables from the other's.
bool is_unification(const Json& conjunct) {
  if (conjunct.has("unification") || conjunct.has("inclusion")) return true;
  const Json* call = conjunct.get("predicate");
  return call != nullptr && call->at("predicate_name").as_str() == "=";
}

const Json* var_name_of(const Json& node) {
  const Json* v = node.get("variable");
  return v != nullptr ? v->get("var_name") : nullptr;
}

// Whether the rule's body names one of `names` in two places.
bool names_one_twice(const Json& rule, const Names& names) {
  const Json* body = rule.get("body");
  if (body == nullptr) return false;
  std::map<std::string, int> seen;
  bool twice = false;
  walk_tree(*body, [&](const Json& at) {
    const Json* n = var_name_of(at);
    if (n == nullptr) return twice ? Walk::Stop : Walk::Enter;
    std::string name = n->as_var_name();
    twice = twice || (names.count(name) > 0 && ++seen[name] == 2);
    return twice ? Walk::Stop : Walk::Skip;
  });
  return twice;
}

// Whether two of `names` are values of the query around that read one value
// there: the SQL of one holds that of the other ("E.col1" and "E.col1 * 2").
bool names_one_outer_value_twice(const Vocabulary& outer, const Names& names) {
  for (const std::string& one : names) {
    const std::string& sql = outer.at(one);
    for (const std::string& other : names) {
      const std::string& inner = outer.at(other);
      if (other != one && !inner.empty() && sql.find(inner) != std::string::npos) return true;
    }
  }
  return false;
}

}  // namespace

Names outer_values_to_carry(const RuleStructure& combine, const Names& outer_by_subquery,
                            bool every_when_named_twice, bool carries_field_reads) {
  Names carried;
  for (const std::string& name : variables_of(*combine.rule))
    if (combine.outer.count(name)) carried.insert(name);
  if (carried.empty()) return carried;
  // Two names of one value are that value named twice: Presto's code for a
  // join filter that reads a BIGINT outer value both beside a DOUBLE and by
  // itself does not pass the JVM's verifier.
  if (every_when_named_twice &&
      (names_one_twice(*combine.rule, carried) || names_one_outer_value_twice(combine.outer, carried)))
    return carried;
  // A value computed from an outer one is as good as outer: what a conjunct
  // binds from one counts too (more than needed, never less).
  Names outer = carried;
  const Json::ArrayType* body = body_conjuncts(*combine.rule);
  for (bool grew = body != nullptr; grew;) {
    grew = false;
    for (const Json& conjunct : *body) {
      if (!is_unification(conjunct)) continue;
      Names names = variables_of(conjunct);
      if (!meets(names, outer)) continue;
      for (const std::string& name : names) grew = outer.insert(name).second || grew;
    }
  }
  // An outer value computed by a sub-query would put that sub-query, which
  // refers to the query around, inside this one.
  bool needed = meets(carried, outer_by_subquery) || meets(variables_of(combine.rule->at("head")), outer);
  if (body != nullptr)
    for (const Json& conjunct : *body) {
      if (const Json* inclusion = conjunct.get("inclusion"))
        needed = needed || meets(variables_of(inclusion->at("list")), outer);
      walk_tree(conjunct, [&](const Json& at) {
        const Json* subscript = carries_field_reads ? at.get("subscript") : nullptr;
        const Json* record = subscript != nullptr ? subscript->get("record") : nullptr;
        if (record != nullptr && meets(variables_of(*record), outer)) needed = true;
        if (!at.has("combine")) return Walk::Enter;
        needed = needed || meets(variables_of(at), outer);
        return Walk::Skip;
      });
    }
  if (!needed) carried.clear();
  return carried;
}

Names computed_by_subquery(const RuleStructure& query, bool field_reads_too) {
  // In binding order: each binding reads only variables bound before it.
  Names out;
  for (const std::string& name : query.binding_order) {
    const Binding& b = query.bindings.at(name);
    if (b.kind != BindKind::Expression) continue;
    bool reads_computed = false;
    for (const std::string& used : variables_of(*b.expr))
      reads_computed = reads_computed || (query.bindings.count(used) > 0 && out.count(used) > 0);
    // A record may be written as a sub-query too, where it holds a value of
    // a type only the engine knows.
    if (holds_combine(b.expr) || b.reads_table || reads_computed ||
        (field_reads_too && holds_record_value(b.expr)))
      out.insert(name);
  }
  return out;
}

Result<CarriedValues, CompileError> carried_rows(const RuleStructure& query, ExprTranslator translator,
                                                 const OwnCarriedRows& own, const Names& wanted,
                                                 const std::vector<const Json*>& lists) {
  const Vocabulary& known = translator.vocabulary;
  // What an expression needs bound: its variables, and of a combine in it those
  // the query binds.
  auto needs = [&](const Json* node) {
    Names out;
    if (node == nullptr) return out;
    for (const std::string& name : variables_of(*node))
      if (query.bindings.count(name)) out.insert(name);
    return out;
  };
  auto written = [&](const Names& names) {
    return std::all_of(names.begin(), names.end(), [&](const std::string& n) { return known.count(n) > 0; });
  };
  // A value of a query further out that this query does not carry: its
  // conditions over one refer out, so they are left out.
  auto refers_out = [&](const Names& names) {
    return std::any_of(names.begin(), names.end(), [&](const std::string& n) {
      auto b = query.bindings.find(n);
      return b != query.bindings.end() && b->second.kind == BindKind::Outer && own.columns.count(n) == 0;
    });
  };
  const Names by_subquery = computed_by_subquery(query, !translator.dialect->correlates_field_reads());

  std::vector<std::string> keys, computed;
  Names seen;
  std::vector<std::string> pending(wanted.rbegin(), wanted.rend());
  while (!pending.empty()) {
    std::string name = std::move(pending.back());
    pending.pop_back();
    if (!seen.insert(name).second) continue;
    auto b = query.bindings.find(name);
    if (b == query.bindings.end() || known.count(name) == 0 || refers_out({name}))
      return CompileError("Variable '" + name + "' is read two sub-queries deep, which engine " +
                              std::string(translator.dialect->name()) + " cannot read here.",
                          query.text());
    if (by_subquery.count(name) == 0) {
      keys.push_back(name);
      continue;
    }
    computed.push_back(name);
    Names inputs = needs(b->second.expr);
    for (auto it = inputs.rbegin(); it != inputs.rend(); ++it) pending.push_back(*it);
  }

  const Dialect& dialect = *translator.dialect;
  CarriedValues out;
  std::vector<std::string> select, key_values;
  for (const std::string& name : keys) {
    std::string column = "mirtova_c" + std::to_string(select.size());
    select.push_back(known.at(name) + " AS " + column);
    key_values.push_back(known.at(name));
    out.keys.emplace_back(column, known.at(name));
    out.columns.emplace(name, column);
  }
  if (std::optional<std::string_view> phrase = dialect.carried_key_phrase(); phrase && !keys.empty()) {
    std::string key = replace_all(*phrase, "{0}", join(key_values, ", "));
    select.push_back(key + " AS mirtova_key");
    out.keys = {{"mirtova_key", key}};
  }
  for (const std::string& name : computed) {
    std::string column = "mirtova_c" + std::to_string(select.size());
    select.push_back(known.at(name) + " AS " + column);
    out.columns.emplace(name, column);
  }
  for (const Json* list : lists) {
    const Names used = variables_of(*list);
    if (!written(used) || refers_out(used)) {
      out.list_columns.emplace_back();
      continue;
    }
    TRY(std::string sql, translator.convert_to_sql_expecting(*list, Type::any()));
    std::string column = "mirtova_c" + std::to_string(select.size());
    select.push_back(std::move(sql) + " AS " + column);
    out.list_columns.push_back(std::move(column));
  }

  std::vector<std::string> from;
  for (const TableRef& t : query.tables) from.push_back(t.text + " AS " + t.alias);
  if (!own.from_item.empty()) from.push_back(own.from_item);
  for (const Unnesting& u : query.unnestings) {
    if (!known.count(u.variable)) continue;
    TRY(std::string list_sql, translator.convert_to_sql_expecting(*u.list, Type::any()));
    Type list_type = translator.value_type(*u.list);
    from.push_back(dialect.unnested_list(list_sql, u.alias, list_type));
  }
  if (query.tables.empty() && own.from_item.empty())
    from.insert(from.begin(), "(SELECT 1 AS mirtova_unused) AS UNUSED_TABLE_NAME");

  std::vector<std::string> where;
  for (const Constraint& c : query.constraints) {
    if (c.kind == Constraint::Kind::False || holds_combine(c.left) || holds_combine(c.right)) continue;
    Names used = needs(c.left);
    for (const std::string& name : needs(c.right)) used.insert(name);
    if (!written(used) || refers_out(used)) continue;
    TRY(std::string left,
        translator.convert_to_sql_expecting(
            *c.left, c.kind == Constraint::Kind::Condition ? Type::boolean() : Type::any()));
    switch (c.kind) {
      case Constraint::Kind::ColumnEquals:
        where.push_back(c.alias + "." + sql_column(c.column, dialect) + " = " + left);
        break;
      case Constraint::Kind::Equal: {
        TRY(std::string right, translator.convert_to_sql_expecting(*c.right, Type::any()));
        where.push_back(left + " = " + right);
        break;
      }
      default:
        where.push_back(left);
    }
  }

  out.sql = "SELECT DISTINCT " + join(select, ", ") + " FROM " + join(from, ", ");
  if (!where.empty()) out.sql += " WHERE " + join(where, " AND ");
  return out;
}

}  // namespace mirtova
