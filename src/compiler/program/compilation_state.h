// The compilation state of a QuorilProgram, kept out of universe.h: what one
// formatted_* call builds, and the program's answers to its expression
// translators. Only the program's own files include it.
#pragma once

#include <deque>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <unordered_set>
#include <utility>
#include <vector>

#include "compiler/dialects/record_types.h"
#include "compiler/program/clause_reuse.h"
#include "compiler/program/universe.h"

namespace mirtova {

// One WITH clause list per statement being written.
struct QuorilProgram::Frame {
  std::vector<std::pair<std::string, std::string>> entries;
  std::set<std::string> done;
  // A dependency met deeper than the walk may recurse waits here, is written
  // once the predicate that met it is done, and is placed before its readers
  // when all that wait are written: a chain of any length takes no deeper
  // recursion than a short one.
  std::deque<std::string> waiting;
  std::set<std::string> met;                              // waiting or written
  std::map<std::string, std::string> written;             // SQL written, not yet placed
  std::map<std::string, std::vector<std::string>> reads;  // the waiting ones each met
};

// The steps of one stored table, or of one loop, form a unit. What each
// unit reads is kept so that steps written out of turn can be put back in
// an order where each table is made before it is read.
struct QuorilProgram::StepUnits {
  std::map<std::string, size_t> of_predicate, of_loop;
  std::vector<std::string> names;          // a predicate of each unit, for messages
  std::vector<const IterationDef*> loops;  // the loop of each unit that is one
  std::vector<std::vector<size_t>> reads;  // the units each reads, as met
  // The loops that add to a unit's table right after it is made: whoever
  // reads the table reads it once they are done.
  std::vector<std::vector<size_t>> tails;
  std::vector<size_t> of_step;  // the unit of each of the steps written
  std::vector<size_t> open;     // the units being written, each inside the one before
};

// Everything one formatted_* call builds; reset at its start so that a
// predicate's SQL does not depend on what was compiled before it.
struct QuorilProgram::CompilationState {
  NamesAllocator names;
  int64_t variable_counter = 0;
  RecordTypes record_types;
  // The names in record_types, looked up once per record value written.
  std::unordered_set<std::string> record_type_names;
  // Each level of a nested record value registers its type, which holds the
  // level below's: named afresh, every level would be read again per level.
  RecordTypeNames record_type_namer;
  std::vector<PlanStep> steps;
  std::set<std::string> emitted, in_progress, with_in_progress;
  std::set<std::string> loops_done, loops_in_progress;
  std::vector<Frame> frames;
  std::set<std::string> building_loop_members;
  // WITH names by predicate, distinct without regard to case, so that two
  // predicates whose cleaned names coincide never share a WITH clause.
  std::map<std::string, std::string> with_names;
  std::set<std::string> with_names_lower;
  // Predicates whose SQL is being written, each inside the one before: the
  // walk over dependencies recurses once per level, up to a bound.
  std::vector<std::string> writing;
  // Stored tables met deeper than the walk may recurse: each is written
  // after the main query, from the top, where what it meets that deep waits
  // in turn; then the steps are put in order. A chain of any length of
  // tables, each read by the next, takes no deeper recursion than a short one.
  std::deque<std::string> waiting_steps;
  StepUnits units;
  // How many combines the rule being written sits in, within its statement
  // or WITH clause.
  size_t combine_level = 0;
  // The WITH clauses of the script's statement, once it is written.
  std::vector<std::pair<std::string, std::string>> statement_clauses;
};

// The program's answers to an expression translator.
class UniverseSubqueryTranslator : public SubqueryTranslator {
 public:
  explicit UniverseSubqueryTranslator(QuorilProgram& program) : program_(program) {}
  Result<std::string, CompileError> translate_table(std::string_view predicate) override;
  std::string table_alias(std::string_view predicate) override;
  Result<std::string, CompileError> translate_rule(const Json& rule, const Vocabulary& outer,
                                                   const TypeMap& outer_types, bool in_combine,
                                                   OuterRows* around) override;
  std::optional<std::string> combine_psql_type(const Json& rule) override;
  std::optional<Type> gathered_list_type(const Json& rule, const TypeMap& outer_types) override;
  std::optional<Type> column_type(std::string_view predicate, std::string_view column) override;
  Type combine_value_type(const Json& combine, const TypeMap& outer_types) override;
  bool integer_column(std::string_view predicate, std::string_view column) override;
  bool integer_combine(const Json& combine) override;
  std::string register_record_type(const Type& record) override;
  bool column_of_nulls(std::string_view predicate, std::string_view column) override;
  bool aggregates_nulls(const Json& rule, std::string_view column) override;
  bool field_filled_with_nulls(std::string_view predicate, std::string_view column,
                               std::string_view field) override;
  bool filled_with_nulls(std::string_view predicate, std::string_view column) override;
  bool reads_program_value(std::string_view name) const override;
  std::shared_ptr<const ColumnOrigin> host_column_origin(std::string_view predicate,
                                                         std::string_view column) override;

 private:
  // Whether every rule of a column writes it as a bare null, by predicate and
  // column: a column is asked of once per rule that reads it, and each answer
  // reads all the rules of the column, and of the columns they read in turn.
  bool memo_nulls(std::map<std::string, bool, std::less<>>& memo, std::string_view predicate,
                  std::string_view column, bool follow);
  QuorilProgram& program_;
  std::map<std::string, bool, std::less<>> filled_, written_;
};

// A table name with each '.'-separated part quoted as the engine quotes identifiers.
std::string table_reference(std::string_view name, const Dialect& dialect);
;

}  // namespace mirtova
