// ExprTranslator: writes the expressions of one rule as SQL for one engine.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "common/compile_error.h"
#include "common/result.h"
#include "compiler/expr_translate/apply_template.h"
#include "compiler/expr_translate/subquery_translator.h"
#include "compiler/expr_translate/template_tables.h"
#include "compiler/type_inference/types.h"
#include "parser/json.h"

namespace mirtova {

class Dialect;

// (variable name, SQL) pairs that a combine's scope adds to its rule's vocabulary.
using BindingList = std::vector<std::pair<std::string, std::string>>;
// (field name, type) pairs of a record being written.
using FieldTypes = std::vector<std::pair<std::string, Type>>;

struct ArityRange {
  int least;
  int most;
};

struct ArrowRecord {
  std::optional<Json> arg;
  std::optional<Json> value;
};

class ExprTranslator {
 public:
  // Takes the engine's shared template maps from the process-wide cache.
  ExprTranslator(Vocabulary vocabulary, const Dialect& dialect, const FlagMap& flag_values);

  // A copy for the inside of a combine: the bindings join (and may hide) the
  // vocabulary; hints recorded so far are copied, later ones are not shared.
  ExprTranslator scoped(const BindingList& bindings) const;

  // The fixed argument counts of some built-in functions; none for the others.
  static std::optional<ArityRange> built_in_function_arity_range(std::string_view name);

  // The conversion proper: the SQL of `expr`, written where a value of type
  // `expected` is wanted.
  Result<std::string, CompileError> convert_to_sql_expecting(const Json& expr, const Type& expected);
  // The SQL of a grouping key: a constant is disguised so that GROUP BY never
  // reads it as a column position.
  Result<std::string, CompileError> convert_to_sql_for_group_by(const Json& expr);
  // The SQL of a combine (a rule whose head is "Combine"), as a sub-query.
  Result<std::string, CompileError> convert_combine(const Json& rule);
  // A combine that only ranges over lists, written without the program; none
  // when the combine has another shape.
  Result<std::optional<std::string>, CompileError> combine_of_lists(const Json& rule);

  // Typing services.
  void hint_types(const Json& expr, const Type& expected);
  Type value_type(const Json& expr) const;
  // The index of the field among those of the record value `record`, where its
  // type is a closed record that has it.
  std::optional<size_t> field_position(const Json& record, std::string_view field) const;
  void cast_text_fields_to_numbers(std::string_view op, const std::vector<const Json*>& args,
                                   std::vector<std::string>& sql) const;
  // Records of two declared types compared for equality, each in the
  // dialect's record_comparison_form.
  // The template of Max (or Min) over records of type `record` where records
  // are JSON texts.
  std::string extreme_record_of_texts(const Type& record, bool greatest) const;
  // The values of a record's fields that are no records, a nested record's in
  // its place, in the order of their names, each read from `record_sql`.
  std::vector<std::string> leaf_fields(const Type& record, const std::string& record_sql) const;
  // The SQL of "element in list", `sql` the two sides' SQL and `tmpl` the
  // engine's operator template.
  std::string search_in_list(const Json& element, const Json& list, std::string_view tmpl,
                             std::vector<std::string>& sql) const;
  // The search of a record in a list on an engine that compares records in a
  // form; none where the operator's template serves.
  std::optional<std::string> record_in_list(const Json& element, const Json& list,
                                            const std::vector<std::string>& sql) const;
  // Whether the value is known, from how it is written, to be a 64-bit
  // integer where the engine runs it: an integer literal, or what the
  // engine's integer functions give of such values; `reading_columns`, a
  // variable read from a column of integers too.
  bool is_known_integer(const Json& expr, bool reading_columns = false) const;
  // A value written in the dialect's comparison form, which it must have.
  std::string in_comparison_form(std::string_view sql) const;
  // Whether the two sides were written in the dialect's comparison form.
  bool compare_records_of_two_types(std::string_view op, const Type& left, const Type& right,
                                    std::vector<std::string>& sql) const;
  // The type the program declares for a record, or a list of records, it
  // writes (`values` converted before); none for any other value.
  std::optional<Type> written_type(const Json& value) const;
  // Values that must be of one type (a list's elements, the arguments of
  // Coalesce, the branches of a choice), `sql` theirs: beside a record the
  // program writes, each value but a written one or a null is read as its
  // type, where the dialect reads values so.
  void read_as_written_records(const std::vector<const Json*>& values, std::vector<std::string>& sql);
  // `sql` read as the program's declared type `type`, where the dialect
  // reads values so; none elsewhere.
  std::optional<std::string> read_as_declared_type(const std::string& sql, const Type& type);
  // A record field of unknown type, or a variable of held_as_text: on
  // PostgreSQL such a value may be text whatever it holds.
  bool is_held_as_text(const Json& expr) const;
  // A variable of read_from_nulls, or a combine whose value is one of them.
  bool is_read_from_nulls(const Json& expr) const;
  void type_untyped_arguments(std::string_view function, const std::vector<const Json*>& args,
                              std::vector<std::string>& sql) const;
  Type record_type(const Json& record) const;
  // The type of the first of values of one type (a choice's branches, the
  // arguments of Coalesce) that is known; where none is, their sources met.
  Type first_known_type(const std::vector<const Json*>& values) const;
  // `values`, when given, are the fields' value nodes, in the order of `fields`.
  void hinted_fields(const Json& node, FieldTypes& fields, const std::vector<const Json*>& values = {}) const;
  // The hint recorded on a node, if any.
  const Type* hint_of(const Json& node) const;

