// Which column names the tables of a program are read or written with, for
// choosing table aliases that no column of a table in reach shadows.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "parser/json.h"

namespace mirtova {

// Built once per program, in one pass over its rules; asked per alias with the
// tables of the rule being written, so a rule costs what it reads, not what
// the program holds.
class TableColumns {
 public:
  // The columns of every rule's head, and of every call of a name for which
  // is_table holds (a body conjunct or a call inside an expression, at any depth).
  static TableColumns collect(const std::vector<Json>& rules,
                              const std::function<bool(std::string_view)>& is_table);
  // The same for more rules of the program (kept apart from the others, as
  // its engine's library is).
  void add_rules(const std::vector<Json>& rules, const std::function<bool(std::string_view)>& is_table);

  // Reads the columns of `shared` as if added here: the columns an engine's
  // library gives every program, gathered once (see library_columns.h).
  void share(std::shared_ptr<const TableColumns> shared);

  // Every call of a name that `keep` accepts, by name: the columns it is called with.
  static std::map<std::string, std::vector<std::string>, std::less<>> calls_of(
      const std::vector<Json>& rules, const std::function<bool(std::string_view)>& keep);

  // Adds `columns` as columns of `table`.
  void add_columns(const std::string& table, const std::vector<std::string>& columns);

  // The names a rule writes or reads, its combines' included.
  static std::set<std::string, std::less<>> tables_in_reach(const Json& rule);

  // Whether some column is named as a numbered table alias ("t_" and a
  // digit): an alias numbered afresh could then meet a column it must keep clear of.
  bool has_numbered_alias_name() const;

  // Whether `lower` (a name in lower case) is a column of one of `tables`.
  bool is_column_of(const std::string& lower, const std::set<std::string, std::less<>>& tables) const;

 private:
  // Per column name in lower case, the tables that have it: most names asked
  // about are no column at all, and are answered by one look-up.
  std::map<std::string, std::set<std::string, std::less<>>, std::less<>> tables_of_column_;
  std::shared_ptr<const TableColumns> shared_;
};

}  // namespace mirtova
