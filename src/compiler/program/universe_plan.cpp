// Plans: materialised dependencies in dependency order, loops for iterations, the
// main query with its WITH clauses, search filter, ordering and paging; and the
// plan written out as one script.
#include "compiler/program/universe.h"

#include <algorithm>
#include <map>

#include "common/bounds.h"
#include "common/strings.h"
#include "compiler/dialects/quoting.h"
#include "compiler/expr_translate/apply_template.h"
#include "compiler/program/compilation_state.h"
#include "compiler/program/predicate_memo.h"
#include "compiler/program/record_columns.h"
#include "compiler/program/statement_stages.h"
#include "compiler/program/step_order.h"
#include "parser/tree_access.h"

namespace mirtova {

namespace {

constexpr int64_t kMaxScriptRepetitions = 1000;
// An engine's set-up text, as a rule: it is put in front of the statement in place.
constexpr size_t kRoomBeforeStatement = 1024;

std::string cycle_message(std::string_view predicate) {
  return "Predicate '" + std::string(predicate) + "' depends on itself: its recursion was not unfolded.";
}

// Keeps a unit open while its steps are written.
struct OpenUnit {
  OpenUnit(std::vector<size_t>& open, size_t unit) : open(open) { open.push_back(unit); }
  ~OpenUnit() { open.pop_back(); }
  OpenUnit(const OpenUnit&) = delete;
  OpenUnit& operator=(const OpenUnit&) = delete;
  std::vector<size_t>& open;
};

}  // namespace

std::optional<std::string> QuorilProgram::table_owner(std::string_view predicate) const {
  if (const GroundDef* g = ann_.ground_of(predicate)) return g->table_of;
  if (ann_.iteration_of(predicate) || stored_.count(predicate)) return std::string(predicate);
  return std::nullopt;
}

std::string QuorilProgram::table_of(std::string_view predicate) const {
  // Named apart from the program's own tables, which it may read or ground.
  if (stored_.count(predicate))
    return table_reference(ann_.default_table("mirtova_stored_" + std::string(predicate)), *dialect_);
  auto owner = table_owner(predicate);
  return table_reference(ann_.default_table(owner ? *owner : std::string(predicate)), *dialect_);
}

Result<std::string, CompileError> QuorilProgram::relation_text(std::string_view predicate) {
  if (!rules_of_.count(predicate)) return table_reference(predicate, *dialect_);
  return translate_table_in_context(predicate);
}

Result<std::string, CompileError> QuorilProgram::translate_table_in_context(std::string_view predicate) {
  memo_->call_begin(predicate, state_->variable_counter);
  auto text = table_in_context(predicate);
  memo_->call_end(text.ok() ? &text.value() : nullptr, state_->variable_counter);
  return text;
}

Result<std::string, CompileError> QuorilProgram::table_in_context(std::string_view predicate) {
  if (!rules_of_.count(predicate))
    return CompileError("'" + std::string(predicate) +
                        "' is neither a predicate of the program nor a built-in function");
  std::string name(predicate);
  if (table_owner(name)) {
    // A stored table is a step of the script, not a clause of the statement.
    reuse_->not_repeatable();
    if (!state_->building_loop_members.count(name)) TRY_VOID(ensure_step(name));
    return table_of(name);
  }
  return with_name(name);
}

Result<std::string, CompileError> QuorilProgram::with_name(std::string_view predicate) {
  std::string name(predicate);
  std::string alias;
  auto known = state_->with_names.find(name);
  reuse_->alias_looked_up(name, known != state_->with_names.end() ? &known->second : nullptr);
  if (known != state_->with_names.end()) {
    alias = known->second;
  } else {
    std::string base = clean_name(name);
    if (is_sql_reserved_word(base)) base += "_table";
    alias = base;
    for (int n = 1;; ++n) {
      const std::string lower = ascii_lower(alias);
      const bool in_use = state_->with_names_lower.count(lower) != 0;
      reuse_->alias_name_looked_up(lower, in_use);
      if (!in_use) break;
      alias = base + "_" + std::to_string(n);
    }
    state_->with_names.emplace(name, alias);
    state_->with_names_lower.insert(ascii_lower(alias));
    reuse_->alias_given(name, alias);
    reuse_->alias_name_taken(ascii_lower(alias));
  }
  if (state_->frames.empty()) state_->frames.emplace_back();
  const bool done = state_->frames.back().done.count(name) != 0;
  reuse_->done_looked_up(name, done);
  if (done) return alias;
  const bool in_progress = state_->with_in_progress.count(name) != 0;
  reuse_->in_progress_looked_up(name, in_progress);
  if (in_progress) return CompileError(cycle_message(name));
  reuse_->at_depth(state_->writing.size());
  if (state_->writing.size() >= kMaxPredicateDepth) {
    Frame& frame = state_->frames.back();
    if (!state_->writing.empty()) frame.reads[state_->writing.back()].push_back(name);
    const bool first_met = frame.met.insert(name).second;
    if (first_met) frame.waiting.push_back(name);
    if (state_->writing.empty())
      reuse_->not_repeatable();
    else
      reuse_->put_off(state_->writing.back(), name, first_met);
    return alias;
  }
  ClauseState clause = clause_state();
  if (reuse_->repeat(name, clause)) return alias;
  reuse_->begin(name, clause);
  state_->with_in_progress.insert(name);
  auto sql = predicate_sql_placing_waiting(name);
  state_->with_in_progress.erase(name);
  if (!sql.ok()) {
    reuse_->end(false, clause_state());
    return sql;
  }
  // Dependencies added their entries while this one was written: post-order.
  Frame& frame = state_->frames.back();
  reuse_->entry_written(name, alias, sql.value());
  frame.entries.emplace_back(alias, std::move(sql).value());
  frame.done.insert(name);
  reuse_->end(true, clause_state());
  return alias;
}

ClauseState QuorilProgram::clause_state() {
  Frame& frame = state_->frames.back();
  return ClauseState{state_->names,
                     state_->with_names,
                     state_->with_names_lower,
                     frame.entries,
                     frame.done,
                     frame.met,
                     frame.waiting,
                     frame.reads,
                     state_->with_in_progress,
                     state_->variable_counter,
                     state_->writing.size(),
                     kMaxPredicateDepth,
                     [this](const Type& type) { add_record_type(type); }};
}

Result<std::string, CompileError> QuorilProgram::predicate_sql_placing_waiting(const std::string& predicate) {
  TRY(std::string sql, predicate_sql(predicate));
  TRY_VOID(place_waiting(predicate));
  return sql;
}

Result<Unit, CompileError> QuorilProgram::place_waiting(const std::string& root) {
  const size_t at = state_->frames.size() - 1;
  if (state_->frames[at].waiting.empty()) return Unit{};
  reuse_->not_repeatable();
  // Written one after another, each at the depth of the first: what one meets
  // waits in turn.
  while (!state_->frames[at].waiting.empty()) {
    std::string next = std::move(state_->frames[at].waiting.front());
    state_->frames[at].waiting.pop_front();
    state_->with_in_progress.insert(next);
    std::string sql;
    ClauseState clause = clause_state();
    if (!reuse_->repeat_put_off(next, clause, sql)) {
      reuse_->begin_put_off(next, clause);
      auto written = predicate_sql(next);
      reuse_->end_put_off(written.ok() ? &written.value() : nullptr, clause_state());
      if (!written.ok()) {
        state_->with_in_progress.erase(next);
        return written.error();
      }
      sql = std::move(written).value();
    }
    state_->with_in_progress.erase(next);
    state_->frames[at].written.emplace(std::move(next), std::move(sql));
  }
  // Placed in the order the recursion would have given: after every one it
  // reads, before its first reader.
  Frame& frame = state_->frames[at];
  std::set<std::string> on_path{root};
  std::vector<std::pair<std::string, size_t>> path{{root, 0}};
  while (!path.empty()) {
    auto& [name, next] = path.back();
    const std::vector<std::string>& reads = frame.reads[name];
    if (next < reads.size()) {
      const std::string& read = reads[next++];
      if (frame.done.count(read)) continue;
      if (on_path.count(read)) return CompileError(cycle_message(read));
      on_path.insert(read);
      path.emplace_back(read, 0);
      continue;
    }
    if (name != root) {
      auto written = frame.written.find(name);
      frame.entries.emplace_back(state_->with_names.at(name), std::move(written->second));
      frame.written.erase(written);
      frame.met.erase(name);
      frame.done.insert(name);
    }
    frame.reads.erase(name);
    on_path.erase(name);
    path.pop_back();
  }
  return Unit{};
}

std::string QuorilProgram::render_frame(const Frame& frame, std::string_view statement, size_t room) const {
  // The clauses of a large program run to megabytes: measured first, so that
  // the script is one buffer of its own size, never grown and copied.
  constexpr int kSpaces = 2;
  size_t bytes = statement.size() + 1 + room;
  for (const auto& [alias, sql] : frame.entries) bytes += alias.size() + indented_size(sql, kSpaces) + 12;
  std::string out;
  out.reserve(bytes);
  if (!frame.entries.empty()) {
    out += "WITH ";
    for (size_t i = 0; i < frame.entries.size(); ++i) {
      if (i) out += ",\n";
      out += frame.entries[i].first;
      out += " AS (\n";
      append_indented(out, frame.entries[i].second, kSpaces, dialect_->sql_lexicon());
      out += "\n)";
    }
    out += '\n';
  }
  out += statement;
  return out;
}

Result<std::string, CompileError> QuorilProgram::materialise(const std::string& predicate) {
  TRY(std::string select, materialised_select(predicate));
  const std::string table = table_of(predicate);
  // A table stored for its size, of rules that together pass the engine's
  // bound on stages, is filled in parts: first a few rules, then the rest a
  // few at a time, each a statement within the bound where its rules are.
  const uint64_t bound = dialect_->most_query_stages();
  const size_t rules = stored_.count(predicate) ? rules_in_parts(predicate) : 0;
  const uint64_t stages = bound == UINT64_MAX || rules < 2 ? 0 : statement_stages(select).total;
  if (stages <= bound) return replace_table(table, select);
  // Even shares of the rules first, as many as the whole passes the bound;
  // a share past it is halved until it is not, or is one rule. The ranges
  // wait last first, so that the rules are written in their order.
  const size_t parts = static_cast<size_t>(std::min<uint64_t>(rules, stages / bound + 1));
  const size_t each = (rules + parts - 1) / parts;
  std::vector<std::pair<size_t, size_t>> pending;
  for (size_t first = 0; first < rules; first += each)
    pending.emplace_back(first, std::min(first + each, rules));
  std::reverse(pending.begin(), pending.end());
  // Each part repeats the clauses its rules read; where that would write (or
  // make and halve) the statement many times over, it is stored whole, as it
  // was written, so that the work stays in proportion to the program.
  const size_t most_written = 4 * select.size() + 4096, most_made = 16 * select.size() + 65536;
  std::string out;
  size_t made = 0;
  while (!pending.empty()) {
    if (out.size() > most_written || made > most_made) return replace_table(table, select);
    const auto [first, last] = pending.back();
    pending.pop_back();
    TRY(std::string part, materialised_select(predicate, std::pair(first, last)));
    made += part.size();
    if (last - first > 1 && statement_stages(part).total > bound) {
      const size_t middle = first + (last - first) / 2;
      pending.emplace_back(middle, last);
      pending.emplace_back(first, middle);
      continue;
    }
    if (out.empty()) {
      out = replace_table(table, part);
    } else {
      out += ";\nINSERT INTO " + table + "\n" + part;
    }
  }
  return out;
}

std::string QuorilProgram::replace_table(const std::string& table, const std::string& select) const {
  constexpr std::string_view kDrop = "DROP TABLE IF EXISTS ", kCreate = ";\nCREATE TABLE ", kAs = " AS\n";
  const std::string_view cascading = dialect_->cascading_deletion_word();
  std::string out;
  out.reserve(kDrop.size() + 2 * table.size() + cascading.size() + kCreate.size() + kAs.size() +
              select.size());
  out += kDrop;
  out += table;
  out += cascading;
  out += kCreate;
  out += table;
  out += kAs;
  out += select;
  return out;
}

Result<std::string, CompileError> QuorilProgram::materialised_select(
    const std::string& predicate, std::optional<std::pair<size_t, size_t>> part) {
  // Each statement has WITH clauses of its own; what is in progress around it is set aside.
  std::set<std::string> outer_with = std::move(state_->with_in_progress);
  state_->with_in_progress.clear();
  state_->frames.emplace_back();
  auto sql = part ? rules_part_sql(predicate, *part) : predicate_sql_placing_waiting(predicate);
  Frame frame = std::move(state_->frames.back());
  state_->frames.pop_back();
  state_->with_in_progress = std::move(outer_with);
  if (!sql.ok()) return sql;
  return render_frame(frame, sql.value(), 0);
}

Result<Unit, CompileError> QuorilProgram::ensure_step(const std::string& predicate) {
  const size_t unit = step_unit(predicate);
  const IterationDef* loop = state_->units.loops[unit];
  // A loop being written makes its members' tables itself.
  const bool loop_in_progress = loop && state_->loops_in_progress.count(loop->name);
  if (!loop_in_progress) note_read(unit);
  if (state_->emitted.count(predicate)) return Unit{};
  if (state_->in_progress.count(predicate)) return CompileError(cycle_message(predicate));
  if (!loop_in_progress && state_->writing.size() >= kMaxPredicateDepth) {
    state_->waiting_steps.push_back(predicate);
    return Unit{};
  }
  if (loop) return ensure_loop(*loop);
  {
    OpenUnit open(state_->units.open, unit);
    state_->in_progress.insert(predicate);
    auto sql = materialise(predicate);
    state_->in_progress.erase(predicate);
    if (!sql.ok()) return sql.error();
    push_step(unit, PlanStep::statement(std::move(sql).value()));
  }
  state_->emitted.insert(predicate);
  // The accumulator holds its first rows before a loop adds to it; readers come after the loop.
  for (const IterationDef& it : ann_.iterations())
    if (it.accumulate && *it.accumulate == predicate) {
      if (!state_->loops_done.count(it.name) && !state_->loops_in_progress.count(it.name)) {
        const size_t tail = loop_unit(it);
        state_->units.tails[unit].push_back(tail);
      }
      TRY_VOID(ensure_loop(it));
    }
  return Unit{};
}

size_t QuorilProgram::step_unit(const std::string& predicate) {
  if (auto known = state_->units.of_predicate.find(predicate); known != state_->units.of_predicate.end())
    return known->second;
  const IterationDef* loop = ann_.iteration_of(predicate);
  if (loop &&
      std::find(loop->predicates.begin(), loop->predicates.end(), predicate) == loop->predicates.end())
    loop = nullptr;
  const size_t unit = loop ? loop_unit(*loop) : new_unit(predicate, nullptr);
  state_->units.of_predicate.emplace(predicate, unit);
  return unit;
}

size_t QuorilProgram::loop_unit(const IterationDef& iteration) {
  if (auto known = state_->units.of_loop.find(iteration.name); known != state_->units.of_loop.end())
    return known->second;
  const size_t unit =
      new_unit(iteration.predicates.empty() ? iteration.name : iteration.predicates.front(), &iteration);
  state_->units.of_loop.emplace(iteration.name, unit);
  return unit;
}

size_t QuorilProgram::new_unit(std::string name, const IterationDef* loop) {
  StepUnits& units = state_->units;
  units.names.push_back(std::move(name));
  units.loops.push_back(loop);
  units.reads.emplace_back();
  units.tails.emplace_back();
  return units.names.size() - 1;
}

void QuorilProgram::note_read(size_t unit) {
  if (!state_->units.open.empty() && state_->units.open.back() != unit)
    state_->units.reads[state_->units.open.back()].push_back(unit);
}

void QuorilProgram::push_step(size_t unit, PlanStep step) {
  state_->steps.push_back(std::move(step));
  state_->units.of_step.push_back(unit);
}

Result<Unit, CompileError> QuorilProgram::write_waiting_steps() {
  if (state_->waiting_steps.empty()) return Unit{};
  // Each written from the top, one after another: what it meets past the
  // bound waits in turn, so no chain recurses deeper than the bound.
  while (!state_->waiting_steps.empty()) {
    std::string next = std::move(state_->waiting_steps.front());
    state_->waiting_steps.pop_front();
    TRY_VOID(ensure_step(next));
  }
  const StepUnits& units = state_->units;
  std::vector<std::vector<size_t>> needs(units.names.size());
  for (size_t u = 0; u < needs.size(); ++u)
    for (size_t read : units.reads[u]) {
      needs[u].push_back(read);
      needs[u].insert(needs[u].end(), units.tails[read].begin(), units.tails[read].end());
    }
  auto order = order_steps(units.of_step, needs);
  if (!order.ok()) return CompileError(cycle_message(units.names[order.error()]));
  std::vector<PlanStep> steps;
  std::vector<size_t> of_step;
  steps.reserve(state_->steps.size());
  of_step.reserve(state_->steps.size());
  for (size_t i : order.value()) {
    steps.push_back(std::move(state_->steps[i]));
    of_step.push_back(units.of_step[i]);
  }
  state_->steps = std::move(steps);
  state_->units.of_step = std::move(of_step);
  return Unit{};
}

Result<Unit, CompileError> QuorilProgram::ensure_loop(const IterationDef& iteration) {
  if (state_->loops_done.count(iteration.name) || state_->loops_in_progress.count(iteration.name))
    return Unit{};
  state_->loops_in_progress.insert(iteration.name);
  const size_t unit = loop_unit(iteration);
  OpenUnit open(state_->units.open, unit);
  if (iteration.accumulate) TRY_VOID(ensure_step(*iteration.accumulate));
  std::set<std::string> outer_members = std::move(state_->building_loop_members);
  state_->building_loop_members =
      std::set<std::string>(iteration.predicates.begin(), iteration.predicates.end());
  PlanStep loop;
  loop.kind = PlanStep::Kind::Loop;
  loop.repetitions = iteration.repetitions;
  loop.iteration = iteration.name;
  std::string except(dialect_->except_distinct());
  std::vector<std::string> selects;
  for (const std::string& member : iteration.predicates) {
    auto select = materialised_select(member);
    if (!select.ok()) {
      state_->building_loop_members = std::move(outer_members);
      return select.error();
    }
    selects.push_back(std::move(select).value());
    loop.body.push_back(replace_table(table_of(member), selects.back()));
    if (iteration.accumulate) {
      std::string acc = table_of(*iteration.accumulate);
      if (rows_compared_in_form(member) || rows_compared_in_form(*iteration.accumulate)) {
        // One row of each kind that the accumulated table lacks, kinds told apart in the form.
        loop.body.push_back("INSERT INTO " + acc +
                            " SELECT mirtova_kept.* FROM (SELECT ANY_VALUE(mirtova_r) AS " +
                            "mirtova_kept, " + row_in_form("mirtova_r") + " AS mirtova_row FROM " +
                            table_of(member) + " AS mirtova_r GROUP BY mirtova_row) AS mirtova_new " +
                            "WHERE mirtova_new.mirtova_row NOT IN (SELECT " + row_in_form("mirtova_a") +
                            " FROM " + acc + " AS mirtova_a)");
        continue;
      }
      loop.body.push_back("INSERT INTO " + acc + " SELECT * FROM " + table_of(member) + " " + except +
                          " SELECT * FROM " + acc);
    }
  }
  state_->building_loop_members = std::move(outer_members);
  loop.changed = loop_changed_query(iteration, selects, loop, unit);
  push_step(unit, std::move(loop));
  state_->loops_in_progress.erase(iteration.name);
  state_->loops_done.insert(iteration.name);
  for (const std::string& member : iteration.predicates) state_->emitted.insert(member);
  return Unit{};
}

std::string QuorilProgram::loop_changed_query(const IterationDef& iteration,
                                              const std::vector<std::string>& selects, PlanStep& loop,
                                              size_t unit) {
  const std::string except(dialect_->except_distinct());
  std::vector<std::string> terms;
  int counted = 0;  // numbers the sub-queries' aliases
  // Rows of `a` that `b` lacks; for a predicate that keeps duplicates each
  // row comes with its count, so that levels differing only in how often a
  // row comes are told apart.
  auto differ = [&](const std::string& a, const std::string& b, const std::string& member) {
    terms.push_back("(SELECT COUNT(*) FROM (" + rows_to_compare(a, member) + " " + except + " " +
                    rows_to_compare(b, member) + ") AS mirtova_changed_" + std::to_string(counted++) + ")");
  };
  const std::vector<std::string>& members = iteration.predicates;
  if (members.empty()) return "SELECT 0";
  if (iteration.stop == LoopStop::NoNewRows) {
    for (const std::string& member : members)
      terms.push_back("(SELECT COUNT(*) FROM " + table_of(member) + " AS mirtova_changed_" +
                      std::to_string(counted++) + ")");
    return "SELECT " + join(terms, " + ");
  }
  if (iteration.stop == LoopStop::NewestLevelsAgree && members.size() % 2 == 0) {
    const size_t half = members.size() / 2;
    for (size_t i = 0; i < half; ++i) {
      const std::string older = table_of(members[i]);
      const std::string newer = table_of(members[half + i]);
      differ(newer, older, members[i]);
      differ(older, newer, members[i]);
    }
    return "SELECT " + join(terms, " + ");
  }
  // Any other loop is done when a round wrote every table as it found it: each
  // is compared with a copy taken at the start of the round. A table that no
  // earlier step made is made empty before the loop, so that the first round
  // has one to copy (and counts as a change when it fills it).
  std::vector<std::string> written;
  std::vector<std::string> written_by;  // a member whose rows the table holds
  for (size_t i = 0; i < members.size(); ++i) {
    std::string table = table_of(members[i]);
    if (std::find(written.begin(), written.end(), table) != written.end()) continue;
    written.push_back(table);
    written_by.push_back(members[i]);
    std::optional<std::string> owner = table_owner(members[i]);
    if (state_->emitted.count(owner ? *owner : members[i])) continue;
    PlanStep empty = PlanStep::statement(
        replace_table(table, "SELECT * FROM (\n" + indent(selects[i], 2, dialect_->sql_lexicon()) +
                                 "\n) AS mirtova_empty WHERE 1 = 0"));
    empty.for_changed_only = 1;
    push_step(unit, std::move(empty));
  }
  if (iteration.accumulate) {
    std::string table = table_of(*iteration.accumulate);
    if (std::find(written.begin(), written.end(), table) == written.end()) {
      written.push_back(table);
      written_by.push_back(*iteration.accumulate);
    }
  }
  std::vector<std::string> copies;
  for (size_t i = 0; i < written.size(); ++i) {
    std::string copy = table_reference(ann_.default_table("mirtova_before_" + std::to_string(i)), *dialect_);
    copies.push_back(replace_table(copy, "SELECT * FROM " + written[i]));
    differ(written[i], copy, written_by[i]);
    differ(copy, written[i], written_by[i]);
    terms.push_back("ABS((SELECT COUNT(*) FROM " + written[i] + ") - (SELECT COUNT(*) FROM " + copy + "))");
  }
  loop.body.insert(loop.body.begin(), copies.begin(), copies.end());
  loop.for_changed_only = copies.size();
  return "SELECT " + join(terms, " + ");
}

bool QuorilProgram::keeps_duplicates(const std::string& predicate) const {
  auto it = rules_of_.find(predicate);
  if (it == rules_of_.end()) return false;
  for (size_t i : it->second)
    if (!rule_at(i).has("distinct_denoted")) return true;
  return false;
}

bool QuorilProgram::rows_compared_in_form(const std::string& predicate) const {
  if (!dialect_->list_comparison_form()) return false;
  auto it = rules_of_.find(predicate);
  if (it == rules_of_.end()) return true;
  for (const std::string& column : head_columns(rule_at(it->second.front()))) {
    if (column == "*") return true;
    std::optional<Type> type = column_type(predicate, column);
    if (!type || holds_list(*type)) return true;
  }
  return false;
}

std::string QuorilProgram::row_in_form(std::string_view alias) const {
  return apply_template(*dialect_->list_comparison_form(), {std::string(alias)});
}

std::string QuorilProgram::rows_to_compare(const std::string& table, const std::string& predicate) const {
  // The whole row, a record of its columns, in the form: compared and counted as one value.
  if (rows_compared_in_form(predicate)) {
    const std::string row = row_in_form("mirtova_r") + " AS mirtova_row";
    if (!keeps_duplicates(predicate)) return "SELECT " + row + " FROM " + table + " AS mirtova_r";
    return "SELECT " + row + ", COUNT(*) AS mirtova_count FROM " + table +
           " AS mirtova_r GROUP BY mirtova_row";
  }
  if (!keeps_duplicates(predicate)) return "SELECT * FROM " + table;
  auto it = rules_of_.find(predicate);
  std::vector<std::string> columns;
  for (const std::string& column : head_columns(rule_at(it->second.front()))) {
    // A rest field's columns are not known here: the rows are compared as a set.
    if (column == "*") return "SELECT * FROM " + table;
    columns.push_back(sql_column(column, *dialect_));
  }
  const std::string listed = join(columns, ", ");
  return "SELECT " + listed + ", COUNT(*) AS mirtova_count FROM " + table + " GROUP BY " + listed;
}

std::string QuorilProgram::search_filter(const std::string& predicate, const std::string& body,
                                         const std::string& pattern) const {
  auto it = rules_of_.find(predicate);
  std::vector<std::string> tests;
  for (const std::string& column : head_columns(rule_at(it->second[0]))) {
    std::string c = sql_column(column, *dialect_);
    auto type = column_type(predicate, column);
    std::string text;
    if (type && type->is_number() && dialect_->number_to_string()) {
      text = replace_all(*dialect_->number_to_string(), "{0}", c);
    } else if (type && type->is_bool()) {
      text = "(CASE WHEN " + c + " THEN " + dialect_->str_literal("true") + " WHEN NOT " + c + " THEN " +
             dialect_->str_literal("false") + " END)";
    } else {
      text = dialect_->string_cast(c);
    }
    tests.push_back(dialect_->regex_match_condition(text, pattern));
  }
  return "SELECT * FROM (\n" + indent(body, 2, dialect_->sql_lexicon()) + "\n) AS _searched\nWHERE " +
         join(tests, " OR ");
}

Result<std::string, CompileError> QuorilProgram::main_query(const std::string& predicate, PageWindow window,
                                                            const std::optional<std::string>& pattern) {
  // A host would read such a record with its fields unnamed: refused rather
  // than shown so, or with its values turned to texts.
  if (auto rules = rules_of_.find(predicate); rules != rules_of_.end()) {
    for (const std::string& column : head_columns(rule_at(rules->second[0]))) {
      std::optional<Type> type = column_type(predicate, column);
      if (type && holds_unnamed_fields(*type, *dialect_))
        return CompileError(
            "Column " + column + " of '" + predicate +
            "' holds a record with a value of a host table's column, whose fields engine " +
            std::string(dialect_->name()) +
            " cannot name; give such a value its type (ToInt64(x), ToFloat64(x), ToString(x)).");
    }
  }
  state_->frames.emplace_back();
  std::string body;
  if (table_owner(predicate)) {
    TRY_VOID(ensure_step(predicate));
    body = "SELECT * FROM " + table_of(predicate);
  } else {
    TRY(body, predicate_sql_placing_waiting(predicate));
  }
  TRY_VOID(write_waiting_steps());
  if (pattern) body = search_filter(predicate, body, *pattern);
  std::optional<uint64_t> limit = window.limit;
  if (auto own = ann_.limit_of(predicate)) limit = limit ? std::min(*limit, *own) : *own;
  std::optional<uint64_t> offset = window.offset;
  if (offset && *offset == 0) offset.reset();
  if (!dialect_->orders_lists_and_records()) {
    for (const std::string& item : ann_.order_by_of(predicate)) {
      std::vector<std::string_view> words = words_of(item);
      if (words.empty()) continue;
      std::optional<Type> type = column_type(predicate, words[0]);
      if (type && (type->is_list() || type->is_record()))
        return CompileError("@OrderBy(" + predicate + "): column " + std::string(words[0]) +
                            " holds a list or a record, which engine " + std::string(dialect_->name()) +
                            " does not order.");
    }
  }
  const bool numbered = offset && !dialect_->supports_offset();
  // A list or record column is ordered by the dialect's key of it, read from
  // the rows made a derived table of their own: a compound statement's ORDER BY
  // names only its columns.
  const std::string_view rows_alias = numbered ? "_numbered" : "mirtova_ordered";
  bool keyed = false;
  std::optional<std::string> key_form = dialect_->container_order_key();
  auto key_of = [&](std::string_view column) -> std::optional<std::string> {
    if (!key_form) return std::nullopt;
    std::optional<Type> type = column_type(predicate, column);
    if (!type || !(type->is_list() || type->is_record())) return std::nullopt;
    keyed = true;
    return apply_template(*key_form, {std::string(rows_alias) + "." + sql_column(column, *dialect_)});
  };
  std::string order = ann_.order_by_clause(predicate, dialect_.get(), key_of);
  if (keyed && !numbered)
    body =
        "SELECT *\nFROM (\n" + indent(body, 2, dialect_->sql_lexicon()) + "\n) AS " + std::string(rows_alias);
  if (numbered) {
    std::vector<std::string> columns;
    auto it = rules_of_.find(predicate);
    for (const std::string& c : head_columns(rule_at(it->second[0])))
      columns.push_back(sql_column(c, *dialect_));
    std::string upper;
    if (limit) {
      uint64_t end = *offset + *limit;
      if (end < *offset) end = UINT64_MAX;
      upper = " AND mirtova_row <= " + dialect_->row_count(end);
    }
    body = "SELECT " + join(columns, ", ") + "\nFROM (\n  SELECT *, ROW_NUMBER() OVER (" +
           (order.empty() ? "" : "ORDER BY " + order) + ") AS mirtova_row\n  FROM (\n" +
           indent(body, 4, dialect_->sql_lexicon()) +
           "\n  ) AS _numbered\n) AS _paginated\nWHERE mirtova_row > " + dialect_->row_count(*offset) +
           upper + "\nORDER BY mirtova_row";
  } else {
    if (!order.empty()) body += "\nORDER BY " + order;
    body += dialect_->pagination_clause(limit, offset);
  }
  Frame frame = std::move(state_->frames.back());
  state_->frames.pop_back();
  // With room for the set-up that a script puts before the statement (see script).
  std::string script = render_frame(frame, body, kRoomBeforeStatement);
  if (reuse_->enabled()) state_->statement_clauses = std::move(frame.entries);
  return script;
}

std::vector<std::pair<std::string, std::string_view>> QuorilProgram::last_clauses() const {
  std::map<std::string_view, std::string_view> predicate_of;
  for (const auto& [predicate, alias] : state_->with_names) predicate_of.emplace(alias, predicate);
  std::vector<std::pair<std::string, std::string_view>> out;
  for (const auto& [alias, sql] : state_->statement_clauses)
    if (auto found = predicate_of.find(alias); found != predicate_of.end())
      out.emplace_back(std::string(found->second), sql);
  return out;
}

std::string QuorilProgram::setup_text(const std::string& main) const {
  std::string out = dialect_->setup_script(state_->record_types);
  std::vector<std::string_view> statements = {main};
  for (const PlanStep& step : state_->steps) {
    statements.push_back(step.sql);
    statements.push_back(step.changed);
    statements.insert(statements.end(), step.body.begin(), step.body.end());
  }
  std::string defined = dialect_->called_functions_setup(statements);
  if (!defined.empty()) out += (out.empty() ? "" : "\n") + defined;
  return out;
}

Result<std::vector<PlanStep>, CompileError> QuorilProgram::formatted_predicate_plan(
    std::string_view predicate, PageWindow window, const std::optional<std::string>& pattern) {
  auto plan = plan_steps(predicate, window, pattern);
  if (!plan.ok()) return as_written(*made_names_, plan.error());
  return plan;
}

Result<std::string, CompileError> QuorilProgram::formatted_predicate_sql_impl(
    std::string_view predicate, PageWindow window, const std::optional<std::string>& pattern) {
  auto text = script(predicate, window, pattern);
  if (!text.ok()) return as_written(*made_names_, text.error());
  return text;
}

Result<std::vector<PlanStep>, CompileError> QuorilProgram::plan_steps(
    std::string_view predicate, PageWindow window, const std::optional<std::string>& pattern) {
  // Each round stores one more clause; the clauses are few, and each stored
  // one leaves the statements smaller.
  constexpr size_t kMostRounds = 32;
  stored_.clear();
  for (size_t round = 0;; ++round) {
    auto plan = plan_steps_written(predicate, window, pattern);
    if (!plan.ok() || round == kMostRounds) return plan;
    std::optional<std::string> store = clause_to_store(plan.value());
    if (!store) return plan;
    stored_.insert(std::move(*store));
  }
}

std::optional<std::string> QuorilProgram::clause_to_store(const std::vector<PlanStep>& plan) const {
  const uint64_t bound = dialect_->most_query_stages();
  if (bound == UINT64_MAX) return std::nullopt;
  std::map<std::string_view, std::string_view> predicate_of;
  for (const auto& [predicate, alias] : state_->with_names) predicate_of.emplace(alias, predicate);
  // The statement furthest past the bound; of its clauses read more than
  // once, the one whose table saves the most.
  std::optional<StatementStages> worst;
  for (const PlanStep& step : plan) {
    if (step.kind != PlanStep::Kind::Sql) continue;
    StatementStages stages = statement_stages(step.sql);
    if (stages.total > bound && (!worst || stages.total > worst->total)) worst = std::move(stages);
  }
  if (!worst) return std::nullopt;
  std::optional<std::string> best;
  uint64_t best_saving = 0;
  for (const ClauseStages& clause : worst->clauses) {
    if (clause.reads < 2 || clause.stages < 2) continue;
    auto predicate = predicate_of.find(clause.alias);
    if (predicate == predicate_of.end() || table_owner(predicate->second)) continue;
    // The measures saturate; so does their product.
    uint64_t saving = 0;
    if (__builtin_mul_overflow(clause.reads - 1, clause.stages - 1, &saving)) saving = UINT64_MAX;
    if (saving > best_saving) {
      best_saving = saving;
      best = std::string(predicate->second);
    }
  }
  if (best) return best;
  // Else the largest clause of several rules, past the bound by itself: its
  // table is filled in parts (see materialise).
  uint64_t largest = bound;
  for (const ClauseStages& clause : worst->clauses) {
    auto predicate = predicate_of.find(clause.alias);
    if (clause.stages <= largest || predicate == predicate_of.end() || table_owner(predicate->second) ||
        rules_in_parts(predicate->second) < 2)
      continue;
    largest = clause.stages;
    best = std::string(predicate->second);
  }
  return best;
}

Result<std::vector<PlanStep>, CompileError> QuorilProgram::plan_steps_written(
    std::string_view predicate, PageWindow window, const std::optional<std::string>& pattern) {
  auto plan = plan_steps_once(predicate, window, pattern);
  if (!memo_->failed()) return plan;
  // A repeat went astray once it had changed the script: written again, without repeats.
  memo_->hold(true);
  plan = plan_steps_once(predicate, window, pattern);
  memo_->hold(false);
  return plan;
}

Result<std::vector<PlanStep>, CompileError> QuorilProgram::plan_steps_once(
    std::string_view predicate, PageWindow window, const std::optional<std::string>& pattern) {
  // The names in use start afresh, their table kept for the next script.
  NamesAllocator names = std::move(state_->names);
  names.reset();
  *state_ = CompilationState{};
  state_->names = std::move(names);
  reuse_->start_script(state_->names);
  memo_->start_script(state_->names, reuse_->enabled() ? reuse_.get() : nullptr);
  std::string name(predicate);
  if (!rules_of_.count(name)) return CompileError("Predicate '" + name + "' has no rules to compile.");
  TRY(std::string main, main_query(name, window, pattern));
  std::vector<PlanStep> plan;
  std::string setup = setup_text(main);
  if (!setup.empty()) plan.push_back(PlanStep::setup(std::move(setup)));
  for (PlanStep& s : state_->steps) plan.push_back(std::move(s));
  plan.push_back(PlanStep::statement(std::move(main)));
  state_->steps.clear();
  return plan;
}

Result<std::string, CompileError> QuorilProgram::script(std::string_view predicate, PageWindow window,
                                                        const std::optional<std::string>& pattern) {
  TRY(std::vector<PlanStep> plan, plan_steps(predicate, window, pattern));
  // Measured before it is written: a loop unrolled many times over makes a
  // script of gigabytes from a few lines of program. Each piece may gain ";"
  // and a blank line.
  size_t bytes = 0;
  for (const PlanStep& step : plan) {
    if (step.kind != PlanStep::Kind::Loop) {
      if (step.for_changed_only == 0) bytes += step.sql.size() + 3;
      continue;
    }
    if (step.repetitions > kMaxScriptRepetitions) {
      return CompileError(
          "Iteration '" + step.iteration + "' repeats " + std::to_string(step.repetitions) +
          " times, more than the 1000 that one script may hold; use plan() to run it as a loop.");
    }
    size_t body_bytes = 0;
    for (size_t i = step.for_changed_only; i < step.body.size(); ++i) body_bytes += step.body[i].size() + 3;
    bytes += body_bytes * static_cast<size_t>(step.repetitions);
  }
  if (bytes > kMaxScriptBytes)
    return CompileError("Predicate '" + std::string(predicate) + "' makes a script of " +
                        std::to_string(bytes) + " bytes, more than the " + std::to_string(kMaxScriptBytes) +
                        " that one script may hold; use plan() to run its steps one by one.");
  auto trimmed = [](std::string_view piece) {
    while (!piece.empty() &&
           (piece.back() == ' ' || piece.back() == '\n' || piece.back() == '\t' || piece.back() == '\r'))
      piece.remove_suffix(1);
    return piece;
  };
  // The statement, last, runs to megabytes: it is ended where it stands, and
  // what comes before it is put in front of it, in the room its writing left
  // where that is enough, rather than both copied into a third text.
  std::string statement = std::move(plan.back().sql);
  plan.pop_back();
  statement.resize(trimmed(statement).size());
  if (statement.empty() || statement.back() != ';') statement += ';';
  if (plan.empty()) return statement;
  std::string out;
  out.reserve(bytes - statement.size());
  auto append = [&out, &trimmed](std::string_view piece) {
    piece = trimmed(piece);
    if (!out.empty()) out += "\n\n";
    out += piece;
    if (piece.empty() || piece.back() != ';') out += ";";
  };
  for (const PlanStep& step : plan) {
    if (step.kind != PlanStep::Kind::Loop) {
      if (step.for_changed_only == 0) append(step.sql);
      continue;
    }
    for (int64_t r = 0; r < step.repetitions; ++r)
      for (size_t i = step.for_changed_only; i < step.body.size(); ++i) append(step.body[i]);
  }
  if (out.empty()) return statement;
  plan.clear();
  out += "\n\n";
  statement.insert(0, out);
  return statement;
}

}  // namespace mirtova
