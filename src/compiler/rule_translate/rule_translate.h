// Rule translation: one rule in relational form (tables, bindings, constraints,
// unnestings, select list, grouping) and the SELECT statement written from it.
#pragma once

#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/compile_error.h"
#include "common/indent.h"
#include "common/result.h"
#include "compiler/expr_translate/subquery_translator.h"
#include "compiler/rule_translate/names.h"
#include "compiler/rule_translate/rewrites.h"
#include "parser/json.h"

namespace mirtova {

class Dialect;

// What rule translation asks of the program it belongs to.
class RuleContext {
 public:
  virtual ~RuleContext() = default;
  // The FROM text of a called relation (a defined predicate or a database table).
  virtual Result<std::string, CompileError> relation_text(std::string_view predicate) = 0;
  // Whether the predicate heads rules of the program.
  virtual bool is_program_predicate(std::string_view predicate) const = 0;
  // The columns of a defined predicate; none for database tables.
  virtual std::optional<std::vector<std::string>> columns_of(std::string_view predicate) const = 0;
  // Whether the engine writes a call of this name itself.
  virtual bool is_built_in_function(std::string_view name) const = 0;
  virtual NamesAllocator& names() = 0;
};

struct TableRef {
  std::string predicate, text, alias;
};

struct Unnesting {
  std::string alias, variable;
  const Json* list = nullptr;
  // Whether the list calls a predicate of the program: its SQL is a sub-query.
  bool reads_table = false;
};

enum class BindKind { Column, Row, Unnested, Expression, Outer, Null };

struct Binding {
  BindKind kind = BindKind::Null;
  std::string alias, column, predicate;
  const Json* expr = nullptr;
  // Of an Expression: whether it calls a predicate of the program, which its
  // SQL reads by a sub-query.
  bool reads_table = false;
};

struct Constraint {
  enum class Kind { ColumnEquals, Equal, Condition, False };
  size_t conjunct = 0;
  Kind kind = Kind::False;
  std::string alias, column;    // ColumnEquals: the column of a called relation
  const Json* left = nullptr;   // the value (ColumnEquals), left side (Equal) or the condition (Condition)
  const Json* right = nullptr;  // right side (Equal)
};

struct SelectItem {
  std::string column;
  const Json* expr = nullptr;
  bool aggregated = false;
  bool row_star = false;
  std::string row_alias;
};

struct RuleStructure {
  // Owned and never moved once built: bindings, constraints and the translator's
  // type hints hold addresses of its nodes.
  std::shared_ptr<const Json> rule;
  std::shared_ptr<std::deque<Json>> made_nodes;  // conditions written by the translation itself
  std::string head_predicate;
  bool in_combine = false;
  bool distinct = false;
  std::vector<TableRef> tables;
  std::vector<Unnesting> unnestings;
  std::vector<std::string> binding_order;
  std::map<std::string, Binding> bindings;
  std::vector<Constraint> constraints;
  std::vector<SelectItem> select;
  std::vector<size_t> group_keys;
  Vocabulary outer;
  TypeMap variable_types;

  // The rule's statement text, for messages: read from the rule when asked,
  // as a long statement may stand behind thousands of rules.
  std::string text() const;

  // The rule's SELECT. With `column_order`, the items come in that order and must
  // be exactly those columns. The writing takes the variable types over, adding
  // the hints it learns: a structure is written once.
  Result<std::string, CompileError> as_sql(SubqueryTranslator& subqueries, const Dialect& dialect,
                                           const FlagMap& flags,
                                           const std::vector<std::string>* column_order = nullptr,
                                           OuterRows* around = nullptr) &&;
};

Result<RuleStructure, CompileError> extract_rule_structure_with_vocabulary(Json rule, const Vocabulary& outer,
                                                                           TypeMap outer_types,
                                                                           bool in_combine,
                                                                           RuleContext& context);
Result<RuleStructure, CompileError> extract_rule_structure_with_vocabulary(std::shared_ptr<const Json> rule,
                                                                           const Vocabulary& outer,
                                                                           TypeMap outer_types,
                                                                           bool in_combine,
                                                                           RuleContext& context);

// The columns a head defines, in order: "col{i}", names, "quoril_value";
// "mirtova_unit" for a head without fields.
std::vector<std::string> head_columns(const Json& rule);

}  // namespace mirtova
