// Annotations: what a program's "@" statements ask of its compilation, read once per build.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "common/compile_error.h"
#include "common/engines.h"
#include "common/result.h"
#include "compiler/program/annotation_readers.h"
#include "parser/json.h"

namespace mirtova {

class Dialect;

class Annotations {
 public:
  // Reads every rule whose head name begins with "@"; names no file mentions are
  // passed over. `engine` takes the place of @Engine.
  static Result<Annotations, CompileError> extract(const std::vector<Json>& rules,
                                                   std::optional<Engine> engine);
  // The same over `rules` followed by `more`.
  static Result<Annotations, CompileError> extract(const std::vector<Json>& rules,
                                                   const std::vector<Json>& more,
                                                   std::optional<Engine> engine);

  // The engine given to extract, else the one the first @Engine statement
  // names, else DuckDB. A name that is none of the seven fails with
  // "Unsupported engine '{0}'. Supported engines: {1}.".
  Result<Engine, CompileError> engine() const;
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

  // The table name a materialised predicate is stored under.
  std::string default_table(std::string_view predicate) const;
  // The ordering of the predicate's main query, items joined by ", "; empty when none.
  // `key_of`, where given, may write a column's key in place of the column (none to keep it).
  std::string order_by_clause(
      std::string_view predicate, const Dialect* dialect,
      const std::function<std::optional<std::string>(std::string_view column)>& key_of = {}) const;

 private:
  std::optional<Engine> engine_given_;
  bool type_checking_ = true;
  std::map<std::string, uint64_t, std::less<>> limits_;
  std::map<std::string, std::vector<std::string>, std::less<>> order_by_;
  std::map<std::string, GroundDef, std::less<>> grounds_;
  std::set<std::string, std::less<>> not_injected_;
  std::vector<IterationDef> iterations_;
  std::map<std::string, std::string, std::less<>> flags_;
  std::optional<std::string> dataset_;
  std::optional<std::string> engine_named_;  // by the first @Engine statement
  // Asked per predicate the compiler meets, so looked up rather than searched:
  // the tables that store another predicate's rows, and per predicate the
  // position in iterations_ of the first iteration that holds it.
  std::set<std::string, std::less<>> owners_of_other_;
  std::map<std::string, size_t, std::less<>> iteration_of_;

  // Fills the two look-ups above once every statement is read.
  void index();

  friend struct AnnotationStore;
};

// Every annotation statement's error, in rule order, where the compile reports
// only the first.
std::vector<CompileError> annotation_errors(const std::vector<Json>& rules);

}  // namespace mirtova
