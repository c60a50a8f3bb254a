// Which column names the tables of a program are read or written with, for
// choosing table aliases that no column of a table in reach shadows.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "common/string_hash.h"
#include "parser/json.h"

namespace mirtova {

// Built once per program, in one pass over its rules; asked per alias with the
// tables of the rule being written, so a rule costs what it reads, not what
// the program holds. The table names are views into the rules given, which
// must outlive the columns unchanged (a program keeps its rules): a program of
// thousands of tables would otherwise hold each name once per column.
class TableColumns {
 public:
  // The columns of every rule's head, and of every call of a name for which
  // is_table holds (a body conjunct or a call inside an expression, at any depth).
  static TableColumns collect(const std::vector<Json>& rules,
                              const std::function<bool(std::string_view)>& is_table);
  // The same, in the same pass handing `named(rule, name)` every predicate
  // name an object of a rule gives (its head's, a call's, a predicate
  // literal's, at any depth), and `variable(rule, name)` every variable's
  // name that is text, for a caller that wants them too: one walk of the
  // program instead of several.
  using OnName = std::function<void(size_t rule, std::string_view name)>;
  struct Mentions {
    OnName named;
    OnName variable;
  };
  static TableColumns collect(const std::vector<Json>& rules,
                              const std::function<bool(std::string_view)>& is_table,
                              const Mentions& mentions);
  // The same for more rules of the program (kept apart from the others, as
  // its engine's library is).
  void add_rules(const std::vector<Json>& rules, const std::function<bool(std::string_view)>& is_table,
                 const Mentions* mentions = nullptr);

  // Reads the columns of `shared` as if added here: the columns an engine's
  // library gives every program, gathered once (see library_columns.h).
  void share(std::shared_ptr<const TableColumns> shared);

  // Every call of a name that `keep` accepts, by name: the columns it is called with.
  static std::map<std::string, std::vector<std::string>, std::less<>> calls_of(
      const std::vector<Json>& rules, const std::function<bool(std::string_view)>& keep);

  // Adds `columns` as columns of `table`, whose name is copied.
  void add_columns(const std::string& table, const std::vector<std::string>& columns);

  // The names a rule writes or reads, its combines' included: sorted, each once.
  static std::vector<std::string> tables_in_reach(const Json& rule);

  // Whether `lower` (a name in lower case) is a column of one of `tables` (as
  // tables_in_reach gives them).
  bool is_column_of(const std::string& lower, const std::vector<std::string>& tables) const;
  // Whether `lower` is a column of any table: when not, no tables need asking.
  bool is_any_column(const std::string& lower) const;
  // Whether some column is named as a numbered table alias ("t_" and a
  // digit): an alias numbered afresh could then meet a column it must keep clear of.
  bool has_numbered_alias_name() const;

 private:
  // Adds `column`, whose case is lowered in `lower` (a buffer kept between
  // calls, so that the common case allocates nothing), to the columns of
  // `table`, whose text must last as long as this.
  void add(std::string_view column, std::string_view table, std::string& lower);
  // The number of the set of columns `set` with `column` added.
  uint32_t with_column(uint32_t set, uint32_t column);

  // Column names in lower case, numbered as met: most names asked about are
  // no column at all, and are answered by one look-up.
  std::unordered_map<std::string, uint32_t, StringHash, std::equal_to<>> column_numbers_;
  // Per table, the number of its set of columns. A long program has many
  // tables with the same few columns: a table costs one entry, whatever its
  // columns, and the sets are held once. Only ever looked up, so hashed.
  std::unordered_map<std::string_view, uint32_t, ViewHash, std::equal_to<>> set_of_table_;
  // The sets of column numbers met, each sorted; the first is the empty set.
  std::vector<std::vector<uint32_t>> column_sets_{{}};
  std::map<std::vector<uint32_t>, uint32_t> set_numbers_{{{}, 0}};
  // For a set and a column added to it (set << 32 | column), the set it makes.
  std::unordered_map<uint64_t, uint32_t> grown_sets_;
  // A table of more columns than this holds them as its own: growing a
  // shared set a column at a time makes a set of each size on the way, which
  // for a head of thousands of fields is memory and work in its square.
  static constexpr size_t kMostSharedColumns = 64;
  std::unordered_map<std::string_view, std::unordered_set<uint32_t>, ViewHash, std::equal_to<>> wide_tables_;
  std::shared_ptr<const TableColumns> shared_;
  // The names add_columns was given, which no rule here holds: a deque, so
  // that the views of the earlier ones stay put.
  std::deque<std::string> own_names_;
  bool numbered_alias_name_ = false;
};

}  // namespace mirtova