  Vocabulary vocabulary;
  const Dialect* dialect;
  const TemplateMap* functions = nullptr;  // the engine's, for the life of the process
  const TemplateMap* operators = nullptr;
  const FlagMap* flag_values;
  std::string value_column_name = "quoril_value";
  TypeMap variable_types;
  // The values of combines written in the expressions, by the combine's node,
  // where the program types them from their bodies: the rule's variables
  // leave out a combine's own, so a record holding one inline would otherwise
  // lose the source of the column it aggregates. Any other combine is of no
  // known type.
  std::unordered_map<const Json*, Type> combine_types;
  // Variables read from a column of the program that holds only integers,
  // where the engine declares a record's fields.
  std::set<std::string, std::less<>> integer_columns_read;
  // Variables whose value PostgreSQL may hold as text though it is a number:
  // bound to a record field of unknown type, or to a column of nulls.
  std::set<std::string, std::less<>> held_as_text;
  // Those of them bound to a column of nulls, which are null in every row.
  std::set<std::string, std::less<>> read_from_nulls;
  // Fields of records that the rule reads from a column of its own, by their
  // field_path, with the SQL of that column.
  std::map<std::string, std::string, std::less<>> field_columns;
  // "w.a.c" for the field `w.a.c` of a variable, none for any other value.
  static std::optional<std::string> field_path(const Json& expr);
  // Records read whole from a host's table's column, with the column: such a
  // record has every field the table gives it, where its type names only
  // those the program reads.
  std::map<std::string, std::shared_ptr<const ColumnOrigin>, std::less<>> read_whole_from_host;
  SubqueryTranslator* subquery_translator = nullptr;
  // The query whose expressions these are, for the combines written in them.
  OuterRows* outer_rows = nullptr;

 private:
  // The template of a call of `name` with `count` arguments: the row made for
  // the kind of value of the first argument ("ToJsonString@bool", where `kind`
  // is "bool", "list" or "record"), else the row made for that many arguments,
  // else the name's own row; none when none exists.
  const std::string* function_template(const std::string& name, size_t count,
                                       std::string_view kind = {}) const;
  // Whether the engine refuses the row `name` (a function or one of its arities).
  bool is_refused(const std::string& name) const;
  // The least and most arguments the engine's rows of `name` take, counting
  // the name's own row as taking `needed`; a number it refuses takes none.
  ArityRange template_arities(const std::string& name, size_t needed) const;
  // Converts without hinting first; the caller has hinted an enclosing node.
  Result<std::string, CompileError> convert(const Json& expr);
  Result<std::string, CompileError> convert_call(const Json& call);
  Result<std::string, CompileError> convert_literal(const Json& expr, const Json& literal);
  Result<std::string, CompileError> convert_record(const Json& node, const Json& record);
  Result<std::string, CompileError> convert_implication(const Json& implication);
  Result<std::string, CompileError> convert_arguments(const std::vector<const Json*>& args,
                                                      std::vector<std::string>& out);
  Result<std::string, CompileError> convert_sql_expr(const std::vector<const Json*>& args);
  Result<std::string, CompileError> convert_format(const std::vector<const Json*>& args);
  // The Format and Parse functions of dates and times, from a literal format.
  Result<std::string, CompileError> convert_date_format(const std::string& name,
                                                        const std::vector<const Json*>& args);
  Result<std::string, CompileError> convert_predicate_call(const Json& call);
  Result<std::string, CompileError> convert_window(std::string_view name,
                                                   const std::vector<const Json*>& args);

  // Keyed by node address: the rule's tree outlives the translator.
  std::unordered_map<const Json*, Type> expression_hints_;
  // The type each record value was written with, by its node: an enclosing
  // record's type must name the same field types.
  std::unordered_map<const Json*, Type> written_record_types_;
  // The record values written with a field of a type only the engine knows.
  std::unordered_set<const Json*> untyped_records_;
};

// The (arg, value) parts of an "arg -> value" record.
ArrowRecord extract_arrow_record(const Json& expr);
// The argument expressions of a call, in entry order (entries without an
// "expression" left out).
std::vector<const Json*> call_arguments(const Json& call);

bool is_text_expression(const Json& expr);
bool is_boolean_expression(const Json& expr);
// The same for a call itself, as a predicate conjunct holds it.
bool is_boolean_call(const Json& call);
// Whether the type leaves a value's kind open somewhere (a list's elements, a
// record's fields included).
bool leaves_kind_open(const Type& type);
// Whether the built-in gives its list argument's elements again, in another
// order or fewer of them, so that its value is a list of that list's type.
bool reorders_list(std::string_view function);
// A null, or a list of nothing but such values: every type holds it.
bool holds_only_nulls(const Json& expr);
// The closed record type of a record literal, read from the syntax alone.
Type record_literal_type(const Json& record);
// Whether the value is a 64-bit integer wherever it runs, given which of its
// variables hold integers: integer literals, and what +, -, *, %, rounding
// and the integer functions give of such values.
bool is_integer_expression(const Json& expr, const std::function<bool(std::string_view)>& integer_variable);

}  // namespace mirtova
