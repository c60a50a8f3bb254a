// Condition names and the allocator of table aliases used when a rule is written as SQL.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace mirtova {

// Whether a called name is a condition rather than a relation that gives rows.
bool is_constraint_predicate(std::string_view name);

// One allocator serves every rule of a compilation, so that the aliases of a
// correlated sub-query never shadow those of the rule around it.
class NamesAllocator {
 public:
  // The cleaned predicate name when it is free, not reserved and no column name
  // of the open scope, else "t_{n}_" + that name.
  std::string alloc_table(std::string_view predicate);
  // "t_{n}", for the element of an unnested list.
  std::string alloc_unnest();
  // Tells whether a name (lower case) is a column of a table in reach.
  using ColumnTest = std::function<bool(const std::string& lower)>;
  // While one rule is written, which names (lower case) are columns of the
  // tables it reads, its sub-queries' included: no alias takes one of them, as
  // DuckDB reads "u.col0" as field col0 of a column u when a table in reach has
  // one, and BigQuery may group by a table where a column was meant. A rule
  // inside another (a combine) also keeps clear of the one around it.
  void open_scope(ColumnTest is_column, bool inside_enclosing);
  void close_scope();
  // As new, but for the names kept to be taken again without being stored
  // again: each script of compile_all takes most of the names of the one before.
  void reset();

  // Told of every look-up in, and addition to, the names in use: a caller
  // that keeps a piece of SQL to write again later learns what the piece read
  // of them and what it took. None is told by default.
  class Log {
   public:
    virtual ~Log() = default;
    // `numbered`: a "t_{n}" name, whose number the counter gave; `column`:
    // a column of the tables in reach, which no alias takes whether in use or not.
    virtual void name_looked_up(const std::string& lower, bool in_use, bool numbered, bool column) = 0;
    virtual void name_taken(const std::string& lower) = 0;
  };
  void set_log(Log* log) { log_ = log; }
  // What writing such a piece again restores: the names it took and where
  // the numbering of "t_{n}" names stood after it.
  bool in_use(const std::string& lower) const;
  void mark_in_use(const std::string& lower);
  int64_t counter() const { return counter_; }
  void set_counter(int64_t counter) { counter_ = counter; }

 private:
  std::string take(std::string name);
  bool taken(const std::string& lower, bool numbered) const;
  bool column_in_reach(const std::string& lower) const;

  int64_t counter_ = 0;
  // Compared without regard to ASCII case, as engines do. Only looked up (it
  // holds every alias of the program), so hashed. A name is in use when the
  // generation that took it last is the present one; a reset starts the next.
  std::unordered_map<std::string, uint64_t> used_lower_;
  uint64_t generation_ = 0;
  size_t taken_now_ = 0;  // names of the present generation
  struct Scope {
    ColumnTest is_column;
    bool inside_enclosing;
  };
  std::vector<Scope> scopes_;
  Log* log_ = nullptr;
};

}  // namespace mirtova
