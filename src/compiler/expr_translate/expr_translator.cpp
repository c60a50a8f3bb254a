// Construction of translators, their scopes, and the fixed facts about built-in
// functions that every translator shares.
#include "compiler/expr_translate/expr_translator.h"

#include <algorithm>
#include <array>
#include <mutex>

#include "compiler/dialects/dialect.h"

namespace mirtova {

ExprTranslator::ExprTranslator(Vocabulary vocabulary, const Dialect& dialect, const FlagMap& flag_values)
    : vocabulary(std::move(vocabulary)), dialect(&dialect), flag_values(&flag_values) {
  DialectTables tables = dialect_tables(dialect);
  functions = std::move(tables.functions);
  operators = std::move(tables.operators);
}

ExprTranslator ExprTranslator::scoped(const BindingList& bindings) const {
  ExprTranslator inner = *this;
  for (const auto& [name, sql] : bindings) inner.vocabulary.insert_or_assign(name, sql);
  return inner;
}

std::optional<ArityRange> ExprTranslator::built_in_function_arity_range(std::string_view name) {
  static constexpr std::array<std::string_view, 13> kTwo = {"Like",
                                                            "Join",
                                                            "Split",
                                                            "Concat",
                                                            "Element",
                                                            "DateAddDay",
                                                            "DateDiffDay",
                                                            "ArrayConcat",
                                                            "RegexpExtract",
                                                            "ParseTimestamp",
                                                            "FormatTimestamp",
                                                            "MagicalEntangle",
                                                            "TimestampAddDays"};
  if (name == "If") return ArityRange{3, 3};
  for (std::string_view two : kTwo) {
    if (two == name) return ArityRange{2, 2};
  }
  return std::nullopt;
}

namespace {

using NameSet = std::set<std::string, std::less<>>;

// Names the conversion writes itself, beyond the template tables.
constexpr std::array<std::string_view, 15> kHandledNames = {"CumulativeSum",
                                                            "CumulativeMax",
                                                            "CumulativeMin",
                                                            "WindowSum",
                                                            "WindowMax",
                                                            "WindowMin",
                                                            "SqlExpr",
                                                            "Cast",
                                                            "TryCast",
                                                            "FlagValue",
                                                            "If",
                                                            "Container",
                                                            "In",
                                                            "ValueOfUnnested",
                                                            "MagicalEntangle"};

std::shared_ptr<const NameSet> build_basis(const Dialect& dialect) {
  NameSet names;
  for (const auto& [name, tmpl] : plain_sql_functions()) names.insert(name);
  for (const TemplateRow& row : base_built_in_functions()) names.emplace(row.name);
  for (const TemplateRow& row : dialect.built_in_functions()) names.emplace(row.name);
  for (const TemplateRow& row : base_infix_operators()) names.emplace(row.name);
  for (const TemplateRow& row : dialect.infix_operators()) names.emplace(row.name);
  for (std::string_view name : kHandledNames) names.emplace(name);
  return std::make_shared<const NameSet>(std::move(names));
}

constexpr std::array<std::string_view, 7> kEngines = {"bigquery", "sqlite", "psql",      "trino",
                                                      "presto",   "duckdb", "databricks"};

struct BasisSlot {
  std::once_flag once;
  std::shared_ptr<const NameSet> names;
};

}  // namespace

std::shared_ptr<const std::set<std::string, std::less<>>> ExprTranslator::basis_functions(
    const Dialect& dialect) {
  // One slot per engine, filled by the first caller for that engine under
  // std::call_once and only read afterwards.
  static std::array<BasisSlot, kEngines.size()> slots;
  std::string_view name = dialect.name();
  for (size_t i = 0; i < kEngines.size(); ++i) {
    if (kEngines[i] == name) {
      BasisSlot& slot = slots[i];
      std::call_once(slot.once, [&] { slot.names = build_basis(dialect); });
      return slot.names;
    }
  }
  return build_basis(dialect);
}

Result<std::string, CompileError> ExprTranslator::convert_to_sql_for_group_by(const Json& expr) {
  TRY(std::string sql, convert_to_sql_expecting(expr, Type::any()));
  const Json* literal = expr.get("literal");
  if (literal != nullptr && literal->has("the_string")) return "(" + sql + " || '')";
  if (literal != nullptr && literal->has("the_number")) return sql + " + 0";
  // PostgreSQL refuses a bare null among the grouping keys; a typed one is a value.
  if (sql == "null" || sql == "NULL") return "CAST(NULL AS " + dialect->scalar_sql_type(Type::any()) + ")";
  // A variable bound to a constant writes the constant bare: GROUP BY takes a whole
  // number for a column position, and PostgreSQL refuses a text constant.
  if (sql.size() >= 2 && sql.back() == '\'' && (sql[0] == '\'' || (sql[0] == 'E' && sql[1] == '\''))) {
    return "(" + sql + " || '')";
  }
  size_t digits_from = !sql.empty() && sql[0] == '-' ? 1 : 0;
  if (sql.size() > digits_from &&
      std::all_of(sql.begin() + digits_from, sql.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return sql + " + 0";
  }
  return sql;
}

}  // namespace mirtova
