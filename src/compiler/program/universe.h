// QuorilProgram: a parsed program ready to compile (rules by predicate, annotations,
// column types, flags) and the plans and scripts it writes for one predicate.
// What one compilation builds is kept in compilation_state.h, which only the
// program's own files read.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "common/compile_error.h"
#include "common/result.h"
#include "common/string_hash.h"
#include "compiler/dialects/dialect.h"
#include "compiler/expr_translate/basis_functions.h"
#include "compiler/expr_translate/subquery_translator.h"
#include "compiler/functors/dependency_graph.h"
#include "compiler/functors/generated_names.h"
#include "compiler/program/annotations.h"
#include "compiler/program/injection_size.h"
#include "compiler/program/integer_columns.h"
#include "compiler/program/kept_types.h"
#include "compiler/program/table_columns.h"
#include "compiler/program/universe_inject.h"
#include "compiler/rule_translate/rule_translate.h"
#include "compiler/type_inference/inference.h"
#include "parser/json.h"
#include "parser/names.h"

namespace mirtova {

struct PlanStep {
  enum class Kind { Setup, Sql, Loop };
  Kind kind = Kind::Sql;
  std::string sql;                // Setup and Sql
  std::vector<std::string> body;  // Loop: statements run on each repetition
  int64_t repetitions = 0;        // Loop
  std::string changed;            // Loop: a query whose 0 ends the loop early
  std::string iteration;          // Loop: the iteration's name, for messages
  // Statements that only the "changed" query needs: a Sql step that serves
  // it alone, or that many first statements of a loop's body. A script runs
  // every repetition and never asks, so its write-out leaves them out.
  size_t for_changed_only = 0;

  static PlanStep setup(std::string sql) { return PlanStep{Kind::Setup, std::move(sql), {}, 0, {}, {}, 0}; }
  static PlanStep statement(std::string sql) { return PlanStep{Kind::Sql, std::move(sql), {}, 0, {}, {}, 0}; }
};

struct PageWindow {
  std::optional<uint64_t> limit;
  std::optional<uint64_t> offset;
};

using TextMap = std::map<std::string, std::string>;

class ClauseReuse;
class PredicateMemo;
struct ClauseState;
class UniverseSubqueryTranslator;

class QuorilProgram : private InjectionSource, private RuleContext {
 public:
  // `flag_overrides` replace or add flag values; `reserved` is accepted and unused.
  // The tree is taken by value: a caller done with it moves it in, and its
  // rules become the program's without a copy.
  static Result<std::unique_ptr<QuorilProgram>, CompileError> new_with_engine(Json tree,
                                                                              const TextMap& flag_overrides,
                                                                              const TextMap& reserved,
                                                                              std::optional<Engine> engine);
  // The same with the library rules given (tests build programs without the engine's library).
  static Result<std::unique_ptr<QuorilProgram>, CompileError> build(Json tree, const TextMap& flag_overrides,
                                                                    std::optional<Engine> engine,
                                                                    const std::vector<Json>* library);

  // Keeps each WITH clause written for a later script of this program to
  // repeat where it can; for a caller that asks for many scripts.
  void reuse_clauses();

  // The names the user's program defines, in byte order.
  std::vector<std::string> user_defined_predicates() const { return user_defined_; }
  // What a caller that bounds many scripts together measures them by (see
  // scripts_bound.h): the predicates each predicate's live rules call, the
  // user's predicates first; and the WITH clauses (predicate, text) of the
  // last script's statement, kept only while clauses are reused.
  DependencyGraph call_graph() const;
  std::vector<std::pair<std::string, std::string_view>> last_clauses() const;

  Result<std::vector<PlanStep>, CompileError> formatted_predicate_plan(
      std::string_view predicate, PageWindow window, const std::optional<std::string>& pattern);
  Result<std::string, CompileError> formatted_predicate_sql_impl(std::string_view predicate,
                                                                 PageWindow window,
                                                                 const std::optional<std::string>& pattern);

  ~QuorilProgram() override;

 private:
  friend class UniverseSubqueryTranslator;
  QuorilProgram();

