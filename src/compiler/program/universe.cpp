// Building a program: rules indexed by predicate, annotations, column types; and
// the SQL of one rule and of one predicate.
#include "compiler/program/universe.h"

#include <algorithm>
#include <memory>
#include <optional>

#include "common/stack_room.h"
#include "common/strings.h"
#include "compiler/dialects/quoting.h"
#include "compiler/dialects/record_types.h"
#include "compiler/expr_translate/basis_functions.h"
#include "compiler/expr_translate/expr_translator.h"
#include "compiler/functors/dependency_cycles.h"
#include "compiler/functors/dependency_graph.h"
#include "compiler/functors/make_instructions.h"
#include "compiler/functors/run_makes.h"
#include "compiler/functors/unfold_recursion.h"
#include "compiler/program/compilation_state.h"
#include "compiler/program/library_columns.h"
#include "compiler/program/library_rules.h"
#include "compiler/program/library_types.h"
#include "compiler/program/predicate_memo.h"
#include "compiler/program/record_columns.h"
#include "compiler/type_inference/inference.h"
#include "parser/depth_guard.h"
#include "parser/tree_access.h"
#include "parser/tree_walk.h"

namespace mirtova {

namespace {

bool has_aggregated_or_rest_field(const Json& rule) {
  for (const Json& f : call_fields(rule.at("head"))) {
    if (f.at("value").has("aggregation")) return true;
    const Json& name = f.at("field");
    if (name.is_str() && name.as_str() == "*") return true;
  }
  return false;
}

bool is_dead(const Json& rule) {
  if (const Json::ArrayType* body = body_conjuncts(rule))
    for (const Json& c : *body)
      if (const Json* call = c.get("predicate"))
        if (call->at("predicate_name").as_str() == "nil") return true;
  return false;
}

}  // namespace

std::string table_reference(std::string_view name, const Dialect& dialect) {
  if (name.size() >= 2 && name.front() == '`' && name.back() == '`') name = name.substr(1, name.size() - 2);
  std::string out;
  size_t start = 0;
  for (;;) {
    size_t dot = name.find('.', start);
    std::string_view part =
        name.substr(start, dot == std::string_view::npos ? std::string_view::npos : dot - start);
    out += dialect.quote_identifier(part);
    if (dot == std::string_view::npos) break;
    out += ".";
    start = dot + 1;
  }
  return out;
}

QuorilProgram::QuorilProgram()
    : state_(std::make_unique<CompilationState>()),
      subqueries_(std::make_unique<UniverseSubqueryTranslator>(*this)),
      reuse_(std::make_unique<ClauseReuse>()),
      memo_(std::make_unique<PredicateMemo>()) {}

QuorilProgram::~QuorilProgram() = default;

void QuorilProgram::reuse_clauses() {
  reuse_->enable();
  memo_->enable(!table_columns_.has_numbered_alias_name());
}

NamesAllocator& QuorilProgram::names() { return state_->names; }

Result<std::unique_ptr<QuorilProgram>, CompileError> QuorilProgram::new_with_engine(
    Json tree, const TextMap& flag_overrides, const TextMap& /*reserved*/, std::optional<Engine> engine) {
  return build(std::move(tree), flag_overrides, engine, nullptr);
}

Result<std::unique_ptr<QuorilProgram>, CompileError> QuorilProgram::build(Json tree,
                                                                          const TextMap& flag_overrides,
                                                                          std::optional<Engine> engine,
                                                                          const std::vector<Json>* library) {
  GeneratedNames made;
  std::shared_ptr<const PredicateNames> made_names;
  auto program = assemble(std::move(tree), flag_overrides, engine, library, made, made_names);
  if (program.ok()) return program;
  if (made_names) return as_written(*made_names, program.error());
  return as_written(PredicateNames::from_pairs(made.origins()), program.error());
}

CompileError QuorilProgram::as_written(const PredicateNames& made_names, CompileError error) {
  error.message = made_names.written(error.message);
  return error;
}

Result<std::unique_ptr<QuorilProgram>, CompileError> QuorilProgram::assemble(
    Json tree, const TextMap& flag_overrides, std::optional<Engine> engine, const std::vector<Json>* library,
    GeneratedNames& made, std::shared_ptr<const PredicateNames>& made_names) {
  std::unique_ptr<QuorilProgram> p(new QuorilProgram());
  std::vector<Json> rules;
  if (Json* r = tree.get_mut("rule")) rules = std::move(r->as_array_mut());
  std::set<std::string> defined;
  for (const Json& rule : rules) {
    const std::string name(head_name(rule));
    if (name == "@Make") {
      if (auto made_name = made_predicate(rule)) defined.insert(*made_name);
    } else if (is_aux_predicate(name)) {
      // The parser's helper of a multi-body aggregation stands for the predicate it aggregates.
      made.add(name, std::string(aggregated_predicate(name)));
    } else if (!name.empty() && name[0] != '@') {
      defined.insert(name);
    }
  }

  TRY(Annotations first, Annotations::extract(rules, engine));
  // Both passes copy the whole rule list; most programs need neither.
  const bool recursive = has_dependency_cycle(rules);
  if (recursive || !collect_make_instructions(rules).empty()) made.take_names_of(rules);
  TRY(const Engine engine_chosen, first.engine());
  p->dialect_ = Dialect::get(engine_chosen);
  if (recursive) {
    TRY(rules, unfold_recursion(std::move(rules), p->dialect_->unfolds_recursion_iteratively(), made,
                                p->dialect_->most_table_references()));
  }
  if (std::vector<MakeInstruction> instructions = collect_make_instructions(rules); !instructions.empty()) {
    // Once read, the statements are read no more; those an unfolding wrote
    // outnumber the program's own rules, and would stay through the functor
    // calls and typing, as would the room they and the list's growth leave.
    std::erase_if(rules, is_make_rule);
    rules.shrink_to_fit();
    TRY(rules, run_make_instructions(std::move(rules), std::move(instructions), made));
    rules.shrink_to_fit();
  }
  // Typing holds the most memory of a compile: the names made are kept on
  // only as its messages, and those of later calls, need them.
  made_names = std::make_shared<const PredicateNames>(PredicateNames::from_pairs(made.origins()));
  made = GeneratedNames();
  p->made_names_ = made_names;
  p->own_rules_ = std::move(rules);
  const size_t own_rules = p->own_rules_.size();
  if (library) {
    p->library_ = std::make_shared<const std::vector<Json>>(*library);
  } else {
    TRY(p->library_, library_rules(*p->dialect_));
  }
  TRY(p->ann_, Annotations::extract(p->own_rules_, *p->library_, engine_chosen));
  p->built_ins_ = basis_functions(*p->dialect_);

  // The program's own rules to type, and the library's (the engine's own
  // library is typed once per engine; see library_types.h).
  std::vector<const Json*> typed, typed_library;
  std::vector<size_t> typed_rules;
  std::vector<char> own_typed(own_rules, 0);
  // Every rule counts, identical ones too: a predicate's rules are joined with UNION ALL.
  std::vector<std::pair<std::string_view, size_t>> heads;
  for (size_t i = 0; i < p->rule_count(); ++i) {
    const Json& rule = p->rule_at(i);
    const std::string_view name = head_name(rule);
    if (name.empty() || name[0] == '@') continue;
    (i < own_rules || library ? typed : typed_library).push_back(&rule);
    if (i < own_rules) own_typed[i] = 1;
    typed_rules.push_back(i);
    heads.emplace_back(name, i);
  }
  // By name, each name's rules in rule order: the names come out in byte order.
  std::stable_sort(heads.begin(), heads.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  p->rule_numbers_.reserve(heads.size());
  for (const auto& head : heads) p->rule_numbers_.push_back(head.second);
  for (size_t from = 0, to = 0; from < heads.size(); from = to) {
    const std::string_view name = heads[from].first;
    const bool first_distinct = p->rule_at(heads[from].second).has("distinct_denoted");
    for (; to < heads.size() && heads[to].first == name; ++to) {
      if (p->rule_at(heads[to].second).has("distinct_denoted") != first_distinct)
        return CompileError("Rules of predicate '" + std::string(name) +
                                "' disagree on distinct: either all of them are distinct or none is.",
                            rule_text(p->rule_at(heads[to].second)));
    }
    p->rules_of_.emplace(name, std::span<const size_t>(p->rule_numbers_).subspan(from, to - from));
  }
  heads.clear();
  heads.shrink_to_fit();
  const QuorilProgram& program = *p;
  auto is_special = [&program](std::string_view name) {
    return name == "nil" || name == "~" || name == "=" || is_constraint_predicate(name) ||
           program.is_built_in_function(name);
  };
  auto is_table = [&](std::string_view name) {
    return program.is_program_predicate(name) || !is_special(name);
  };
  // The walk that gathers the columns of the tables also gathers the names the
  // typed rules give, which typing asks about.
  // Only a head of the library can be one of its relations, and only the one
  // rule of a predicate can be injected or inlined: the names kept are few.
  std::vector<std::string_view> typed_names;
  RewriteCandidates& candidates = p->rewrite_candidates_;
  candidates.compiler_variable.assign(own_rules, false);
  auto reach = [&candidates](size_t rule) {
    while (candidates.start.size() <= rule)
      candidates.start.push_back(static_cast<uint32_t>(candidates.names.size()));
  };
  TableColumns::Mentions mentions;
  mentions.named = [&](size_t rule, std::string_view name) {
    auto found = p->rules_of_.find(name);
    const bool nil = name == "nil";
    if (found == p->rules_of_.end() && !nil) return;
    if (!nil && own_typed[rule] && found->second.back() >= own_rules) typed_names.push_back(name);
    if (!nil && found->second.size() != 1) return;
    reach(rule);
    const auto first = candidates.names.begin() + candidates.start[rule];
    if (std::find(first, candidates.names.end(), name) == candidates.names.end())
      candidates.names.push_back(name);
  };
  mentions.variable = [&](size_t rule, std::string_view name) {
    if (name.starts_with("x_")) candidates.compiler_variable[rule] = true;
  };
  p->table_columns_ = TableColumns::collect(p->own_rules_, is_table, mentions);
  reach(own_rules);
  candidates.names.shrink_to_fit();
  if (p->ann_.type_checking()) {
    // Where a record field's SQL type is declared, a field read from a host's
    // table must be declared as that table's column (see record_types.h).
    HostTables host_tables;
    if (p->dialect_->reads_untyped_fields_as_text()) {
      for (const Json* rule : typed) {
        walk_tree(*rule, [&](const Json& object) {
          const Json* name = object.get("predicate_name");
          if (name == nullptr || !name->is_str()) return;
          const std::string called(name->as_str());
          if (called.empty() || called[0] == '@' || p->rules_of_.count(called) || is_special(called)) return;
          if (!host_tables.count(called)) host_tables.emplace(called, table_reference(called, *p->dialect_));
        });
      }
    }
    TRY(ProgramTypes types,
        library ? infer_program_types(typed, host_tables)
                : program_and_library_types(typed, typed_library, engine_chosen, host_tables, &typed_names));
    ColumnTypes column_types;
    for (auto& [name, columns] : types.predicates)
      if (!columns.empty() && p->rules_of_.count(name)) column_types[name] = std::move(columns);
    types.predicates = {};
    std::vector<RuleVariableTypes> rule_variables(p->rule_count());
    p->shared_number_.assign(p->rule_count(), kUnshared);
    const size_t unshared = types.rule_variables.size();
    for (size_t k = 0; k < typed_rules.size(); ++k) {
      if (k < unshared)
        rule_variables[typed_rules[k]] = std::move(types.rule_variables[k]);
      else
        p->shared_number_[typed_rules[k]] = static_cast<uint32_t>(k - unshared);
    }
    types.rule_variables = {};
    p->shared_rule_variables_ = std::move(types.shared_rule_variables);
    p->shared_column_types_ = std::move(types.shared_predicates);
    complete_record_columns(p->own_rules_, rule_variables, *p->dialect_, host_tables, column_types);
    if (!p->dialect_->names_untyped_fields(1)) p->integer_columns_ = integer_columns(p->own_rules_);
    // Kept for every later script in the smaller form, each rule's map let
    // go as it is read so that the two forms never stand whole side by side.
    p->rule_variable_types_.reserve(rule_variables.size());
    for (RuleVariableTypes& variables : rule_variables) {
      p->rule_variable_types_.emplace_back(variables, p->kept_types_);
      variables = {};
    }
    p->column_types_ = PredicateColumnTypes(column_types, p->kept_types_);
    p->kept_types_.finish();
    p->host_tables_ = std::move(host_tables);
  }
  for (const auto& [k, v] : p->ann_.flag_values()) p->flags_[k] = v;
  for (const auto& [k, v] : flag_overrides) p->flags_[k] = v;

  for (const std::string& name : defined)
    if (p->rules_of_.count(name) && !p->is_function_of_arguments(name)) p->user_defined_.push_back(name);
  if (library) {
    p->table_columns_.add_rules(*p->library_, is_table);
    return p;
  }
  // The engine's own library gives every program the same columns, but for the
  // calls of a name the library leaves to the program.
  std::shared_ptr<const LibraryColumns> shared = library_columns(engine_chosen, p->library_, is_special);
  p->table_columns_.share(shared->always);
  for (const auto& [name, columns] : shared->if_defined)
    if (program.is_program_predicate(name)) p->table_columns_.add_columns(name, columns);
  return p;
}

namespace {

// The variables of `body` that stand somewhere but in a comparison (a
// conjunct whose predicate is an operator such as ">"): only there can the
// body give them a value.
std::set<std::string, std::less<>> named_outside_comparisons(const Json& body) {
  std::set<std::string, std::less<>> named;
  walk_tree(body, [&](const Json& object) {
    if (const Json* predicate = object.get("predicate")) {
      const Json* called = predicate->get("predicate_name");
      const std::string_view text = called && called->is_str() ? called->as_str() : std::string_view();
      if (!text.empty() && !(text[0] >= 'A' && text[0] <= 'Z')) return Walk::Skip;
    }
    std::optional<std::string> variable = variable_name(object);
    if (!variable) return Walk::Enter;
    named.insert(std::move(*variable));
    return Walk::Skip;
  });
  return named;
}

}  // namespace

// A function such as `Double(x) = 2 * x`, or `Above(x) = y :- N(v: y), y > x`,
// has no rows of its own: an argument that its body does not give a value is
// bound only where it is called, so it is no relation to list.
bool QuorilProgram::is_function_of_arguments(std::string_view predicate) const {
  auto it = rules_of_.find(predicate);
  if (it == rules_of_.end()) return false;
  bool left_to_caller = false;
  for (size_t index : it->second) {
    const Json& rule = rule_at(index);
    const Json* record = rule.at("head").get("record");
    const Json* fields = record ? record->get("field_value") : nullptr;
    if (fields == nullptr) return false;
    bool has_value = false, has_argument = false;
    for (const Json& field : fields->as_array()) {
      const Json& name = field.at("field");
      (name.is_str() && name.as_str() == "quoril_value" ? has_value : has_argument) = true;
    }
    if (!has_value || !has_argument) return false;
    const Json* body = rule.get("body");
    if (body == nullptr) {
      left_to_caller = true;
      continue;
    }
    // One walk of the body for all the arguments: a rule may have thousands.
    const std::set<std::string, std::less<>> named = named_outside_comparisons(*body);
    for (const Json& field : fields->as_array()) {
      const Json& name = field.at("field");
      if (name.is_str() && name.as_str() == "quoril_value") continue;
      const Json* expression = field_expression(field);
      const std::optional<std::string> variable = expression ? variable_name(*expression) : std::nullopt;
      if (variable && !named.contains(*variable)) left_to_caller = true;
    }
  }
  return left_to_caller;
}

namespace {

bool is_function_rule(const Json& rule) {
  for (const Json& field : call_fields(rule.at("head")))
    if (field_column(field) == "quoril_value") return true;
  return false;
}

}  // namespace

const Json* QuorilProgram::injectable_rule(std::string_view predicate) const {
  auto known = injectable_.find(predicate);
  if (known != injectable_.end()) return known->second;
  const Json* rule = find_injectable_rule(predicate);
  // A function is always inlined: it may have no rows to read as a table.
  // Inlining bounds the rule it grows instead.
  if (rule && !is_function_rule(*rule) &&
      !injection_sizes_.within_bound(predicate,
                                     [this](std::string_view name) { return find_injectable_rule(name); }))
    rule = nullptr;
  injectable_.emplace(std::string(predicate), rule);
  return rule;
}

const Json* QuorilProgram::find_injectable_rule(std::string_view predicate) const {
  auto it = rules_of_.find(predicate);
  if (it == rules_of_.end() || it->second.size() != 1 || predicate == "nil") return nullptr;
  const Json& rule = rule_at(it->second[0]);
  if (rule.has("distinct_denoted") || has_aggregated_or_rest_field(rule)) return nullptr;
  if (table_owner(predicate) || ann_.owns_table_of_other(predicate) || ann_.not_injected(predicate))
    return nullptr;
  return &rule;
}

bool QuorilProgram::is_built_in_function(std::string_view name) const {
  return built_ins_ && built_ins_->count(name) > 0;
}

std::string QuorilProgram::fresh_variable() { return "x_" + std::to_string(state_->variable_counter++); }

bool QuorilProgram::may_inject_at(size_t combines_deep) const {
  const size_t most = dialect_->most_nested_injection();
  return state_->combine_level <= most && combines_deep <= most - state_->combine_level;
}

bool QuorilProgram::may_inject_combines_at(size_t combines_deep) const {
  return dialect_->splices_combines_into_combines() || state_->combine_level + combines_deep == 0;
}

bool QuorilProgram::is_program_predicate(std::string_view predicate) const {
  return rules_of_.count(predicate) > 0;
}

std::optional<std::vector<std::string>> QuorilProgram::columns_of(std::string_view predicate) const {
  auto it = rules_of_.find(predicate);
  if (it == rules_of_.end()) return std::nullopt;
  std::vector<std::string> columns = head_columns(rule_at(it->second[0]));
  for (const std::string& c : columns)
    if (c == "*") return std::nullopt;  // a rest field: the columns are another predicate's
  return columns;
}

std::optional<Type> QuorilProgram::column_type(std::string_view predicate, std::string_view column) const {
  auto known = [&](std::string_view name) -> std::optional<Type> {
    if (const NamedTypes* columns = column_types_.find(name)) {
      if (const uint32_t* type = columns->find(column, kept_types_)) return kept_types_.at(*type);
    }
    // The library's columns, typed once per engine, of the predicates it defines.
    if (!shared_column_types_ || !rules_of_.count(name)) return std::nullopt;
    auto shared = shared_column_types_->find(std::string(name));
    if (shared == shared_column_types_->end()) return std::nullopt;
    auto c = shared->second.find(std::string(column));
    if (c == shared->second.end()) return std::nullopt;
    return c->second;
  };
  // The auxiliary predicate of a multi-body aggregation holds the aggregated
  // arguments, whose types are its own (a Max of booleans is read as booleans);
  // the aggregating predicate's columns only stand in where it has none.
  size_t aux = predicate.find(kAuxMarker);
  if (aux == std::string_view::npos) return known(predicate);
  if (std::optional<Type> own = known(predicate)) return own;
  return known(predicate.substr(0, aux));
}

std::optional<RewriteWork> QuorilProgram::rewrite_work_by_names(const Json& rule) const {
  std::less<const Json*> before;
  const Json* first = own_rules_.data();
  if (rewrite_candidates_.compiler_variable.size() != own_rules_.size() || before(&rule, first) ||
      !before(&rule, first + own_rules_.size()))
    return std::nullopt;
  const size_t number = static_cast<size_t>(&rule - first);
  const RewriteCandidates& candidates = rewrite_candidates_;
  // The search finds work only at a unification binding a compiler variable,
  // or at a call of "nil" or of a predicate that injectable_rule gives; a
  // function turns a unification into a conjunct or is inlined. Without those
  // two, only injection is left, and it is taken as found when a predicate the
  // rule names is injectable: at worst the rewrite then finds nothing to do.
  if (candidates.compiler_variable[number]) return std::nullopt;
  RewriteWork work;
  for (size_t at = candidates.start[number]; at < candidates.start[number + 1]; ++at) {
    const std::string_view name = candidates.names[at];
    if (name == "nil") return std::nullopt;
    const Json* callee = injectable_rule(name);
    if (callee == nullptr) continue;
    if (is_function_rule(*callee)) return std::nullopt;
    work.injection = true;
  }
  return work;
}

TypeMap QuorilProgram::rule_types(const Json& rule, const TypeMap& outer) const {
  // A rule of the program is one of its rule lists' own; rules met inside a
  // rule (a combine's) and rewritten copies have only what their caller knows.
  if (rule_variable_types_.empty()) return outer;
  std::less<const Json*> before;
  auto place_in = [&](const std::vector<Json>& list) -> std::optional<size_t> {
    const Json* first = list.data();
    if (before(&rule, first) || !before(&rule, first + list.size())) return std::nullopt;
    return static_cast<size_t>(&rule - first);
  };
  std::optional<size_t> number = place_in(own_rules_);
  if (!number) {
    number = place_in(*library_);
    if (!number) return outer;
    *number += own_rules_.size();
  }
  TypeMap types = outer;
  auto meet = [&types](const std::string& name, const Type& type) {
    auto found = types.find(name);
    if (found == types.end() || found->second.is_any()) types.insert_or_assign(name, type);
  };
  if (shared_number_[*number] != kUnshared) {
    for (const auto& [name, type] : (*shared_rule_variables_)[shared_number_[*number]]) meet(name, type);
  } else {
    for (const NamedTypes::Entry& entry : rule_variable_types_[*number])
      meet(kept_types_.name(entry.name), kept_types_.at(entry.type));
  }
  return types;
}

namespace {

// Keeps a rule's column names before the allocator while the rule is written.
// Most names asked about are no column of any table: the tables the rule
// reaches are gathered only when one is, the rule held until then.
class ColumnScope {
 public:
  ColumnScope(NamesAllocator& names, const TableColumns& columns, std::shared_ptr<const Json> rule,
              bool inside_enclosing)
      : names_(names) {
    names_.open_scope(
        [&columns, rule = std::move(rule),
         tables = std::optional<std::vector<std::string>>()](const std::string& lower) mutable {
          if (!columns.is_any_column(lower)) return false;
          if (!tables) tables = TableColumns::tables_in_reach(*rule);
          return columns.is_column_of(lower, *tables);
        },
        inside_enclosing);
  }
  ~ColumnScope() { names_.close_scope(); }
  ColumnScope(const ColumnScope&) = delete;
  ColumnScope& operator=(const ColumnScope&) = delete;

 private:
  NamesAllocator& names_;
};

}  // namespace

Result<std::string, CompileError> QuorilProgram::rule_sql(const Json& rule, const Vocabulary& outer,
                                                          const TypeMap& outer_types, bool in_combine,
                                                          const std::vector<std::string>* column_order,
                                                          OuterRows* around) {
  auto attach = [&](CompileError e) {
    if (e.rule_text.empty()) e.rule_text = rule_text(rule);
    return e;
  };
  // A combine's rule is translated inside the rule that holds it, each level
  // through the whole translator: the stack left decides how deep that goes.
  if (stack_nearly_exhausted()) return attach(CompileError(kTooDeepMessage));
  struct CombineLevel {
    size_t& level;
    const size_t outer;
    CombineLevel(size_t& level, bool in_combine) : level(level), outer(level) {
      level = in_combine ? outer + 1 : 0;
    }
    ~CombineLevel() { level = outer; }
    CombineLevel(const CombineLevel&) = delete;
    CombineLevel& operator=(const CombineLevel&) = delete;
  } combine_level(state_->combine_level, in_combine);
  const bool decorate = in_combine && dialect_->decorate_combine_rule();
  std::shared_ptr<const Json> tree;
  const std::optional<RewriteWork> by_names = rewrite_work_by_names(rule);
  const RewriteWork work = by_names ? *by_names : rewrite_work(rule, *this);
  if (!decorate && !work.any()) {
    // None of the rewrites below would change the rule (a plain join, say), so
    // it is read where it stands instead of copied: it outlives the structure
    // built from it, being a program rule or part of the rule whose structure
    // is asking for this one.
    tree = std::shared_ptr<const Json>(std::shared_ptr<const Json>(), &rule);
  } else {
    Json copy = rule;
    const DepthBound max_depth = max_rule_depth(rule);
    std::optional<TreeExtent> extent;
    auto injected = inject_into_rule(copy, *this, work, max_depth, extent);
    if (!injected.ok()) return attach(injected.error());
    // The injector measures the rule whenever it changes it: unmeasured, the
    // rule is as given, and holds no binding to erase unless the search saw one
    // (decorating adds none).
    const bool may_bind = work.binding || extent.has_value();
    if (decorate) {
      copy = decorate_combine_rule(std::move(copy), fresh_variable());
      extent.reset();
    }
    if (may_bind &&
        !eliminate_compiler_variables(copy, kMaxRuleNodes, max_depth, in_combine ? &outer : nullptr, extent))
      return attach(CompileError(kRuleTooLargeMessage));
    tree = std::make_shared<const Json>(std::move(copy));
  }
  ColumnScope scope(state_->names, table_columns_, tree, in_combine);
  auto structure = extract_rule_structure_with_vocabulary(std::move(tree), outer,
                                                          rule_types(rule, outer_types), in_combine, *this);
  if (!structure.ok()) return attach(structure.error());
  auto sql = std::move(structure.value()).as_sql(*subqueries_, *dialect_, flags_, column_order, around);
  if (!sql.ok()) return attach(sql.error());
  return sql;
}

Result<std::string, CompileError> QuorilProgram::single_rule_sql(const Json& rule, const Vocabulary& outer,
                                                                 const TypeMap& outer_types, bool in_combine,
                                                                 OuterRows* around) {
  return rule_sql(rule, outer, outer_types, in_combine, nullptr, around);
}

DependencyGraph QuorilProgram::call_graph() const {
  DependencyGraph graph;
  for (const std::string& name : user_defined_) graph.add_node(name);
  // In byte order, so that the graph, and what is measured by it, is the
  // same for the same program.
  std::vector<std::string_view> names;
  for (const auto& entry : rules_of_) names.push_back(entry.first);
  std::sort(names.begin(), names.end());
  for (std::string_view name : names) {
    const size_t from = graph.add_node(name);
    for (size_t i : rules_of_.find(name)->second) {
      if (is_dead(rule_at(i))) continue;
      for (const DepEdge& edge : extract_deps(rule_at(i)))
        if (rules_of_.count(edge.to)) graph.add_edge(from, graph.add_node(edge.to));
    }
  }
  return graph;
}

namespace {

// Whether a rule writes into a column that `typed` does not hold a null of no
// type: the null itself, or an element of the empty list written as such.
template <class Typed, class Nulls>
bool writes_untyped_null(const Json& rule, Typed typed, Nulls nulls) {
  const Json::ArrayType* conjuncts = body_conjuncts(rule);
  auto ranges_over_nothing = [&](std::string_view variable) {
    if (conjuncts == nullptr) return false;
    return std::any_of(conjuncts->begin(), conjuncts->end(), [&](const Json& conjunct) {
      const Json* inclusion = conjunct.get("inclusion");
      if (inclusion == nullptr) return false;
      const std::optional<std::string> element = variable_name(inclusion->at("element"));
      const Json* literal = inclusion->at("list").get("literal");
      const Json* list = literal != nullptr ? literal->get("the_list") : nullptr;
      const Json* elements = list != nullptr ? list->get("element") : nullptr;
      return element && *element == variable && (elements == nullptr || elements->as_array().empty());
    });
  };
  // A variable a body's equality makes the null, as a fact read in place does.
  auto is_null = [](const Json& value) {
    const Json* literal = value.get("literal");
    return literal != nullptr && literal->has("the_null");
  };
  auto equals_null = [&](std::string_view variable) {
    if (conjuncts == nullptr) return false;
    return std::any_of(conjuncts->begin(), conjuncts->end(), [&](const Json& conjunct) {
      if (const Json* unification = conjunct.get("unification")) {
        const Json& left = unification->at("left_hand_side");
        const Json& right = unification->at("right_hand_side");
        return (is_null(right) && variable_name(left) == variable) ||
               (is_null(left) && variable_name(right) == variable);
      }
      // Or read from a column of facts' nulls.
      const Json* call = conjunct.get("predicate");
      const Json* name = call != nullptr ? call->get("predicate_name") : nullptr;
      if (name == nullptr || !name->is_str()) return false;
      for (const Json& field : call_fields(*call)) {
        const Json* argument = field_expression(field);
        if (argument != nullptr && variable_name(*argument) == variable &&
            nulls(name->as_str(), field_column(field)))
          return true;
      }
      return false;
    });
  };
  for (const Json& field : call_fields(rule.at("head"))) {
    const Json* value = field_expression(field);
    if (value == nullptr || typed(field_column(field))) continue;
    if (is_null(*value)) return true;
    const std::optional<std::string> variable = variable_name(*value);
    if (variable && (ranges_over_nothing(*variable) || equals_null(*variable))) return true;
  }
  return false;
}

struct Writing {
  Writing(std::vector<std::string>& writing, std::string_view predicate) : writing(writing) {
    writing.emplace_back(predicate);
  }
  ~Writing() { writing.pop_back(); }
  Writing(const Writing&) = delete;
  Writing& operator=(const Writing&) = delete;
  std::vector<std::string>& writing;
};

}  // namespace

Result<std::string, CompileError> QuorilProgram::rules_part_sql(const std::string& predicate,
                                                                std::pair<size_t, size_t> part) {
  Writing level(state_->writing, predicate);
  TRY(std::string sql, rules_sql(predicate, part));
  TRY_VOID(place_waiting(predicate));
  return sql;
}

Result<std::string, CompileError> QuorilProgram::predicate_sql(std::string_view predicate) {
  Writing level(state_->writing, predicate);
  if (state_->writing.size() > kMaxPredicateDepth || stack_nearly_exhausted())
    return CompileError(kTooDeepMessage);
  if (!memo_->enabled()) return rules_sql(predicate);
  const std::string name(predicate);
  const PredicateMemo::Program program{[this](const std::string& callee) -> std::optional<std::string> {
                                         auto text = translate_table_in_context(callee);
                                         if (!text.ok()) return std::nullopt;
                                         return std::move(text).value();
                                       },
                                       [this](const Type& record) {
                                         reuse_->record_type_registered(record);
                                         add_record_type(record);
                                       },
                                       [this]() -> int64_t& { return state_->variable_counter; }};
  if (std::optional<std::string> sql = memo_->repeat(name, program)) return std::move(*sql);
  if (memo_->failed()) return CompileError("The script is written again.");
  memo_->begin(name, state_->variable_counter);
  auto sql = rules_sql(predicate);
  memo_->end(sql.ok() ? &sql.value() : nullptr, state_->variable_counter);
  return sql;
}

size_t QuorilProgram::rules_in_parts(std::string_view predicate) const {
  auto it = rules_of_.find(predicate);
  if (it == rules_of_.end()) return 0;
  size_t kept = 0;
  for (size_t i : it->second) {
    if (is_dead(rule_at(i))) continue;
    if (rule_at(i).has("distinct_denoted")) return 0;
    ++kept;
  }
  return kept;
}

Result<std::string, CompileError> QuorilProgram::rules_sql(std::string_view predicate,
                                                           std::optional<std::pair<size_t, size_t>> part) {
  auto it = rules_of_.find(predicate);
  if (it == rules_of_.end())
    return CompileError("Predicate '" + std::string(predicate) + "' has no rules to compile.");
  std::vector<size_t> kept;
  for (size_t i : it->second)
    if (!is_dead(rule_at(i))) kept.push_back(i);
  // With every rule dead, the first still gives the columns (and no rows).
  if (kept.empty()) kept.push_back(it->second[0]);
  std::vector<std::string> columns = head_columns(rule_at(kept[0]));
  bool distinct = rule_at(kept[0]).has("distinct_denoted");
  if (distinct && kept.size() > 1)
    for (size_t i : kept)
      if (has_aggregated_or_rest_field(rule_at(i)))
        return CompileError("Predicate '" + std::string(predicate) +
                                "' is distinct and aggregates, so it must have exactly one rule.",
                            rule_text(rule_at(i)));
  if (kept.size() == 1) return rule_sql(rule_at(kept[0]), {}, {}, false, &columns);
  // Where a bare null is text, the engine types a union's columns a pair of
  // rules at a time, first to last: two nulls met first would make text, which
  // no list or record meets. The rules that write one where the column's type
  // does not name it come last.
  if (dialect_->types_bare_nulls()) {
    UniverseSubqueryTranslator reader(*this);
    // A fact read in place, or a predicate of facts, holding only nulls there.
    auto column_of_facts_nulls = [&](std::string_view called, std::string_view column) {
      if (const Json* fact = injectable_rule(called); fact != nullptr && !fact->has("body")) {
        for (const Json& field : call_fields(fact->at("head"))) {
          const Json* value = field_expression(field);
          const Json* literal = value != nullptr ? value->get("literal") : nullptr;
          if (field_is_column(field, column)) return literal != nullptr && literal->has("the_null");
        }
      }
      return reader.column_of_nulls(called, column);
    };
    auto typed = [&](const std::string& column) {
      const std::optional<Type> type = column_type(predicate, column);
      return type && (type->is_number() || type->is_bool() || type->is_string());
    };
    std::stable_partition(kept.begin(), kept.end(), [&](size_t i) {
      return !writes_untyped_null(rule_at(i), typed, [&](std::string_view called, std::string_view column) {
        return column_of_facts_nulls(called, column);
      });
    });
  }
  if (part) {
    const size_t end = std::min(part->second, kept.size());
    kept = std::vector<size_t>(kept.begin() + static_cast<std::ptrdiff_t>(std::min(part->first, end)),
                               kept.begin() + static_cast<std::ptrdiff_t>(end));
    if (kept.size() == 1) return rule_sql(rule_at(kept[0]), {}, {}, false, &columns);
  }
  // Joined once all are written: a clause of many rules is one buffer of its own size.
  std::vector<std::string> selects;
  selects.reserve(kept.size());
  for (size_t i : kept) {
    TRY(std::string sql, rule_sql(rule_at(i), {}, {}, false, &columns));
    selects.push_back(std::move(sql));
  }
  std::string out = join(selects, "\nUNION ALL\n");
  selects.clear();
  if (distinct) {
    constexpr std::string_view kOpen = "SELECT DISTINCT * FROM (\n", kClose = "\n) AS mirtova_distinct";
    std::string wrapped;
    wrapped.reserve(kOpen.size() + indented_size(out, 2) + kClose.size());
    wrapped += kOpen;
    append_indented(wrapped, out, 2, dialect_->sql_lexicon());
    wrapped += kClose;
    return wrapped;
  }
  return dialect_->rules_union(std::move(out));
}

// Asked only where a call stands for a value: its sub-query reads the value
// column, which a relation does not have.
Result<std::string, CompileError> UniverseSubqueryTranslator::translate_table(std::string_view predicate) {
  if (std::optional<std::vector<std::string>> columns = program_.columns_of(predicate)) {
    bool has_value = false;
    for (const std::string& c : *columns) has_value = has_value || c == "quoril_value";
    if (!has_value)
      return CompileError(
          "Predicate '" + std::string(predicate) +
          "' has no value to use here: only a function (a predicate defined with \"=\") can stand "
          "where a value is expected.");
  }
  return program_.translate_table_in_context(predicate);
}

std::string UniverseSubqueryTranslator::table_alias(std::string_view predicate) {
  return program_.state_->names.alloc_table(predicate);
}

Result<std::string, CompileError> UniverseSubqueryTranslator::translate_rule(const Json& rule,
                                                                             const Vocabulary& outer,
                                                                             const TypeMap& outer_types,
                                                                             bool in_combine,
                                                                             OuterRows* around) {
  return program_.single_rule_sql(rule, outer, outer_types, in_combine, around);
}

namespace {

// Whether every field of a record literal is a number, text or boolean literal,
// or a record of such: the only records whose type the syntax alone tells.
bool typed_by_its_literals(const Json& record) {
  for (const Json& entry : record.at("field_value").as_array()) {
    const Json* value = field_expression(entry);
    if (value == nullptr) return false;
    if (const Json* inner = value->get("record")) {
      if (!typed_by_its_literals(*inner)) return false;
      continue;
    }
    const Json* literal = value->get("literal");
    if (literal == nullptr) return false;
    if (const Json* inner = literal->get("the_record")) {
      if (!typed_by_its_literals(*inner)) return false;
    } else if (!literal->has("the_number") && !literal->has("the_string") && !literal->has("the_bool")) {
      return false;
    }
  }
  return true;
}

const Json* written_value(const Json& rule, std::string_view column) {
  const Json* value = nullptr;
  for (const Json& field : call_fields(rule.at("head")))
    if (field_column(field) == column) value = field_expression(field);
  return value;
}

bool is_null_literal(const Json& expr) {
  const Json* literal = expr.get("literal");
  return literal != nullptr && literal->has("the_null");
}

// Whether the rule writes `value` as a bare null: the literal, or a variable
// its body does nothing with but equate with the literal (a fact's null,
// injected for it), which is written as the literal, or read from a column
// that `reads_nulls(predicate, column)` says is one of such nulls.
template <class ReadsNulls>
bool writes_bare_null(const Json& rule, const Json& value, ReadsNulls&& reads_nulls) {
  if (is_null_literal(value)) return true;
  const std::optional<std::string> variable = variable_name(value);
  const Json::ArrayType* conjuncts = body_conjuncts(rule);
  if (!variable || conjuncts == nullptr) return false;
  auto mentions = [&](const Json& tree) {
    bool found = false;
    walk_tree(tree, [&](const Json& node) {
      if (node.get("variable") == nullptr || variable_name(node) != variable) return Walk::Enter;
      found = true;
      return Walk::Stop;
    });
    return found;
  };
  bool equated = false;
  for (const Json& conjunct : *conjuncts) {
    if (const Json* unification = conjunct.get("unification")) {
      const Json& left = unification->at("left_hand_side");
      const Json& right = unification->at("right_hand_side");
      if ((is_null_literal(left) && variable_name(right) == variable) ||
          (is_null_literal(right) && variable_name(left) == variable)) {
        equated = true;
        continue;
      }
    }
    const Json* call = conjunct.get("predicate");
    const Json* name = call != nullptr ? call->get("predicate_name") : nullptr;
    if (name != nullptr && name->is_str()) {
      for (const Json& field : call_fields(*call)) {
        const Json* argument = field_expression(field);
        if (argument == nullptr || !mentions(*argument)) continue;
        if (variable_name(*argument) != variable || !reads_nulls(name->as_str(), field_column(field)))
          return false;
        equated = true;
      }
      continue;
    }
    if (mentions(conjunct)) return false;
  }
  return equated;
}

}  // namespace

// A list of records needs its element type named on PostgreSQL, which cannot tell
// the type of an aggregated anonymous row. Any other field is typed by its value,
// which the syntax does not show: the aggregated records already carry the type
// they were written with, and naming another would be a cast PostgreSQL refuses.
std::optional<std::string> UniverseSubqueryTranslator::combine_psql_type(const Json& rule) {
  const Json::ArrayType& fields = call_fields(rule.at("head"));
  if (fields.size() != 1) return std::nullopt;
  const Json* aggregation = fields[0].at("value").get("aggregation");
  const Json* call = aggregation ? aggregation->at("expression").get("call") : nullptr;
  if (!call) return std::nullopt;
  const std::string name(call->at("predicate_name").as_str());
  if (name != "List" && name != "Array" && name != "Set") return std::nullopt;
  const Json::ArrayType& args = call_fields(*call);
  const Json* arg = args.size() == 1 ? field_expression(args[0]) : nullptr;
  if (!arg || !arg->has("record") || !typed_by_its_literals(arg->at("record"))) return std::nullopt;
  return register_record_type(record_literal_type(arg->at("record"))) + "[]";
}

std::optional<Type> UniverseSubqueryTranslator::gathered_list_type(const Json& rule,
                                                                   const TypeMap& outer_types) {
  const Json::ArrayType& fields = call_fields(rule.at("head"));
  if (fields.size() != 1) return std::nullopt;
  const Json* aggregation = fields[0].at("value").get("aggregation");
  const Json* call = aggregation ? aggregation->at("expression").get("call") : nullptr;
  if (!call || !call->at("predicate_name").is_str()) return std::nullopt;
  const std::string_view name = call->at("predicate_name").as_str();
  if (name != "List" && name != "Set" && name != "ArrayAgg") return std::nullopt;
  const Json::ArrayType& args = call_fields(*call);
  const Json* gathered = args.size() == 1 ? field_expression(args[0]) : nullptr;
  if (gathered == nullptr) return std::nullopt;
  // The body's variables are of the columns of the predicates it calls them
  // from; the rule around keeps its own.
  const FlagMap no_flags;
  ExprTranslator typing(Vocabulary{}, program_.dialect(), no_flags);
  typing.variable_types = outer_types;
  if (const Json::ArrayType* conjuncts = body_conjuncts(rule)) {
    for (const Json& conjunct : *conjuncts) {
      if (const Json* inclusion = conjunct.get("inclusion")) {
        std::optional<std::string> variable = variable_name(inclusion->at("element"));
        Type list = typing.value_type(inclusion->at("list"));
        if (variable && list.is_list() && !typing.variable_types.count(*variable))
          typing.variable_types.emplace(std::move(*variable), list.element());
        continue;
      }
      for (CalledVariable& called : called_variables(conjunct)) {
        if (typing.variable_types.count(called.variable)) continue;
        if (std::optional<Type> type = program_.column_type(called.predicate, called.column))
          typing.variable_types.emplace(std::move(called.variable), std::move(*type));
      }
    }
  }
  Type element = typing.value_type(*gathered);
  // Only a type the engine declares as it stands: a record's or a list's is
  // named its own way, and an undetermined one stays as it was.
  if (!element.is_number() && !element.is_string() && !element.is_bool()) return std::nullopt;
  return Type::list(std::move(element));
}

std::optional<Type> UniverseSubqueryTranslator::column_type(std::string_view predicate,
                                                            std::string_view column) {
  return program_.column_type(predicate, column);
}

bool UniverseSubqueryTranslator::integer_column(std::string_view predicate, std::string_view column) {
  return program_.integer_columns_.count(std::pair(std::string(predicate), std::string(column))) != 0;
}

bool UniverseSubqueryTranslator::integer_combine(const Json& combine) {
  return !program_.integer_columns_.empty() && combine_gives_integer(combine, program_.integer_columns_);
}

Type UniverseSubqueryTranslator::combine_value_type(const Json& combine, const TypeMap& outer_types) {
  const FlagMap no_flags;
  ExprTranslator typing(Vocabulary{}, *program_.dialect_, no_flags);
  typing.variable_types = outer_types;
  auto column_of = [this](std::string_view predicate, std::string_view column, Type& type) {
    if (!program_.rules_of_.count(predicate)) return false;
    if (std::optional<Type> known = program_.column_type(predicate, column)) type = std::move(*known);
    return true;
  };
  return mirtova::combine_value_type(combine, typing, program_.own_rules_, program_.host_tables_, column_of);
}

std::shared_ptr<const ColumnOrigin> UniverseSubqueryTranslator::host_column_origin(std::string_view predicate,
                                                                                   std::string_view column) {
  auto table = program_.host_tables_.find(predicate);
  if (table == program_.host_tables_.end()) return nullptr;
  return std::make_shared<const ColumnOrigin>(ColumnOrigin{table->second, std::string(column), false, {}});
}

bool UniverseSubqueryTranslator::column_of_nulls(std::string_view predicate, std::string_view column) {
  // A null is written with the column's type when the program knows one.
  std::optional<Type> type = program_.column_type(predicate, column);
  if (type && !type->is_any() && !type->is_atomic()) return false;
  if (filled_with_nulls(predicate, column)) return true;
  auto rules = program_.rules_of_.find(predicate);
  if (rules == program_.rules_of_.end()) return false;
  for (size_t i : rules->second)
    if (!aggregates_nulls(program_.rule_at(i), column)) return false;
  return true;
}

bool UniverseSubqueryTranslator::aggregates_nulls(const Json& rule, std::string_view column) {
  const Json* aggregation = nullptr;
  for (const Json& field : call_fields(rule.at("head")))
    if (field_is_column(field, column)) aggregation = field.at("value").get("aggregation");
  const Json* call = aggregation != nullptr ? aggregation->at("expression").get("call") : nullptr;
  if (call == nullptr || !call->at("predicate_name").is_str()) return false;
  const std::string_view name = call->at("predicate_name").as_str();
  if (name != "Max" && name != "Min" && name != "AnyValue") return false;
  const Json::ArrayType& args = call_fields(*call);
  const Json* arg = args.size() == 1 ? field_expression(args[0]) : nullptr;
  const std::optional<std::string> aggregated = arg != nullptr ? variable_name(*arg) : std::nullopt;
  const Json* body = rule.get("body");
  const Json* conjunction = body != nullptr ? body->get("conjunction") : nullptr;
  const Json* conjuncts = conjunction != nullptr ? conjunction->get("conjunct") : nullptr;
  if (!aggregated || conjuncts == nullptr) return false;
  // Read from a column written with bare nulls only (or from no list): a column aggregated in
  // turn is not followed, however long the chain the program writes.
  for (const Json& conjunct : conjuncts->as_array()) {
    // Or a fact's bare null, injected for it.
    if (const Json* unification = conjunct.get("unification")) {
      const Json& left = unification->at("left_hand_side");
      const Json& right = unification->at("right_hand_side");
      for (const auto& [side, other] : {std::pair{&left, &right}, std::pair{&right, &left}}) {
        const Json* literal = side->get("literal");
        if (literal != nullptr && literal->has("the_null") && variable_name(*other) == aggregated)
          return true;
      }
    }
    // Or from the empty list, written as such.
    if (const Json* inclusion = conjunct.get("inclusion")) {
      const Json* literal = inclusion->at("list").get("literal");
      const Json* list = literal != nullptr ? literal->get("the_list") : nullptr;
      if (list != nullptr && variable_name(inclusion->at("element")) == aggregated &&
          (!list->has("element") || list->at("element").as_array().empty()))
        return true;
    }
    const Json* predicate = conjunct.get("predicate");
    if (predicate == nullptr || !predicate->at("predicate_name").is_str()) continue;
    const std::string_view called = predicate->at("predicate_name").as_str();
    for (const Json& field : call_fields(*predicate)) {
      const Json* value = field_expression(field);
      if (value == nullptr || variable_name(*value) != aggregated) continue;
      const std::string read = field_column(field);
      std::optional<Type> type = program_.column_type(called, read);
      if ((!type || type->is_any() || type->is_atomic()) && filled_with_nulls(called, read)) return true;
    }
  }
  return false;
}

bool UniverseSubqueryTranslator::reads_program_value(std::string_view name) const {
  return program_.is_program_predicate(name) && !program_.is_built_in_function(name);
}

bool UniverseSubqueryTranslator::filled_with_nulls(std::string_view predicate, std::string_view column) {
  return memo_nulls(filled_, predicate, column, true);
}

// The nulls of a column read in turn are followed one step only, however long
// the chain the program writes.
bool UniverseSubqueryTranslator::memo_nulls(std::map<std::string, bool, std::less<>>& memo,
                                            std::string_view predicate, std::string_view column,
                                            bool follow) {
  std::string key(predicate);
  key += '\0';
  key += column;
  if (auto known = memo.find(key); known != memo.end()) return known->second;
  auto rules = program_.rules_of_.find(predicate);
  bool all = rules != program_.rules_of_.end();
  auto read_nulls = [&](std::string_view called, std::string_view read) {
    return follow && memo_nulls(written_, called, read, false);
  };
  for (size_t i = 0; all && i < rules->second.size(); ++i) {
    const Json& rule = program_.rule_at(rules->second[i]);
    const Json* value = written_value(rule, column);
    all = value != nullptr && writes_bare_null(rule, *value, read_nulls);
  }
  memo.emplace(std::move(key), all);
  return all;
}

bool UniverseSubqueryTranslator::field_filled_with_nulls(std::string_view predicate, std::string_view column,
                                                         std::string_view field) {
  auto rules = program_.rules_of_.find(predicate);
  if (rules == program_.rules_of_.end()) return false;
  for (size_t i : rules->second) {
    const Json* value = nullptr;
    for (const Json& entry : call_fields(program_.rule_at(i).at("head")))
      if (field_column(entry) == column) value = field_expression(entry);
    if (value == nullptr || !value->has("record")) return false;
    const Json* held = nullptr;
    for (const Json& entry : call_fields(*value))
      if (field_column(entry) == field) held = field_expression(entry);
    const Json* literal = held != nullptr ? held->get("literal") : nullptr;
    if (literal == nullptr || !literal->has("the_null")) return false;
  }
  return true;
}

std::string UniverseSubqueryTranslator::register_record_type(const Type& record) {
  program_.reuse_->record_type_registered(record);
  program_.memo_->record_type_registered(record);
  return program_.add_record_type(record);
}

std::string QuorilProgram::add_record_type(const Type& record) {
  std::string name = state_->record_type_namer.name(record);
  if (state_->record_type_names.insert(name).second) state_->record_types.emplace_back(name, record);
  return name;
}

}  // namespace mirtova
