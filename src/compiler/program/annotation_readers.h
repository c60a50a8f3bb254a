// One reader per annotation: each reads one "@" statement into a value or a
// CompileError. The compile stops at the first error (annotations.cpp holds the
// table of readers); a checker calls the same readers and goes on.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/compile_error.h"
#include "common/result.h"
#include "parser/json.h"

namespace mirtova {

// @Engine("name", type_checking: bool)
struct EngineAnnotation {
  std::string engine;
  std::optional<bool> type_checking;  // when the statement says
};
// @Limit(P, n)
struct LimitAnnotation {
  std::string predicate;
  uint64_t limit = 0;
};
// @OrderBy(P, "item", ...)
struct OrderByAnnotation {
  std::string predicate;
  std::vector<std::string> items;
};
// @Ground(P) or @Ground(P, Owner): P's rows are stored in the table of Owner.
struct GroundDef {
  std::string predicate;
  std::string table_of;  // the 2nd argument, or the predicate
};
// How a plan sees that a loop is done before its repetitions are spent.
enum class LoopStop {
  // A round left every table the loop writes as it found it: true of any loop.
  RoundChangedNothing,
  // The iterative form of a recursion: the members come in two halves, the
  // i-th of each holding one of the two newest levels of one predicate, and
  // every such pair agrees.
  NewestLevelsAgree,
  // The semi-naive form of a recursion: each member holds only rows new to
  // the accumulator, and none holds any.
  NoNewRows,
};

// @Iteration(Name, predicates: [..], repetitions: n, stop_signal: "..", accumulate: P)
struct IterationDef {
  std::string name;
  std::vector<std::string> predicates;
  int64_t repetitions = 0;
  std::optional<std::string> stop_signal;
  std::optional<std::string> accumulate;
  std::string full_text;
  // Only the loops that recursion unfolding writes stop otherwise.
  LoopStop stop = LoopStop::RoundChangedNothing;
};
// @DefineFlag("name", value)
struct FlagDefinition {
  std::string name;
  std::string value;
};

// The predicate an annotation is about: its first argument's name.
Result<std::string, CompileError> read_first_predicate(const Json& rule);

Result<EngineAnnotation, CompileError> read_engine(const Json& rule);
Result<LimitAnnotation, CompileError> read_limit(const Json& rule);
Result<OrderByAnnotation, CompileError> read_order_by(const Json& rule);
// One ordering item of @OrderBy(predicate, ...): a name or a string.
Result<std::string, CompileError> read_order_item(const Json& rule, const std::string& predicate,
                                                  const Json& item);
// The refusal of a @Ground that names copy_to_file, if it does.
std::optional<CompileError> refuse_copy_to_file(const Json& rule);
Result<GroundDef, CompileError> read_ground(const Json& rule);
// @NoInject(P) and @With(P): P is not injected into its callers.
Result<std::string, CompileError> read_no_inject(const Json& rule);
Result<std::string, CompileError> read_compile_as_udf(const Json& rule);
Result<IterationDef, CompileError> read_iteration(const Json& rule);
// None for a statement without a flag name as a text.
Result<std::optional<FlagDefinition>, CompileError> read_define_flag(const Json& rule);
// None for a statement without an argument.
Result<std::optional<std::string>, CompileError> read_dataset(const Json& rule);
// Always refused: a program reads the database it runs on.
Result<Unit, CompileError> read_attach_database(const Json& rule);

// The whole number a number-literal argument holds; none for anything else.
std::optional<int64_t> limit_number(const Json& expr);
// Non-empty '.'-separated parts of ASCII letters, digits, '_' and '-', none starting with '-'.
bool is_schema_name(std::string_view text);
// None for a well-formed ordering item, else the message naming it.
std::optional<std::string> order_by_item_error(std::string_view item);
// Dotted identifiers, or a backquoted name whose parts may also hold '-'.
bool is_table_name(std::string_view name);
// An ordering item's words, split on white space.
std::vector<std::string_view> words_of(std::string_view text);

}  // namespace mirtova
