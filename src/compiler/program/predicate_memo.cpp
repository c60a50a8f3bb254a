#include "compiler/program/predicate_memo.h"

#include <algorithm>
#include <utility>

namespace mirtova {

namespace {

bool is_word_byte(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

bool is_digit(char c) { return c >= '0' && c <= '9'; }

char lower_byte(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// The number of a numbered alias "t_{n}" or "t_{n}_..." at `at`, and where the number ends.
std::optional<std::pair<int64_t, size_t>> alias_number(std::string_view text, size_t at) {
  if (at + 2 >= text.size() || text[at] != 't' || text[at + 1] != '_' || !is_digit(text[at + 2]))
    return std::nullopt;
  size_t end = at + 2;
  int64_t n = 0;
  while (end < text.size() && is_digit(text[end])) {
    if (n > (int64_t{1} << 50)) return std::nullopt;
    n = n * 10 + (text[end++] - '0');
  }
  if (end < text.size() && is_word_byte(text[end]) && text[end] != '_') return std::nullopt;
  return std::make_pair(n, end);
}

}  // namespace

void PredicateMemo::start_script(NamesAllocator& names, NamesAllocator::Log* next) {
  stack_.clear();
  failed_ = false;
  names_ = &names;
  next_ = next;
  if (enabled_) names.set_log(this);
}

void PredicateMemo::name_looked_up(const std::string& lower, bool in_use, bool numbered, bool column) {
  if (next_ != nullptr) next_->name_looked_up(lower, in_use, numbered, column);
  Recording* open = recording();
  if (open == nullptr) return;
  Kept& kept = open->kept;
  const bool continues = !kept.aliases.empty() && !kept.aliases.back().closed;
  if (!numbered) {
    if (continues) open->valid = false;
    Alias alias;
    alias.has_bare = true;
    alias.bare = lower;
    alias.suffix = "_" + lower;
    alias.bare_refused = column;
    kept.aliases.push_back(std::move(alias));
    kept.steps.push_back(Step{Step::Kind::Alias, kept.aliases.size() - 1, nullptr});
    return;
  }
  if (!continues) {
    kept.aliases.emplace_back();
    kept.steps.push_back(Step{Step::Kind::Alias, kept.aliases.size() - 1, nullptr});
  }
  Alias& alias = kept.aliases.back();
  auto number = alias_number(lower, 0);
  if (!number) {
    open->valid = false;
    return;
  }
  std::string suffix = lower.substr(number->second);
  if (alias.number >= 0 && alias.suffix != suffix) open->valid = false;
  // A numbered name that is a column's: another number would have to be
  // asked about the columns again.
  if (column || alias.number >= 0) kept.renumbered = false;
  alias.suffix = std::move(suffix);
  alias.number = in_use ? -2 : number->first;
}

void PredicateMemo::name_taken(const std::string& lower) {
  if (next_ != nullptr) next_->name_taken(lower);
  Recording* open = recording();
  if (open == nullptr) return;
  Kept& kept = open->kept;
  if (kept.aliases.empty() || kept.aliases.back().closed) {
    open->valid = false;
    return;
  }
  Alias& alias = kept.aliases.back();
  if (alias.number == -1 && alias.has_bare && alias.bare == lower) {
    alias.took_bare = true;
  } else if (alias.number < 0 || "t_" + std::to_string(alias.number) + alias.suffix != lower) {
    open->valid = false;
  }
  alias.closed = true;
}

void PredicateMemo::record_type_registered(const Type& type) {
  Recording* open = recording();
  if (open == nullptr) return;
  if (!open->kept.aliases.empty() && !open->kept.aliases.back().closed) open->valid = false;
  open->kept.steps.push_back(Step{Step::Kind::RecordType, 0, std::make_shared<const Type>(type)});
}

void PredicateMemo::begin(const std::string& predicate, int64_t variables) {
  if (!enabled_) return;
  Recording open;
  open.predicate = predicate;
  open.variables = variables;
  stack_.emplace_back(std::move(open));
}

void PredicateMemo::end(const std::string* sql, int64_t variables) {
  if (!enabled_ || stack_.empty() || !stack_.back()) return;
  Recording done = std::move(*stack_.back());
  stack_.pop_back();
  note_variables(done, variables);
  if (sql == nullptr || !done.valid) return;
  for (const Alias& alias : done.kept.aliases)
    if (!alias.closed) return;
  std::vector<Kept>& known = kept_[done.predicate];
  if (known.size() >= kKeptPerPredicate) return;
  if (!may_renumber_) done.kept.renumbered = false;
  cut(*sql, done.kept);
  // Fresh variables are numbered per script too ("x_{n}"): where the SQL
  // names one it took, they must be numbered as they were.
  for (size_t at = 0; at + 2 < sql->size(); ++at) {
    if ((*sql)[at] != 'x' || (*sql)[at + 1] != '_' || !is_digit((*sql)[at + 2]) ||
        (at > 0 && is_word_byte((*sql)[at - 1])))
      continue;
    int64_t n = 0;
    size_t end = at + 2;
    while (end < sql->size() && is_digit((*sql)[end]) && n < (int64_t{1} << 50))
      n = n * 10 + ((*sql)[end++] - '0');
    for (const Step& step : done.kept.steps)
      if (step.kind == Step::Kind::Variables && n >= step.first && n < step.first + step.count)
        done.kept.variables_renumbered = false;
  }
  known.push_back(std::move(done.kept));
}

void PredicateMemo::cut(const std::string& sql, Kept& kept) {
  // Each numbered alias's places are cut out with its number and the "_"
  // after it, so that it may come out bare or otherwise numbered. A number
  // in a quoted text or name, or one the writing did not take, leaves the
  // SQL whole, to be repeated only where every alias comes out as it did.
  std::vector<std::string> pieces{std::string()};
  std::vector<size_t> holes;
  char quote = 0;
  size_t from = 0;
  for (size_t at = 0; at < sql.size() && kept.renumbered; ++at) {
    const char c = sql[at];
    if (quote != 0) {
      if (c == quote) quote = 0;
      if (c == 't' && alias_number(sql, at)) kept.renumbered = false;
      continue;
    }
    if (c == '\'' || c == '"' || c == '`') {
      quote = c;
      continue;
    }
    if (c != 't' || (at > 0 && is_word_byte(sql[at - 1]))) continue;
    auto number = alias_number(sql, at);
    if (!number) continue;
    auto alias = std::find_if(kept.aliases.begin(), kept.aliases.end(),
                              [&](const Alias& a) { return !a.took_bare && a.number == number->first; });
    if (alias == kept.aliases.end()) {
      kept.renumbered = false;
      break;
    }
    // The name after the number, as the allocator wrote it.
    const std::string& suffix = alias->suffix;
    size_t end = number->second;
    if (sql.size() - end < suffix.size()) {
      kept.renumbered = false;
      break;
    }
    for (size_t k = 0; k < suffix.size(); ++k)
      if (lower_byte(sql[end + k]) != suffix[k]) kept.renumbered = false;
    if (!kept.renumbered || (end + suffix.size() < sql.size() && is_word_byte(sql[end + suffix.size()]))) {
      kept.renumbered = false;
      break;
    }
    if (!suffix.empty()) ++end;  // the "_"
    pieces.back().append(sql, from, at - from);
    holes.push_back(static_cast<size_t>(alias - kept.aliases.begin()));
    pieces.emplace_back();
    from = end;
    at = end - 1;
  }
  if (!kept.renumbered) {
    kept.pieces = {sql};
    kept.holes.clear();
    return;
  }
  pieces.back().append(sql, from, std::string::npos);
  kept.pieces = std::move(pieces);
  kept.holes = std::move(holes);
}

void PredicateMemo::note_variables(Recording& open, int64_t variables) {
  if (variables == open.variables) return;
  if (!open.kept.aliases.empty() && !open.kept.aliases.back().closed) open.valid = false;
  open.kept.steps.push_back(
      Step{Step::Kind::Variables, 0, nullptr, open.variables, variables - open.variables});
  open.variables = variables;
}

void PredicateMemo::call_begin(std::string_view predicate, int64_t variables) {
  if (!enabled_) return;
  if (Recording* open = recording()) {
    note_variables(*open, variables);
    if (!open->kept.aliases.empty() && !open->kept.aliases.back().closed) open->valid = false;
    open->kept.calls.emplace_back(predicate);
    open->kept.steps.push_back(Step{Step::Kind::Call, open->kept.calls.size() - 1, nullptr});
  }
  stack_.emplace_back(std::nullopt);
}

void PredicateMemo::call_end(const std::string* text, int64_t variables) {
  if (!enabled_ || stack_.empty()) return;
  stack_.pop_back();
  Recording* open = recording();
  if (open == nullptr) return;
  if (text == nullptr) {
    open->valid = false;
    return;
  }
  open->kept.answers.push_back(*text);
  open->variables = variables;
}

PredicateMemo::Given PredicateMemo::give(const Alias& alias, std::vector<std::string>* dry,
                                         int64_t& counter) {
  auto in_use = [&](const std::string& name) {
    return names_->in_use(name) ||
           (dry != nullptr && std::find(dry->begin(), dry->end(), name) != dry->end());
  };
  auto told = [&](const std::string& name, bool used, bool numbered, bool column) {
    if (dry == nullptr && next_ != nullptr) next_->name_looked_up(name, used, numbered, column);
  };
  auto take = [&](const std::string& name) {
    if (dry != nullptr)
      dry->push_back(name);
    else
      names_->mark_in_use(name);
  };
  Given given;
  if (alias.has_bare) {
    const bool used = in_use(alias.bare);
    told(alias.bare, used, false, alias.bare_refused);
    if (!used && !alias.bare_refused) {
      take(alias.bare);
      given.bare = true;
      return given;
    }
  }
  for (;;) {
    const int64_t n = counter++;
    std::string name = "t_" + std::to_string(n) + alias.suffix;
    const bool used = in_use(name);
    told(name, used, true, false);
    if (!used) {
      take(name);
      given.number = n;
      return given;
    }
  }
}

bool PredicateMemo::fits(const Kept& kept, size_t index, const Given& given) {
  const Alias& alias = kept.aliases[index];
  // Bare where it was numbered, or numbered otherwise: its places in the text
  // must have been cut out. Numbered where it was bare: they are not known.
  if (given.bare) return alias.took_bare || kept.renumbered;
  return !alias.took_bare && (kept.renumbered || given.number == alias.number);
}

bool PredicateMemo::same_steps(const Kept& a, const Kept& b) {
  if (a.calls != b.calls || a.steps.size() != b.steps.size() || a.aliases.size() != b.aliases.size())
    return false;
  for (size_t i = 0; i < a.steps.size(); ++i)
    if (a.steps[i].kind != b.steps[i].kind || a.steps[i].index != b.steps[i].index ||
        a.steps[i].count != b.steps[i].count)
      return false;
  for (size_t i = 0; i < a.aliases.size(); ++i) {
    const Alias &x = a.aliases[i], &y = b.aliases[i];
    if (x.has_bare != y.has_bare || x.bare != y.bare || x.suffix != y.suffix ||
        x.bare_refused != y.bare_refused)
      return false;
  }
  return true;
}

std::optional<std::string> PredicateMemo::repeat(const std::string& predicate, const Program& program) {
  if (!enabled_ || held_) return std::nullopt;
  auto found = kept_.find(predicate);
  if (found == kept_.end()) return std::nullopt;
  const std::vector<Kept>& known = found->second;
  // Those kept whose aliases before their first call come out as they may,
  // tried without changing anything; then the others taken the same steps.
  for (size_t lead = 0; lead < known.size(); ++lead) {
    std::vector<std::string> taken;
    int64_t counter = names_->counter();
    bool agrees = true;
    int64_t variables = program.variables();
    for (const Step& step : known[lead].steps) {
      if (step.kind == Step::Kind::Call) break;
      if (step.kind == Step::Kind::Alias)
        agrees = fits(known[lead], step.index, give(known[lead].aliases[step.index], &taken, counter));
      if (step.kind == Step::Kind::Variables) {
        agrees = known[lead].variables_renumbered || variables == step.first;
        variables += step.count;
      }
      if (!agrees) break;
    }
    if (!agrees) continue;
    std::vector<const Kept*> alike;
    for (size_t other = lead; other < known.size(); ++other)
      if (other == lead || same_steps(known[lead], known[other])) alike.push_back(&known[other]);
    return repeat_kept(alike, program);
  }
  return std::nullopt;
}

std::optional<std::string> PredicateMemo::repeat_kept(std::vector<const Kept*> alike,
                                                      const Program& program) {
  const Kept& lead = *alike.front();
  std::vector<Given> given(lead.aliases.size());
  stack_.emplace_back(std::nullopt);
  bool astray = false;
  for (const Step& step : lead.steps) {
    if (step.kind == Step::Kind::Alias) {
      int64_t counter = names_->counter();
      given[step.index] = give(lead.aliases[step.index], nullptr, counter);
      names_->set_counter(counter);
      alike.erase(
          std::remove_if(alike.begin(), alike.end(),
                         [&](const Kept* kept) { return !fits(*kept, step.index, given[step.index]); }),
          alike.end());
      astray = alike.empty();
    } else if (step.kind == Step::Kind::Call) {
      std::optional<std::string> answer = program.call(lead.calls[step.index]);
      astray = !answer;
      alike.erase(
          std::remove_if(alike.begin(), alike.end(),
                         [&](const Kept* kept) { return !answer || *answer != kept->answers[step.index]; }),
          alike.end());
      astray = astray || alike.empty();
    } else if (step.kind == Step::Kind::Variables) {
      int64_t& variables = program.variables();
      alike.erase(std::remove_if(alike.begin(), alike.end(),
                                 [&](const Kept* kept) {
                                   return !kept->variables_renumbered &&
                                          variables != kept->steps[&step - lead.steps.data()].first;
                                 }),
                  alike.end());
      variables += step.count;
      astray = alike.empty();
    } else {
      program.register_record_type(*step.type);
    }
    if (astray) break;
  }
  stack_.pop_back();
  if (astray) {
    failed_ = true;
    return std::nullopt;
  }
  const Kept& kept = *alike.front();
  std::string sql = kept.pieces.front();
  for (size_t i = 0; i < kept.holes.size(); ++i) {
    const Alias& alias = kept.aliases[kept.holes[i]];
    const Given& as = given[kept.holes[i]];
    if (!as.bare) {
      sql += "t_";
      sql += std::to_string(as.number);
      if (!alias.suffix.empty()) sql += '_';
    }
    sql += kept.pieces[i + 1];
  }
  return sql;
}

}  // namespace mirtova
