// Annotations: what a program's "@" statements ask of its compilation, read once per build.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "common/compile_error.h"
#include "common/result.h"
#include "parser/json.h"

namespace mirtova {

class Dialect;

struct GroundDef {
  std::string predicate;
  std::string table_of;  // the predicate whose table receives the rows: the 2nd argument or the predicate
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

class Annotations {
 public:
  // Reads every rule whose head name begins with "@"; names no file mentions are
  // passed over. `engine` (already checked) takes the place of @Engine.
  static Result<Annotations, CompileError> extract(const std::vector<Json>& rules,
                                                   const std::optional<std::string>& engine);

  const std::string& engine() const { return engine_; }
  bool type_checking() const { return type_checking_; }
  std::optional<uint64_t> limit_of(std::string_view predicate) const;
  const std::vector<std::string>& order_by_of(std::string_view predicate) const;
  const GroundDef* ground_of(std::string_view predicate) const;
  // Whether some @Ground stores another predicate's rows in this predicate's table.
  bool owns_table_of_other(std::string_view predicate) const;
  bool not_injected(std::string_view predicate) const;  // @NoInject or @With
  const std::vector<IterationDef>& iterations() const { return iterations_; }
  // The iteration whose members or accumulator include the predicate, if any.
  const IterationDef* iteration_of(std::string_view predicate) const;
  const std::map<std::string, std::string, std::less<>>& flag_values() const { return flags_; }
  const std::optional<std::string>& dataset() const { return dataset_; }

  // The engine's set-up script; empty for engines that need none.
  std::string preamble() const;
  // The table name a materialised predicate is stored under.
  std::string default_table(std::string_view predicate) const;
  // The ordering of the predicate's main query, items joined by ", "; empty when none.
  std::string order_by_clause(std::string_view predicate, const Dialect* dialect) const;

 private:
  std::string engine_ = "duckdb";
  bool type_checking_ = true;
  std::map<std::string, uint64_t, std::less<>> limits_;
  std::map<std::string, std::vector<std::string>, std::less<>> order_by_;
  std::map<std::string, GroundDef, std::less<>> grounds_;
  std::set<std::string, std::less<>> not_injected_;
  std::vector<IterationDef> iterations_;
  std::map<std::string, std::string, std::less<>> flags_;
  std::optional<std::string> dataset_;
  std::set<std::string, std::less<>> compiled_as_udf_;
};

// The whole number a number-literal argument holds; none for anything else.
std::optional<int64_t> limit_number(const Json& expr);
// Non-empty '.'-separated parts of ASCII letters, digits, '_' and '-', none starting with '-'.
bool is_schema_name(std::string_view text);
// None for a well-formed ordering item, else the message naming it.
std::optional<std::string> order_by_item_error(std::string_view item);
// Dotted identifiers, or a backquoted name whose parts may also hold '-'.
bool is_table_name(std::string_view name);

}  // namespace mirtova
