// WITH clauses kept from one script of a program to the next. compile_all
// writes a script per predicate, and along a chain each script holds every
// clause before it: written afresh each time, the work grows with the square
// of the chain. A clause's text depends on what its script wrote before it
// (aliases are numbered per script and keep clear of the names in use), so a
// clause is kept with what its writing read of the script's state and what it
// changed; where a later script comes to the same predicate in a state that
// agrees on everything read, the changes are made again instead of the work.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "compiler/rule_translate/names.h"
#include "compiler/type_inference/types.h"

namespace mirtova {

// What a clause's writing may read or change of the script being written.
struct ClauseState {
  NamesAllocator& names;
  std::map<std::string, std::string>& with_names;
  std::set<std::string>& with_names_lower;
  // Of the statement being written: its WITH clauses so far and their
  // predicates; the predicates put off past the depth bound, and for each
  // predicate the ones it met there.
  std::vector<std::pair<std::string, std::string>>& entries;
  std::set<std::string>& done;
  std::set<std::string>& met;
  std::deque<std::string>& waiting;
  std::map<std::string, std::vector<std::string>>& reads;
  const std::set<std::string>& with_in_progress;
  int64_t& variable_counter;
  size_t writing;      // predicates whose SQL is being written around the clause
  size_t depth_bound;  // how deep they may go before a clause is put off
  std::function<void(const Type&)> register_record_type;
};

class ClauseReuse : public NamesAllocator::Log {
 public:
  // Off until asked for: a single script has nothing to reuse.
  void enable() { enabled_ = true; }
  bool enabled() const { return enabled_; }
  // At the start of each script: what was read and written belongs to one script.
  void start_script(NamesAllocator& names);

  // What the writing of WITH clauses reads and changes besides the names in
  // use; each is noted only while a clause is being written.
  void name_looked_up(const std::string& lower, bool in_use, bool numbered, bool column) override;
  void name_taken(const std::string& lower) override;
  void alias_looked_up(const std::string& predicate, const std::string* alias);
  void alias_given(const std::string& predicate, const std::string& alias);
  void alias_name_looked_up(const std::string& lower, bool in_use);
  void alias_name_taken(const std::string& lower);
  void done_looked_up(const std::string& predicate, bool done);
  void in_progress_looked_up(const std::string& predicate, bool in_progress);
  void entry_written(const std::string& predicate, const std::string& alias, const std::string& sql);
  void record_type_registered(const Type& type);
  // `predicate`, met past the depth bound while `writer` was written, put off.
  void put_off(const std::string& writer, const std::string& predicate, bool first_met);
  // A clause about to be written `writing` predicates deep.
  void at_depth(size_t writing);
  // Something a kept clause could not make again (a stored table, a loop,
  // the placing of the predicates put off): no clause around it is kept.
  void not_repeatable();

  // Writes the clause of `predicate` again from a kept one whose reads agree
  // with `state`, making its changes; false when none does.
  bool repeat(const std::string& predicate, ClauseState& state);
  // Around the writing of a clause that was not repeated: `end` keeps it when
  // it was written and can be made again.
  void begin(const std::string& predicate, const ClauseState& state);
  void end(bool written, const ClauseState& state);

  // The same for the SQL of a predicate put off past the depth bound, written
  // afterwards at the depth of the bound: `sql` is set when one is repeated;
  // `end_put_off` keeps the SQL written.
  bool repeat_put_off(const std::string& predicate, ClauseState& state, std::string& sql);
  void begin_put_off(const std::string& predicate, const ClauseState& state);
  void end_put_off(const std::string* sql, const ClauseState& state);

 private:
  struct Kept;
  struct Event {
    enum class Kind : uint8_t {
      NameLookedUp,
      NameTaken,
      AliasLookedUp,
      AliasGiven,
      AliasNameLookedUp,
      AliasNameTaken,
      DoneLookedUp,
      InProgressLookedUp,
      MetLookedUp,
      Entry,
      RecordType,
      PutOff,  // subject met while value was written; found: first met
      Clause,  // a kept clause written inside: its events in its place
    };
    Kind kind;
    bool found = false;  // the look-ups' answer
    std::string subject;
    std::string value;                        // an alias, or the writer
    std::shared_ptr<const std::string> sql;   // Entry
    std::shared_ptr<const Type> record_type;  // RecordType
    std::shared_ptr<const Kept> clause;       // Clause
  };
  // A clause's events in the order they happened; the clauses written inside
  // it are shared, so that what a chain keeps grows with the chain.
  struct Kept {
    std::vector<Event> events;
    int64_t names_counter = 0, names_counter_after = 0;
    int64_t variable_counter = 0, variable_counter_after = 0;
    size_t depth = 0;  // the deepest it went, below where it started
    // The SQL of a predicate put off, which is written at the bound's depth
    // and so kept for that depth alone.
    std::shared_ptr<const std::string> sql;
    size_t writing = 0;
  };
  struct Writing {
    std::string key;
    size_t log_start;
    int64_t names_counter, variable_counter;
    size_t writing, deepest;
    bool repeatable = true;
  };

  // A clause, keyed by its predicate; or the SQL of a predicate put off,
  // keyed by "\n" and the predicate, which no predicate's name starts with.
  static std::string put_off_key(const std::string& predicate) { return "\n" + predicate; }

  bool noting() const { return !open_.empty(); }
  void note(Event event);
  // Calls `visit` on each event of `kept` in order, those of the clauses
  // inside it in their place, until it answers false.
  template <class Visit>
  static bool each_event(const Kept& kept, Visit visit);
  bool agrees(const Kept& kept, const ClauseState& state) const;
  void make_changes(const Kept& kept, ClauseState& state) const;
  const Kept* repeated(const std::string& key, ClauseState& state);
  void open(std::string key, const ClauseState& state);
  // Ends the innermost writing, keeping it (with the SQL of a predicate put
  // off, when given) if it can be made again.
  void close(bool written, const ClauseState& state, const std::string* sql);

  // The most clauses kept for one predicate, each for another state it was met in.
  static constexpr size_t kKeptPerPredicate = 4;

  bool enabled_ = false;
  std::unordered_map<std::string, std::vector<std::shared_ptr<const Kept>>> kept_;
  std::vector<Event> log_;     // of the script being written, while a clause is
  std::vector<Writing> open_;  // the clauses being written, each inside the one before
};

}  // namespace mirtova