  // Every rule has a value and arguments, and one leaves an argument to the
  // caller (it has no body, or its body names the argument only in
  // comparisons): a function, not a relation.
  bool is_function_of_arguments(std::string_view predicate) const;
  Result<std::string, CompileError> translate_table_in_context(std::string_view predicate);
  Result<std::string, CompileError> table_in_context(std::string_view predicate);
  Result<std::string, CompileError> single_rule_sql(const Json& rule, const Vocabulary& outer,
                                                    const TypeMap& outer_types, bool in_combine,
                                                    OuterRows* around);
  const Annotations& annotations() const { return ann_; }
  const Dialect& dialect() const { return *dialect_; }

  // build, with the names it makes collected in `made` until the rules are
  // complete, and from then on (`made` emptied) only in `made_names`.
  static Result<std::unique_ptr<QuorilProgram>, CompileError> assemble(
      Json tree, const TextMap& flag_overrides, std::optional<Engine> engine,
      const std::vector<Json>* library, GeneratedNames& made,
      std::shared_ptr<const PredicateNames>& made_names);
  // `error` with the predicates it names as the user wrote them.
  static CompileError as_written(const PredicateNames& made_names, CompileError error);
  Result<std::vector<PlanStep>, CompileError> plan_steps(std::string_view predicate, PageWindow window,
                                                         const std::optional<std::string>& pattern);
  Result<std::vector<PlanStep>, CompileError> plan_steps_written(std::string_view predicate,
                                                                 PageWindow window,
                                                                 const std::optional<std::string>& pattern);
  // A WITH clause of `plan` to store as a table, read more than once by a
  // statement past the engine's bound on stages; none when every statement
  // is within it or storing would not help.
  std::optional<std::string> clause_to_store(const std::vector<PlanStep>& plan) const;
  Result<std::vector<PlanStep>, CompileError> plan_steps_once(std::string_view predicate, PageWindow window,
                                                              const std::optional<std::string>& pattern);
  Result<std::string, CompileError> script(std::string_view predicate, PageWindow window,
                                           const std::optional<std::string>& pattern);

  // InjectionSource
  const Json* injectable_rule(std::string_view predicate) const override;
  bool is_built_in_function(std::string_view name) const override;
  std::string fresh_variable() override;
  bool may_inject_at(size_t combines_deep) const override;
  bool may_inject_combines_at(size_t combines_deep) const override;
  // RuleContext
  Result<std::string, CompileError> relation_text(std::string_view predicate) override;
  bool is_program_predicate(std::string_view predicate) const override;
  std::optional<std::vector<std::string>> columns_of(std::string_view predicate) const override;
  NamesAllocator& names() override;

