// Dialect: what differs between the SQL engines; one stateless implementation per engine.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/compile_error.h"
#include "common/engines.h"
#include "common/indent.h"
#include "common/result.h"
#include "compiler/dialects/template_rows.h"
#include "compiler/type_inference/types.h"

namespace mirtova {

// One field of a record value being written: its name, its value's SQL and the
// value's type.
struct RecordLiteralField {
  std::string name;
  std::string sql;
  Type type;
  // Whether `type` is the value's own all the way down; a column of a stored
  // table has a type only the engine knows.
  bool typed = true;
  // Whether the value is known to be a 64-bit integer where the engine runs it.
  bool integer = false;
};

// Returned templates keep their placeholders for the caller to fill: "{0}", "{1}"
// (positional), "{body}" (an expression over the bound name mirtova_v) and "%s".
// Operations that take text arguments return finished SQL. Fixed texts come back
// as views of static text; built texts as new strings owned by the caller.
// Implementations hold no state, so any thread may call any operation.
// The record types a compilation's values take, each with its SQL type name, in
// the order they were met.
using RecordTypes = std::vector<std::pair<std::string, Type>>;

// A LIMIT or OFFSET count as written: at most the largest signed 64-bit number.
std::string row_count_text(uint64_t count);

class Dialect {
 public:
  virtual ~Dialect() = default;

  // A new dialect for the engine.
  static std::unique_ptr<Dialect> get(Engine engine);

  // The engine's name, for messages.
  std::string_view name() const { return engine_name(engine()); }

