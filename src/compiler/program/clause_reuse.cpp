#include "compiler/program/clause_reuse.h"

#include <algorithm>
#include <string_view>
#include <unordered_set>

namespace mirtova {

void ClauseReuse::start_script(NamesAllocator& names) {
  log_.clear();
  open_.clear();
  if (enabled_) names.set_log(this);
}

void ClauseReuse::note(Event event) {
  if (noting()) log_.push_back(std::move(event));
}

void ClauseReuse::name_looked_up(const std::string& lower, bool in_use, bool /*numbered*/, bool /*column*/) {
  if (noting()) note(Event{Event::Kind::NameLookedUp, in_use, lower, {}, {}, {}, {}});
}

void ClauseReuse::name_taken(const std::string& lower) {
  if (noting()) note(Event{Event::Kind::NameTaken, false, lower, {}, {}, {}, {}});
}

void ClauseReuse::alias_looked_up(const std::string& predicate, const std::string* alias) {
  if (noting())
    note(Event{
        Event::Kind::AliasLookedUp, alias != nullptr, predicate, alias ? *alias : std::string(), {}, {}, {}});
}

void ClauseReuse::alias_given(const std::string& predicate, const std::string& alias) {
  if (noting()) note(Event{Event::Kind::AliasGiven, false, predicate, alias, {}, {}, {}});
}

void ClauseReuse::alias_name_looked_up(const std::string& lower, bool in_use) {
  if (noting()) note(Event{Event::Kind::AliasNameLookedUp, in_use, lower, {}, {}, {}, {}});
}

void ClauseReuse::alias_name_taken(const std::string& lower) {
  if (noting()) note(Event{Event::Kind::AliasNameTaken, false, lower, {}, {}, {}, {}});
}

void ClauseReuse::done_looked_up(const std::string& predicate, bool done) {
  if (noting()) note(Event{Event::Kind::DoneLookedUp, done, predicate, {}, {}, {}, {}});
}

void ClauseReuse::in_progress_looked_up(const std::string& predicate, bool in_progress) {
  if (noting()) note(Event{Event::Kind::InProgressLookedUp, in_progress, predicate, {}, {}, {}, {}});
}

void ClauseReuse::entry_written(const std::string& predicate, const std::string& alias,
                                const std::string& sql) {
  if (noting())
    note(
        Event{Event::Kind::Entry, false, predicate, alias, std::make_shared<const std::string>(sql), {}, {}});
}

void ClauseReuse::record_type_registered(const Type& type) {
  if (noting())
    note(Event{Event::Kind::RecordType, false, {}, {}, {}, std::make_shared<const Type>(type), {}});
}

void ClauseReuse::put_off(const std::string& writer, const std::string& predicate, bool first_met) {
  if (!noting()) return;
  note(Event{Event::Kind::MetLookedUp, !first_met, predicate, {}, {}, {}, {}});
  note(Event{Event::Kind::PutOff, first_met, predicate, writer, {}, {}, {}});
}

void ClauseReuse::at_depth(size_t writing) {
  if (noting()) open_.back().deepest = std::max(open_.back().deepest, writing);
}

void ClauseReuse::not_repeatable() {
  for (Writing& writing : open_) writing.repeatable = false;
}

template <class Visit>
bool ClauseReuse::each_event(const Kept& kept, Visit visit) {
  // Clauses nest as deeply as predicates may wait on one another: the walk
  // keeps its own stack.
  std::vector<std::pair<const Kept*, size_t>> stack{{&kept, 0}};
  while (!stack.empty()) {
    auto& [at, next] = stack.back();
    if (next == at->events.size()) {
      stack.pop_back();
      continue;
    }
    const Event& event = at->events[next++];
    if (event.kind == Event::Kind::Clause) {
      stack.emplace_back(event.clause.get(), 0);
      continue;
    }
    if (!visit(event)) return false;
  }
  return true;
}

bool ClauseReuse::agrees(const Kept& kept, const ClauseState& state) const {
  if (kept.names_counter != state.names.counter() || kept.variable_counter != state.variable_counter)
    return false;
  if (kept.sql ? state.writing != kept.writing : state.writing + kept.depth >= state.depth_bound)
    return false;
  // A look-up after the clause changed its subject saw the change, which
  // making the changes again repeats; the others read the state it started from.
  // Views into the kept events, which outlive the look-ups: nothing is copied.
  std::unordered_set<std::string_view> names, aliases, alias_names, done, met;
  return each_event(kept, [&](const Event& event) {
    switch (event.kind) {
      case Event::Kind::NameLookedUp:
        return names.count(event.subject) != 0 || state.names.in_use(event.subject) == event.found;
      case Event::Kind::AliasLookedUp: {
        if (aliases.count(event.subject) != 0) return true;
        auto alias = state.with_names.find(event.subject);
        if ((alias != state.with_names.end()) != event.found) return false;
        return !event.found || alias->second == event.value;
      }
      case Event::Kind::AliasNameLookedUp:
        return alias_names.count(event.subject) != 0 ||
               (state.with_names_lower.count(event.subject) != 0) == event.found;
      case Event::Kind::DoneLookedUp:
        return done.count(event.subject) != 0 || (state.done.count(event.subject) != 0) == event.found;
      case Event::Kind::InProgressLookedUp:
        return (state.with_in_progress.count(event.subject) != 0) == event.found;
      case Event::Kind::MetLookedUp:
        return met.count(event.subject) != 0 || (state.met.count(event.subject) != 0) == event.found;
      case Event::Kind::NameTaken:
        names.insert(event.subject);
        return true;
      case Event::Kind::AliasGiven:
        aliases.insert(event.subject);
        return true;
      case Event::Kind::AliasNameTaken:
        alias_names.insert(event.subject);
        return true;
      case Event::Kind::Entry:
        done.insert(event.subject);
        return true;
      case Event::Kind::PutOff:
        met.insert(event.subject);
        return true;
      default:
        return true;
    }
  });
}

void ClauseReuse::make_changes(const Kept& kept, ClauseState& state) const {
  each_event(kept, [&](const Event& event) {
    switch (event.kind) {
      case Event::Kind::NameTaken:
        state.names.mark_in_use(event.subject);
        break;
      case Event::Kind::AliasGiven:
        state.with_names.emplace(event.subject, event.value);
        break;
      case Event::Kind::AliasNameTaken:
        state.with_names_lower.insert(event.subject);
        break;
      case Event::Kind::Entry:
        state.entries.emplace_back(event.value, *event.sql);
        state.done.insert(event.subject);
        break;
      case Event::Kind::RecordType:
        state.register_record_type(*event.record_type);
        break;
      case Event::Kind::PutOff:
        state.reads[event.value].push_back(event.subject);
        if (event.found) {
          state.met.insert(event.subject);
          state.waiting.push_back(event.subject);
        }
        break;
      default:
        break;
    }
    return true;
  });
  state.names.set_counter(kept.names_counter_after);
  state.variable_counter = kept.variable_counter_after;
}

const ClauseReuse::Kept* ClauseReuse::repeated(const std::string& key, ClauseState& state) {
  if (!enabled_) return nullptr;
  auto found = kept_.find(key);
  if (found == kept_.end()) return nullptr;
  for (const std::shared_ptr<const Kept>& kept : found->second) {
    if (!agrees(*kept, state)) continue;
    // The names allocator would note the names taken again: a clause being
    // written around this one notes the kept one whole instead.
    const bool outer = noting();
    if (outer) open_.back().deepest = std::max(open_.back().deepest, state.writing + kept->depth);
    const size_t mark = log_.size();
    make_changes(*kept, state);
    if (outer) {
      log_.resize(mark);
      note(Event{Event::Kind::Clause, false, {}, {}, {}, {}, kept});
    }
    return kept.get();
  }
  return nullptr;
}

bool ClauseReuse::repeat(const std::string& predicate, ClauseState& state) {
  return repeated(predicate, state) != nullptr;
}

bool ClauseReuse::repeat_put_off(const std::string& predicate, ClauseState& state, std::string& sql) {
  const Kept* kept = repeated(put_off_key(predicate), state);
  if (kept == nullptr) return false;
  sql = *kept->sql;
  return true;
}

void ClauseReuse::open(std::string key, const ClauseState& state) {
  if (!enabled_) return;
  open_.push_back(Writing{std::move(key), log_.size(), state.names.counter(), state.variable_counter,
                          state.writing, state.writing});
}

void ClauseReuse::begin(const std::string& predicate, const ClauseState& state) { open(predicate, state); }

void ClauseReuse::begin_put_off(const std::string& predicate, const ClauseState& state) {
  open(put_off_key(predicate), state);
}

void ClauseReuse::close(bool written, const ClauseState& state, const std::string* sql) {
  if (!enabled_ || open_.empty()) return;
  Writing writing = std::move(open_.back());
  open_.pop_back();
  if (!open_.empty()) open_.back().deepest = std::max(open_.back().deepest, writing.deepest);
  std::vector<std::shared_ptr<const Kept>>* known = nullptr;
  if (written && writing.repeatable) {
    known = &kept_[writing.key];
    if (known->size() >= kKeptPerPredicate) known = nullptr;
  }
  if (known != nullptr) {
    auto made = std::make_shared<Kept>();
    made->events.assign(std::make_move_iterator(log_.begin() + static_cast<ptrdiff_t>(writing.log_start)),
                        std::make_move_iterator(log_.end()));
    made->names_counter = writing.names_counter;
    made->names_counter_after = state.names.counter();
    made->variable_counter = writing.variable_counter;
    made->variable_counter_after = state.variable_counter;
    made->depth = writing.deepest - writing.writing;
    made->writing = writing.writing;
    if (sql != nullptr) made->sql = std::make_shared<const std::string>(*sql);
    known->push_back(made);
    // The clause around this one sees it as one event.
    log_.resize(writing.log_start);
    note(Event{Event::Kind::Clause, false, {}, {}, {}, {}, std::move(made)});
  }
  if (open_.empty()) log_.clear();
}

void ClauseReuse::end(bool written, const ClauseState& state) { close(written, state, nullptr); }

void ClauseReuse::end_put_off(const std::string* sql, const ClauseState& state) {
  close(sql != nullptr, state, sql);
}

}  // namespace mirtova