  Result<std::string, CompileError> rule_sql(const Json& rule, const Vocabulary& outer,
                                             const TypeMap& outer_types, bool in_combine,
                                             const std::vector<std::string>* column_order,
                                             OuterRows* around = nullptr);
  Result<std::string, CompileError> predicate_sql(std::string_view predicate);
  // predicate_sql's writing, once the predicate is on the writing stack;
  // with `part`, of those of its rules in that range of the ones written.
  Result<std::string, CompileError> rules_sql(std::string_view predicate,
                                              std::optional<std::pair<size_t, size_t>> part = std::nullopt);
  // rules_sql of a part of the predicate's rules, placing what waits (as
  // predicate_sql_placing_waiting).
  Result<std::string, CompileError> rules_part_sql(const std::string& predicate,
                                                   std::pair<size_t, size_t> part);
  // How many rules rules_sql writes for the predicate; 0 where they are not
  // to be written in parts (a distinct predicate's).
  size_t rules_in_parts(std::string_view predicate) const;
  // The predicate whose table holds the rows of a materialised predicate, if it is one.
  std::optional<std::string> table_owner(std::string_view predicate) const;
  std::string table_of(std::string_view predicate) const;
  Result<std::string, CompileError> with_name(std::string_view predicate);
  Result<Unit, CompileError> ensure_step(const std::string& predicate);
  Result<Unit, CompileError> ensure_loop(const IterationDef& iteration);
  // The unit whose steps make a predicate's table: its own, or its loop's (see StepUnits).
  size_t step_unit(const std::string& predicate);
  size_t loop_unit(const IterationDef& iteration);
  size_t new_unit(std::string name, const IterationDef* loop);
  // The unit being written reads `unit`'s table.
  void note_read(size_t unit);
  void push_step(size_t unit, PlanStep step);
  // Writes the steps that waited (see CompilationState::waiting_steps), then
  // puts every step after those it reads.
  Result<Unit, CompileError> write_waiting_steps();
  Result<std::string, CompileError> materialise(const std::string& predicate);
  // The WITH clauses and the SELECT of a materialised predicate's rows (of
  // the rules in `part`, as rules_sql takes it).
  Result<std::string, CompileError> materialised_select(
      const std::string& predicate, std::optional<std::pair<size_t, size_t>> part = std::nullopt);
  // "DROP TABLE IF EXISTS {table}; CREATE TABLE {table} AS {select}".
  std::string replace_table(const std::string& table, const std::string& select) const;
  // The "changed" query of a loop whose members' rows `selects` give; puts the
  // statements it needs at the start of the loop's body and into the plan.
  std::string loop_changed_query(const IterationDef& iteration, const std::vector<std::string>& selects,
                                 PlanStep& loop, size_t unit);
  // Whether some rule of `predicate` is not distinct, so that its rows form a bag.
  bool keeps_duplicates(const std::string& predicate) const;
  // A SELECT of `table`'s rows as a loop's "changed" query compares them: with
  // each row's count when `predicate`'s rows form a bag.
  std::string rows_to_compare(const std::string& table, const std::string& predicate) const;
  // Whether a loop tells `predicate`'s rows apart by the engine's form of a
  // value holding a list: the engine neither compares nor groups lists, and a
  // column may hold one (or is of no known type).
  bool rows_compared_in_form(const std::string& predicate) const;
  // A row of the table under `alias` in that form.
  std::string row_in_form(std::string_view alias) const;
  Result<std::string, CompileError> main_query(const std::string& predicate, PageWindow window,
                                               const std::optional<std::string>& pattern);
  std::string search_filter(const std::string& predicate, const std::string& body,
                            const std::string& pattern) const;
  // The set-up for the statements `main` and state_.steps.
  std::string setup_text(const std::string& main) const;
  std::optional<Type> column_type(std::string_view predicate, std::string_view column) const;
  // The variable types of `rule` when it is one of the program's rules, under `outer`.
  TypeMap rule_types(const Json& rule, const TypeMap& outer) const;

  // How many predicates may wait on one another's SQL at once. Each level costs a
  // few kilobytes of stack, so this keeps the walk well within a Python thread's
  // stack; a WITH clause met deeper waits (see Frame) instead of nesting, and
  // so does a stored table (see CompilationState::waiting_steps), so that the
  // output depends on the program alone, not on the stack.
  static constexpr size_t kMaxPredicateDepth = 250;

  struct Frame;
  // The frame's WITH clauses, then `statement`; with `room` bytes to spare.
  std::string render_frame(const Frame& frame, std::string_view statement, size_t room) const;
  // What a WITH clause about to be written may read or change.
  ClauseState clause_state();
  // Registers a record type for the setup; its name.
  std::string add_record_type(const Type& record);
  // predicate_sql, then the WITH clauses that waited while it was written,
  // each before the first that reads it.
  Result<std::string, CompileError> predicate_sql_placing_waiting(const std::string& predicate);
  Result<Unit, CompileError> place_waiting(const std::string& root);

  struct StepUnits;

  struct CompilationState;

  // injectable_rule without the memo.
  const Json* find_injectable_rule(std::string_view predicate) const;