  // The operations, in the interface's fixed order.
  virtual Engine engine() const = 0;                                  // 0
  virtual TemplateRows built_in_functions() const;                    // 1
  virtual bool format_needs_expansion() const = 0;                    // 2
  virtual bool nulls_first_by_default(bool descending) const = 0;     // 3
  virtual std::optional<std::string_view> int64_of_text() const = 0;  // 4: "{0}"
  virtual std::optional<std::string> number_to_string() const = 0;    // 5: "{0}"
  virtual std::string_view bind_value() const = 0;                    // 6: "{0}", "{body}"
  // 7: for Min and Max over booleans, each with "%s".
  virtual std::optional<std::pair<std::string_view, std::string_view>> boolean_min_max() const;
  virtual bool null_guarded_least_greatest() const = 0;               // 8
  virtual std::string_view double_type() const = 0;                   // 9
  virtual std::string_view log10_function() const;                    // 10
  virtual std::optional<std::string_view> boolean_to_string() const;  // 11: "{0}"
  virtual bool supports_offset() const;                               // 12
  // A line break and "LIMIT n", a line break and "OFFSET n", for what is present
  // (each count through row_count_text).
  virtual std::string pagination_clause(std::optional<uint64_t> limit,
                                        std::optional<uint64_t> offset) const;  // 13
  virtual TemplateRows infix_operators() const;                                 // 14
  // Access to a field of a record value; `row` marks the record as a table row.
  virtual std::string subscript(std::string_view record, std::string_view field,
                                bool row) const;  // 15
  // The field name as written after a dot or inside a record constructor.
  virtual std::string record_field(std::string_view name) const;  // 16
  virtual std::string_view library_program() const;               // 17
  virtual std::string_view unnest_phrase() const = 0;             // 18: "{0}" the list, "{1}" the alias
  virtual std::string_view unnest_records_phrase() const;         // 19: likewise
  virtual std::string_view array_phrase() const = 0;              // 20: "%s"
  // GROUP BY style: 0 output column names, 1 positions from 1, 2 expressions.
  virtual int group_by_spec_by() const = 0;                                 // 21
  virtual std::string predicate_literal(std::string_view predicate) const;  // 22
  virtual bool is_postgresqlish() const;                                    // 23
  virtual std::string_view cascading_deletion_word() const;                 // 24
  // A number literal's text that holds a "." written so the engine reads a double.
  virtual std::string float_literal(std::string_view text) const = 0;  // 25
  virtual std::string_view except_distinct() const;                    // 26
  virtual std::string quote_identifier(std::string_view name) const;   // 27
  virtual bool supports_create_or_replace() const;                     // 28
  // SQL that gives `sql` (a null or an empty list) its element type, when the engine needs it.
  virtual std::optional<std::string> typed_array(std::string_view sql,
                                                 const Type& element) const;  // 29
  virtual std::string empty_array_literal() const;                            // 30
  // 31: the fields in the caller's order. `type_name` is the record type's SQL
  // name when the caller has it (empty otherwise): an engine that names its
  // record types would else name each level of a nested literal afresh,
  // reading every level below it again.
  virtual std::string record_literal(const std::vector<RecordLiteralField>& fields,
                                     std::string_view type_name) const = 0;
  virtual std::string scalar_sql_type(const Type& type) const;  // 32
  // The type of a row (record) member; one rule on every engine, over the
  // engine's own scalar_sql_type and record_field.
  std::string row_field_type(const Type& type) const;            // 33
  virtual std::string str_literal(std::string_view text) const;  // 34
  virtual bool decorate_combine_rule() const = 0;                // 35
  // The condition that `expression` matches the regular expression `pattern`
  // (a plain text, quoted here).
  virtual std::string regex_match_condition(std::string_view expression,
                                            std::string_view pattern) const;  // 36
  virtual std::string string_cast(std::string_view sql) const = 0;            // 37
  virtual std::string_view today_relation_sql() const = 0;                    // 38
  virtual std::string_view now_relation_sql() const = 0;                      // 39
  // How many combines (a negation is one) deep injection may still splice a
  // predicate's body: past it the predicate is read as a table, as the engine's
  // parser refuses sub-queries nested much deeper. Unbounded unless an engine says.
  virtual size_t most_nested_injection() const;  // 40
  // How many references to one table a statement may hold once the engine has
  // expanded every WITH clause it reads; unbounded unless an engine says.
  virtual uint64_t most_table_references() const;  // 41
  // How large one statement may grow, by the measure of statement_stages.h,
  // on an engine that bounds the stages of a query: past it a WITH clause
  // read more than once is stored as a table in a statement before it.
  // Unbounded unless an engine says.
  virtual uint64_t most_query_stages() const;
  // Whether every recursion is unfolded into its iterative form, a loop the
  // plan repeats, whatever its depth: the engines that run such loops
  // themselves. Elsewhere only a deep recursion is.
  virtual bool unfolds_recursion_iteratively() const;  // 42
  // The statements a script or plan runs before any other: what the engine's
  // session needs, and the declarations of the record types the compilation
  // met where the engine needs them declared. Empty when there are none.
  virtual std::string setup_script(const RecordTypes& record_types) const;  // 43
  // Whether the Format and Parse functions of dates and times are written from
  // their literal format (see date_format_sql.h) rather than by a template.
  virtual bool writes_date_formats() const;  // 44
  // Whether the engine needs a bare null typed where a number, a boolean or a
  // text is expected, and as the argument of a function with several forms.
  virtual bool types_bare_nulls() const;  // 45
  // Whether a column every rule fills with a bare null is written with the
  // scalar type the program infers for it: the engine gives such a column a
  // type of its own that arithmetic and functions refuse.
  virtual bool types_columns_of_nulls() const;
  // Whether a combine's value is cast to its type where the program knows it.
  virtual bool casts_combines_to_their_type() const;  // 46
  // Whether a value of no known type where the program writes it (a record
  // field, a column every rule fills with a null) reads back as text, so that
  // next to a number, or added up, it is read as one.
  virtual bool reads_untyped_fields_as_text() const;  // 47
  // The type such a value is cast to where it is read as a number.
  virtual std::string_view number_type_of_text() const;
  // ToInt64 of a value whose type the program does not know (a host table's
  // column), where the engine's form for numbers refuses a text: "{0}".
  virtual std::optional<std::string_view> int64_of_unknown_type() const;
  // Whether a text literal has no type until used, so that as a function's
  // argument it is cast to text (or to a list of texts where lists are joined).
  virtual bool leaves_text_literals_untyped() const;  // 48
  // Whether a combine that aggregates the elements of a list the rule already
  // knows is written over the list alone rather than as a sub-query of the rule.
  virtual bool combines_over_lists() const;  // 49
  // What the engine's SQL encloses verbatim, for indentation to leave alone.
  virtual SqlLexicon sql_lexicon() const;  // 50
  // An integer literal (digits, perhaps signed, within 64 bits) written so the
  // engine reads a 64-bit integer.
  virtual std::string integer_literal(std::string_view digits) const;  // 51
  // A number literal with an exponent and no "." (digits, perhaps signed, "e"
  // or "E", an exponent), which most engines read as a double as it stands.
  virtual std::string exponent_literal(std::string_view text) const;  // 95
  // Whether an operand already in brackets gets another pair where an operator
  // brackets its operands; an engine whose parser holds few nested brackets
  // takes it as it is.
  virtual bool brackets_bracketed_operands() const;  // 96
  // The statements that define the engine's own functions which `statements`
  // (a plan's) call, for its set-up to run after setup_script; empty when they
  // call none.
  virtual std::string called_functions_setup(const std::vector<std::string_view>& statements) const;  // 52
  // The SQL of a predicate of several rules from `rules`, their SELECTs joined
  // by UNION ALL; most engines take it as it is.
  virtual std::string rules_union(std::string rules) const;  // 53
  // The largest LIMIT or OFFSET count the engine takes; a larger count is
  // written as this one (the rows are the same: all of them, or none).
  virtual uint64_t most_rows_counted() const;  // 54
  // A count as the engine's LIMIT, OFFSET or row number takes it.
  std::string row_count(uint64_t count) const;
  // Whether a record field may have the name (as the program means it).
  virtual bool takes_field_name(std::string_view name) const;  // 55
  // A record some of whose fields have values of a type only the engine knows;
  // engines that cannot name a field without its type write the record as any
  // other.
  virtual std::string record_of_untyped_fields(const std::vector<RecordLiteralField>& fields,
                                               std::string_view type_name) const;  // 56
  // Whether a list may hold lists: an engine whose arrays hold no arrays
  // refuses a list literal of lists.
  virtual bool holds_lists_in_lists() const;  // 57
  // Whether the lists a list holds may be of unequal lengths: an engine whose
  // arrays of arrays are rectangular refuses a list literal of such lists.
  virtual bool holds_ragged_lists() const;  // 79
  // Whether a sub-query may refer to the query around it only in its conditions
  // (not in what it aggregates or unnests, nor from a sub-query of its own), so
  // that a combine reads such values from rows of them joined by equality.
  virtual bool carries_outer_values() const;  // 58
  // Whether injection may splice a body that holds a combine into a combine.
  // Where not, the predicate is read as a table there, so injection never nests
  // one sub-query in another: carried outer values (above) would copy the rows
  // of every level into the next, and a chain of injected negations would grow
  // with the square of its length.
  virtual bool splices_combines_into_combines() const;  // 59
  // How carried rows are matched with the values of the query around: none for
  // an IS NOT DISTINCT FROM per value; else one text of them all ("{0}" holding
  // them joined by commas) compared by `=`, for an engine that decorrelates
  // nothing else.
  virtual std::optional<std::string_view> carried_key_phrase() const;  // 60
  // Whether a combine that names one outer value in two places carries every
  // outer value it names, even those it only compares: for an engine that
  // trips on one outer value compared twice.
  virtual bool carries_every_outer_value() const;  // 61
  // The SQL of a built-in function's call as the engine takes it, from the
  // call as its template wrote it; most engines take it as it is.
  virtual std::string call_sql(std::string call) const;  // 62
  // Whether a sub-query's conditions may read a field of a record of the query
  // around; where not, a value read from one is carried (as one computed by a
  // sub-query is), its record the key.
  virtual bool correlates_field_reads() const;  // 63
  // Where the engine reads a field of a record value the program wrote by its
  // place among the fields sorted by name: "{0}" the record, "{1}" the place
  // counted from 1. None to read every field by name.
  virtual std::optional<std::string_view> field_by_position() const;  // 64
  // Like unnest_phrase, for a list computed by a sub-query, where the engine
  // takes none inside UNNEST; none to write such a list as any other.
  virtual std::optional<std::string_view> unnest_computed_list_phrase() const;  // 65
  // Like unnest_phrase, for a list of lists, where the engine holds one as a
  // single array of more dimensions, which UNNEST would read element by element
  // rather than list by list; none to write it as any other list. `depth` is
  // the number of levels of lists in an element: 1 for a list of lists.
  virtual std::optional<std::string> unnest_lists_phrase(size_t depth) const;
  // The element of a list of lists, for the same engines: "{0}" the list, "{1}"
  // the place counted from 0; `depth` as above. None to read it as any other
  // element.
  virtual std::optional<std::string> element_of_lists(size_t depth) const;
  // Sort, Unique or ArrayReverse of a list of lists, for the same engines:
  // "{0}" the list; `depth` as above. None to write it as of any other list.
  virtual std::optional<std::string> lists_reordered(std::string_view function, size_t depth) const;
  // The phrase that unnests a list of type `list_type` (not one computed by a
  // sub-query): "{0}" the list, "{1}" the alias.
  std::string unnest_phrase_of(const Type& list_type) const;
  // The FROM item of the unnested list `list_sql` of type `list_type` under
  // `alias`, by the phrases above.
  std::string unnested_list(std::string_view list_sql, std::string_view alias, const Type& list_type) const;
  // Whether a record of so many fields, some of a type only the engine knows,
  // keeps its field names as written by record_of_untyped_fields.
  virtual bool names_untyped_fields(size_t field_count) const;  // 66
  // A null sought in a list whose elements are of type `element`, where the
  // engine takes no value of no type there; none to leave it bare.
  virtual std::optional<std::string> null_sought_in_list(const Type& element) const;  // 67
  // Where records of two declared types are not comparable as they are: the
  // form, "%s" the record, in which two such records compare equal when their
  // fields hold equal values. None where records of any shape compare.
  virtual std::optional<std::string_view> record_comparison_form() const;  // 68
  // Whether every comparison of records, and every search of one in a list,
  // is made in that form: records held as texts spell equal values apart
  // (the order of their keys, 1 and 1.0).
  virtual bool compares_every_record_in_form() const;  // 69
  // Whether "x = ANY((SELECT ...))" searches the sub-query's rows rather than
  // the list its one row holds: a list given by a sub-query is then written
  // as an expression there.
  virtual bool searches_rows_of_a_sought_subquery() const;  // 70
  // How a negation, a sub-query's minimum of 1 tested for null, is written:
  // so, or as the count of the sub-query's rows compared with 0 (for an
  // engine that fails to run such a null test of a sub-query that refers to
  // nothing around it, nested in one that does), or as NOT EXISTS over the
  // sub-query's rows (for an engine whose planner fails on an aggregate of a
  // sub-query that two outer columns known equal are compared with).
  enum class NegationForm { kMinimumIsNull, kCountIsZero, kNoRow };
  virtual NegationForm negation_form() const;  // 71
  // Whether a sub-query inside the argument of a sub-query's aggregate joins
  // that sub-query's FROM instead (LATERAL where it reads the rows there), read
  // as a column of its one row: for an engine that decorrelates no sub-query
  // holding one there.
  virtual bool joins_subqueries_of_aggregated_values() const;  // 72
  // Whether a sub-query's aggregate whose argument holds a sub-query reads
  // that argument from a derived table of the sub-query's rows instead: for an
  // engine that generates no code for an outer value read there.
  virtual bool aggregates_subqueries_from_rows() const;  // 73
  // The form, {0} a value and {1} the program's declared type of a one-field
  // record (the field "v") of the value's type, that reads the value as of
  // that type field by field by their names: for an engine where a record of
  // a type only it knows (a host table's column) is of no common type with a
  // record the program writes. None where records of one shape are of one type.
  virtual std::optional<std::string_view> declared_type_reading() const;  // 74
  // A value written by the program read as of the type `type` it shares with
  // its siblings (the elements of one list, the branches of one choice), where
  // records of one shape written with a null field and with a value there are
  // of no common type and the engine has no declared type to read them by.
  // `written` is the type the value was written with. None to leave it as
  // written.
  virtual std::optional<std::string> written_value_as(std::string_view sql, const Type& written,
                                                      const Type& type) const;
  // Where the engine's MAX and MIN take no record: the greatest (or least)
  // record of a group, "{0}" the record, ordered by the values of its fields
  // (`fields`, each written over "{0}"), a null field after every value. None
  // where MAX and MIN take records.
  virtual std::optional<std::string> extreme_record(const std::vector<std::string>& fields,
                                                    bool greatest) const;  // 75
  // Whether a combine that reads the rows of a rule outside any combine, and
  // whose value the rule's head holds, joins the rule's FROM as a LATERAL
  // sub-query read as a column of its one row, where its SQL is one sub-query:
  // for an engine whose optimizer moves such a sub-query of a projection into
  // the conditions of a query that reads the projection, where it runs
  // uncorrelated.
  virtual bool joins_combines_of_columns() const;  // 76
  // The FROM item that unnests `list_sql` under `alias` where the list is one
  // sub-query that the engine reads only as a relation of its own; none to
  // unnest it by the phrases above.
  virtual std::optional<std::string> unnested_subquery(std::string_view list_sql,
                                                       std::string_view alias) const;  // 77
  // Whether the engine's form of the built-in `function` unnests its list
  // arguments: an empty list written as an untyped literal is then cast to
  // a list type, as no one form of UNNEST takes a value of no type.
  virtual bool unnests_list_arguments(std::string_view function) const;  // 78
  // The value `sql`, of type `type`, as the engine's printf takes it for the
  // conversion `conversion` ('s', 'd', 'f', ...): for an engine whose printf
  // refuses a value of another type than the conversion names.
  virtual std::string format_value(char conversion, std::string_view sql, const Type& type) const;  // 80
  // A bare null given as the argument at `place` (from 0) of a call of the
  // built-in `function` with `count` arguments, written with the type that
  // argument takes, where the engine cannot choose among the function's forms
  // by a value of no type; none to leave it bare.
  virtual std::optional<std::string> typed_null_argument(std::string_view function, size_t count,
                                                         size_t place) const;  // 81
  // Whether a value of the program's predicate read by a sub-query (a call
  // of a function the program defines) inside the argument of an aggregate of
  // a sub-query that reads the query around joins that sub-query's FROM
  // instead, as a LATERAL select of one row: for an engine that decorrelates
  // no sub-query of one row's value nested there. A field of a stored record
  // that such a value's argument reads is then a column of its own of the
  // table it is read from, for an engine that decorrelates no sub-query whose
  // outer value is a field.
  virtual bool joins_value_calls_of_aggregates() const;  // 82
  // Whether a `Format` call is written "(CASE WHEN {0} IS NULL OR ... THEN NULL
  // ELSE ... END)" over its arguments: for an engine whose printf writes a
  // missing value as a text of its own instead of making the result null.
  virtual bool null_guarded_format() const;  // 83
  // Where the engine's MAX and MIN would order lists by another order than
  // element by element: the greatest (or least) list of a group, "{0}" the
  // list, the lists and records inside it ordered the same way. Where records
  // compare in their form, it orders the records that hold a list too. None
  // where MAX and MIN order lists so.
  virtual std::optional<std::string> extreme_list(bool greatest) const;  // 84
  // An element of a list written, `sql` of type `type`, as the list holds it:
  // for an engine that tells lists apart by a spelling that would keep 1.0
  // apart from 1.
  virtual std::string list_item(std::string sql, const Type& type) const;  // 85
  // A condition of a rule's WHERE that orders (<, <=, >, >=) the same two
  // values as one before it: for an engine that never finishes a join that
  // orders its two sides twice. As it is unless an engine says.
  virtual std::string ordered_again(std::string condition) const;  // 86
  // A condition of a rule's WHERE that two records are equal, as values whose
  // null fields equal each other: "=" unless the engine's "=" of rows is null
  // where a field is.
  virtual std::string records_equal(const std::string& left, const std::string& right) const;
  // Sort, or Unique when `unique`, of a list ("{0}") of records or of lists
  // of type `element`, ordered as the language orders them, a null after every
  // value at each level: for an engine whose own order of such values differs
  // or fails on a null inside. None where the function's template serves.
  virtual std::optional<std::string> list_sorted_by_value(const Type& element, bool unique) const;
  // ToString of a list or a record, "{0}" the value: for an engine that casts
  // neither to a text. None where the engine's cast to a text takes both.
  virtual std::optional<std::string_view> container_to_string() const;  // 87: "{0}"
  // Where the engine neither compares nor groups lists, nor records holding
  // one: the form, "%s" the value, in which two such values are equal when
  // their elements are, in order and with their duplicates; a missing value
  // stays missing. None where the engine compares and groups them as they are.
  virtual std::optional<std::string_view> list_comparison_form() const;  // 88
  // Where rows are grouped by such a value in that form: the group's value,
  // "{0}" the value each row holds (all of them equal).
  virtual std::string_view value_of_list_group() const;  // 89
  // Whether the engine's FLOOR, CEIL, ROUND and TRUNC of a 64-bit integer give
  // a double, which holds no integer past 2^53: Floor, Ceil, Round and Trunc
  // of a value known to be an integer are then written as the value itself.
  virtual bool rounds_integers_to_doubles() const;  // 90
  // Where ORDER BY would order lists and records by another order than the
  // language's (element by element, a list that ends first the lesser,
  // numbers by value, a null after every value, a record's fields by their
  // names): a key, "{0}" the value, whose own order is the language's. None
  // where ORDER BY orders them so.
  virtual std::optional<std::string> container_order_key() const;  // 91: "{0}"
  // A call guarded as null_guarded_format says: null where one of `values`,
  // its arguments' SQL, is; `fill` writes the call over the values it is
  // given. As it is, each value is tested where it is written: a value that is
  // itself such a call is written twice.
  virtual std::string null_guarded_call(
      const std::vector<std::string>& values,
      const std::function<std::string(const std::vector<std::string>&)>& fill) const;  // 92
  // Whether ORDER BY, MAX and MIN take a list, and ORDER BY a record, as it
  // is (a record's own MAX and MIN are extreme_record's).
  virtual bool orders_lists_and_records() const;  // 93
  // Where they do not: Sort or Unique of a list of records, "{0}" the list,
  // ordered by the values of the records' fields (`fields`, each written over
  // the element "x"), a null field after every value. None to write it as of
  // any other list.
  virtual std::optional<std::string> records_reordered(std::string_view function,
                                                       const std::vector<std::string>& fields) const;  // 94
  // Whether an aggregation by groups is written "HAVING COUNT(*) > 0": for an
  // engine whose planner computes an aggregate of one side of a cross join
  // before the join, so that an empty side still gives a group for every row
  // of the other, the join written in the query or in a relation it reads.
  virtual bool keeps_only_groups_of_rows() const;
};

// The kind an argument table gives the argument at `place` of `function`
// called with `count` arguments: the table is a line per function, its name
// (perhaps with "/" and a count of arguments, which a line of that count
// overrides) and, after a blank, one character per argument; none past them.
std::optional<char> argument_kind(std::string_view table, std::string_view function, size_t count,
                                  size_t place);
// The levels of lists of `type`, one for each list around the next: none for
// a type that is no list.
size_t list_depth(const Type& type);
// Whether the type is a list or a record with a list among its fields, at any depth.
bool holds_list(const Type& type);
// A null cast to the SQL type that `types` pairs with `kind`; none for a kind
// it does not name, or none at all.
std::optional<std::string> null_of_kind(std::optional<char> kind,
                                        std::initializer_list<std::pair<char, std::string_view>> types);

}  // namespace mirtova
