// The SQL of one predicate kept from one script of compile_all to the next.
// Past the depth bound a chain's clauses are placed by the clauses near them,
// so a whole clause with what it reaches is seldom met again in the same
// state (see clause_reuse.h); a predicate's own SQL is, but for its table
// aliases: numbered as the script's count stands, or a table's bare name
// where the script has not used it yet. So the SQL is kept with the steps of
// its writing (aliases asked for, calls for tables, record types), and a
// later script takes the steps again, each alias as the allocator would give
// it there, and writes the SQL with those aliases in their places.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "compiler/rule_translate/names.h"
#include "compiler/type_inference/types.h"

namespace mirtova {

class PredicateMemo : public NamesAllocator::Log {
 public:
  // Off until asked for; `may_renumber` when no column is named as a
  // numbered alias is, so that the allocator's answers do not hang on numbers.
  void enable(bool may_renumber) {
    enabled_ = true;
    may_renumber_ = may_renumber;
  }
  bool enabled() const { return enabled_; }
  // At the start of each script: `next` hears of the names too.
  void start_script(NamesAllocator& names, NamesAllocator::Log* next);
  // Whether a repeat went astray after it had changed the script, which must
  // then be written again without repeats; cleared by start_script.
  bool failed() const { return failed_; }
  void hold(bool held) { held_ = held; }

  void name_looked_up(const std::string& lower, bool in_use, bool numbered, bool column) override;
  void name_taken(const std::string& lower) override;
  void record_type_registered(const Type& type);

  // Around the writing of a predicate's SQL that was not repeated; `end` is
  // given the SQL when written, and the count of fresh variables then.
  void begin(const std::string& predicate, int64_t variables);
  void end(const std::string* sql, int64_t variables);
  // Around a call for a table within it (or within anything else).
  void call_begin(std::string_view predicate, int64_t variables);
  void call_end(const std::string* text, int64_t variables);

  // What repeating a predicate needs of the program.
  struct Program {
    std::function<std::optional<std::string>(const std::string& predicate)> call;  // nullopt: failed
    std::function<void(const Type&)> register_record_type;
    std::function<int64_t&()> variables;  // the count of fresh variables
  };
  // The SQL of `predicate` written again; nullopt when it is to be written
  // afresh: nothing kept agrees (the script unchanged), or a repeat went
  // astray (failed() tells).
  std::optional<std::string> repeat(const std::string& predicate, const Program& program);

 private:
  // One alias asked for, as the allocator answered.
  struct Alias {
    bool has_bare = false;      // the table's bare name was asked about (not an unnest's, not reserved)
    bool bare_refused = false;  // a column's name: refused wherever asked
    bool took_bare = false;
    std::string bare;     // lower case
    std::string suffix;   // of the numbered name after its number: "_" and the bare name, or ""
    int64_t number = -1;  // the number taken; -1 before one is asked about, -2 while those asked are in use
    bool closed = false;
  };
  struct Step {
    enum class Kind : uint8_t { Alias, Call, RecordType, Variables };
    Kind kind;
    size_t index = 0;  // into aliases or calls
    std::shared_ptr<const Type> type;
    int64_t first = 0, count = 0;  // the fresh variables taken: as numbered then, how many
  };
  struct Kept {
    std::vector<Step> steps;
    std::vector<Alias> aliases;
    std::vector<std::string> calls, answers;
    bool renumbered = true;  // else each alias must come out as it did
    // Else the fresh variables are numbered as they were: the SQL names them.
    bool variables_renumbered = true;
    // The SQL cut where aliases stand: pieces[0], the alias of holes[0], pieces[1], ...
    std::vector<std::string> pieces;
    std::vector<size_t> holes;
  };
  struct Recording {
    std::string predicate;
    Kept kept;
    bool valid = true;
    int64_t variables = 0;
  };
  // What an alias came out as: bare, or the number taken.
  struct Given {
    bool bare = false;
    int64_t number = 0;
  };

  Recording* recording() { return !stack_.empty() && stack_.back() ? &*stack_.back() : nullptr; }
  static void cut(const std::string& sql, Kept& kept);
  // The fresh variables taken since the last step, as a step.
  void note_variables(Recording& open, int64_t variables);
  // Gives `alias` as the allocator would; with `dry`, changes nothing (the
  // names it would take go there, and the count to `counter`).
  Given give(const Alias& alias, std::vector<std::string>* dry, int64_t& counter);
  // Whether `kept`'s SQL can show alias `index` as given.
  static bool fits(const Kept& kept, size_t index, const Given& given);
  // Whether two writings took the same steps, whatever the aliases came out as.
  static bool same_steps(const Kept& a, const Kept& b);
  std::optional<std::string> repeat_kept(std::vector<const Kept*> alike, const Program& program);

  static constexpr size_t kKeptPerPredicate = 4;

  bool enabled_ = false, may_renumber_ = false, failed_ = false, held_ = false;
  NamesAllocator* names_ = nullptr;
  NamesAllocator::Log* next_ = nullptr;
  std::unordered_map<std::string, std::vector<Kept>> kept_;
  // The writings open, each inside the one before; nullopt for a call or a
  // repeat, whose names belong to no writing around it.
  std::vector<std::optional<Recording>> stack_;
};

}  // namespace mirtova
