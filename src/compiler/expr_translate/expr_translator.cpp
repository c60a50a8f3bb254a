// Construction of translators, their scopes, and the fixed facts about built-in
// functions that every translator shares.
#include "compiler/expr_translate/expr_translator.h"

#include <algorithm>
#include <array>

#include "compiler/dialects/dialect.h"

namespace mirtova {

ExprTranslator::ExprTranslator(Vocabulary vocabulary, const Dialect& dialect, const FlagMap& flag_values)
    : vocabulary(std::move(vocabulary)), dialect(&dialect), flag_values(&flag_values) {
  // Borrowed: a translator is made for every rule and copied for every scope,
  // and copying the tables' shared pointers would have every thread compiling
  // for the engine write to their one count.
  const DialectTables& tables = dialect_tables(dialect);
  functions = tables.functions.get();
  operators = tables.operators.get();
}

ExprTranslator ExprTranslator::scoped(const BindingList& bindings) const {
  ExprTranslator inner = *this;
  for (const auto& [name, sql] : bindings) {
    inner.vocabulary.insert_or_assign(name, sql);
    inner.held_as_text.erase(name);
    inner.read_from_nulls.erase(name);
  }
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

const std::string* ExprTranslator::function_template(const std::string& name, size_t count,
                                                     std::string_view kind) const {
  if (!kind.empty()) {
    if (auto found = functions->find(name + "@" + std::string(kind)); found != functions->end()) {
      return &found->second;
    }
  }
  if (count <= kMostArityRowArguments) {
    if (auto found = functions->find(arity_row_name(name, count)); found != functions->end())
      return &found->second;
  }
  auto found = functions->find(name);
  return found == functions->end() ? nullptr : &found->second;
}

bool ExprTranslator::is_refused(const std::string& name) const {
  auto found = functions->find(name);
  return found != functions->end() && found->second == kNotOnThisEngine;
}

ArityRange ExprTranslator::template_arities(const std::string& name, size_t needed) const {
  int least = static_cast<int>(needed);
  int most = least;
  for (size_t count = 0; count <= kMostArityRowArguments; ++count) {
    auto found = functions->find(arity_row_name(name, count));
    if (found != functions->end() && found->second != kNotOnThisEngine) {
      least = std::min(least, static_cast<int>(count));
      most = std::max(most, static_cast<int>(count));
    }
  }
  return ArityRange{least, most};
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