  // The program's rules: its own, then the library's, shared with every
  // program of the engine and never copied. Rule i is rule_at(i).
  const Json& rule_at(size_t i) const {
    return i < own_rules_.size() ? own_rules_[i] : (*library_)[i - own_rules_.size()];
  }
  size_t rule_count() const { return own_rules_.size() + library_->size(); }
  std::vector<Json> own_rules_;
  // Where the engine declares record fields by type: the columns of integers,
  // declared BIGINT there, not DOUBLE.
  IntegerColumns integer_columns_;
  std::shared_ptr<const std::vector<Json>> library_;
  // Looked up for every call the compiler meets, so hashed; nothing walks it
  // in hash order (the one walk over all predicates sorts the names first).
  // Keyed by the name in the head of the predicate's first rule, which the
  // program keeps unchanged, and answered as a part of rule_numbers_: a
  // program of many predicates would otherwise hold each name a second time,
  // and a list of its own for each predicate.
  std::unordered_map<std::string_view, std::span<const size_t>, ViewHash, std::equal_to<>> rules_of_;
  // The numbers of the rules of each predicate in turn, in rule order.
  std::vector<size_t> rule_numbers_;
  // injectable_rule's answers: fixed once the program is built, asked for
  // every call in every injection round.
  mutable std::unordered_map<std::string, const Json*, StringHash, std::equal_to<>> injectable_;
  // How large each predicate would make a rule that injects it; filled as
  // injectable_rule asks, like injectable_.
  mutable InjectionSizes injection_sizes_;
  Annotations ann_;
  std::unique_ptr<Dialect> dialect_;
  std::shared_ptr<const BasisNames> built_ins_;
  // The types of the program's predicates' columns and rules' variables, by
  // their numbers in kept_types_.
  TypeTable kept_types_;
  PredicateColumnTypes column_types_;
  // Per program rule (by its number), the types inference gave its variables;
  // those of the engine's library rules are read where the library was typed,
  // once per engine (shared_number_: the rule's place there, or kUnshared), as
  // are the library's column types that column_types_ does not hold.
  std::vector<NamedTypes> rule_variable_types_;
  static constexpr uint32_t kUnshared = ~uint32_t{0};
  std::vector<uint32_t> shared_number_;
  std::shared_ptr<const std::vector<RuleVariableTypes>> shared_rule_variables_;
  std::shared_ptr<const PredicateTypes> shared_column_types_;
  // The host tables the program reads, by name, as the SQL names them; only
  // where the dialect declares a record field by a host column's type.
  HostTables host_tables_;
  FlagMap flags_;
  std::vector<std::string> user_defined_;
  // Predicates stored as tables of their own so that a statement that reads
  // them stays within the engine's bound on stages (see clause_to_store);
  // chosen afresh for each script, which is then the same however many
  // scripts of the program were written before it.
  std::set<std::string, std::less<>> stored_;
  // What table aliases keep clear of: the column names of every table.
  TableColumns table_columns_;
  // Per program rule (by its number), what could give the rewrites before its
  // translation work: the predicates of one rule and "nil" that it names (those
  // of rule n are names[start[n]] up to names[start[n + 1]]), and whether it
  // holds a compiler variable. Gathered in the walk that gathers the columns,
  // so that a rule naming no predicate injected or inlined is translated
  // without a search of it.
  struct RewriteCandidates {
    std::vector<std::string_view> names;
    std::vector<uint32_t> start;
    std::vector<bool> compiler_variable;
  };
  RewriteCandidates rewrite_candidates_;
  // For a program rule whose names tell it, the work rewrite_work would find,
  // or more injection than it would (which then changes nothing).
  std::optional<RewriteWork> rewrite_work_by_names(const Json& rule) const;
  // The predicates the compilation made for itself, each with the user's
  // predicate it stands for: every message names predicates as the user wrote them.
  std::shared_ptr<const PredicateNames> made_names_;
  // What one formatted_* call builds, and the program's answers to its
  // expression translators (see compilation_state.h).
  std::unique_ptr<CompilationState> state_;
  std::unique_ptr<UniverseSubqueryTranslator> subqueries_;
  // WITH clauses kept for later scripts of this program (see clause_reuse.h),
  // and each predicate's own SQL (see predicate_memo.h).
  std::unique_ptr<ClauseReuse> reuse_;
  std::unique_ptr<PredicateMemo> memo_;
};

}  // namespace mirtova
