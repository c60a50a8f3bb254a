// From a rule to its relational form: relations first, then the unifications and
// inclusions whose sides became computable (unifications before inclusions),
// until nothing more binds.
#include "compiler/rule_translate/rule_translate.h"

#include <algorithm>
#include <deque>
#include <map>
#include <set>
#include <unordered_map>
#include <utility>

#include "common/internal_fault.h"
#include "common/strings.h"
#include "compiler/dialects/dialect.h"
#include "compiler/dialects/quoting.h"
#include "compiler/expr_translate/expr_translator.h"
#include "compiler/rule_translate/carried_values.h"
#include "parser/tree_access.h"
#include "parser/tree_build.h"
#include "parser/tree_walk.h"

namespace mirtova {

namespace {

// Looked up by the text a node holds, without a string made for the question.
using Names = std::set<std::string, std::less<>>;

// Adds the name a var_name node holds, "_" aside, to `out`. Most names are
// met again: a name of text is copied only when new.
void add_name(const Json& name, Names& out) {
  if (!name.is_str()) {
    out.insert(name.as_var_name());
  } else if (const std::string_view text = name.as_str(); text != "_" && !out.contains(text)) {
    out.emplace(text);
  }
}

// The var_name node of a variable expression, or nullptr.
const Json* var_name_node(const Json& node) {
  const Json* v = node.get("variable");
  return v != nullptr ? v->get("var_name") : nullptr;
}

// Variables named outside every combine.
void variables_outside_combines(const Json& node, Names& out) {
  walk_tree(node, [&](const Json& object) {
    if (object.has("combine")) return Walk::Skip;
    if (const Json* name = var_name_node(object)) {
      add_name(*name, out);
      return Walk::Skip;
    }
    return Walk::Enter;
  });
}

// The variables of a rule named outside every combine, and those of the rule
// around it: asked for only when an expression holds a combine, which most
// rules never do, so gathered on the first question.
class OutsideNames {
 public:
  OutsideNames(const Json& rule, const Vocabulary& outer) : rule_(rule), outer_(outer) {}
  const Names& get() const {
    if (!names_) {
      names_.emplace();
      variables_outside_combines(rule_, *names_);
      for (const auto& [name, sql] : outer_) names_->insert(name);
    }
    return *names_;
  }

 private:
  const Json& rule_;
  const Vocabulary& outer_;
  mutable std::optional<Names> names_;
};

// Variables an expression needs: its own, and of each combine inside it those the
// rule around the combine also names (the correlation variables).
void free_variables(const Json& node, const OutsideNames& outside, Names& out) {
  auto visit = [&](const Json& object) {
    if (const Json* n = var_name_node(object)) {
      add_name(*n, out);
      return Walk::Skip;
    }
    if (const Json* combine = object.get("combine")) {
      // Each name of the combine is kept as it is met: no set of them first.
      walk_tree(*combine, [&](const Json& inner) {
        const Json* n = var_name_node(inner);
        if (n == nullptr) return Walk::Enter;
        if (!n->is_str()) {
          std::string name = n->as_var_name();
          if (outside.get().contains(name)) out.insert(std::move(name));
        } else if (const std::string_view name = n->as_str();
                   name != "_" && !out.contains(name) && outside.get().contains(name)) {
          out.emplace(name);
        }
        return Walk::Skip;
      });
      return Walk::Skip;
    }
    return Walk::Enter;
  };
  // Most expressions asked about are one variable: no walk for them.
  if (visit(node) == Walk::Enter) walk_tree(node, visit);
}

bool is_anonymous(const Json& expr) {
  auto v = variable_name(expr);
  return v && *v == "_";
}

class Extractor {
 public:
  Extractor(RuleStructure& s, RuleContext& ctx) : s_(s), ctx_(ctx), outside_(*s.rule, s.outer) {}

  Result<Unit, CompileError> run() {
    const Json& rule = *s_.rule;
    for (const auto& [name, sql] : s_.outer) bind(name, Binding{BindKind::Outer, "", "", "", nullptr});

    std::vector<Pending> pending;
    std::vector<std::pair<size_t, const Json*>> conditions;
    std::vector<const Json*> nil_calls;
    if (const Json::ArrayType* body = body_conjuncts(rule)) {
      // Relations first, in conjunct order, so that every later expression can read their columns.
      for (size_t i = 0; i < body->size(); ++i) {
        const Json& conjunct = (*body)[i];
        if (const Json* call = conjunct.get("predicate")) {
          const std::string name(call->at("predicate_name").as_str());
          if (name == "nil") {
            nil_calls.push_back(call);
            s_.constraints.push_back(Constraint{i, Constraint::Kind::False, "", "", nullptr, nullptr});
          } else if (ctx_.is_program_predicate(name)) {
            TRY_VOID(relation(i, name, *call));
          } else if (name == "~") {
            continue;  // a type annotation; nothing to compute
          } else if (name == "=") {
            const Json *l = nullptr, *r = nullptr;
            for (const Json& f : call_fields(*call)) {
              std::string c = field_column(f);
              if (c == "left" || c == "col0") l = field_expression(f);
              if (c == "right" || c == "col1") r = field_expression(f);
            }
            if (!l || !r) throw InternalFault("'=' without two operands");
            pending.push_back(Pending{i, false, l, r});
          } else if (is_constraint_predicate(name) || ctx_.is_built_in_function(name)) {
            s_.made_nodes->push_back(make_call_expr(*call));
            conditions.emplace_back(i, &s_.made_nodes->back());
          } else {
            TRY_VOID(relation(i, name, *call));
          }
        } else if (const Json* u = conjunct.get("unification")) {
          pending.push_back(Pending{i, false, &u->at("left_hand_side"), &u->at("right_hand_side")});
        } else if (const Json* in = conjunct.get("inclusion")) {
          const Json* ranges_as = in->get(kRangesAs);
          pending.push_back(Pending{i, true, &in->at("element"), &in->at("list"),
                                    ranges_as != nullptr ? ranges_as->as_str() : std::string_view()});
        } else if (conjunct.has("disjunction")) {
          return CompileError(
              "A disjunction inside a negation or a combine is not supported: write the alternatives as "
              "rules of a "
              "predicate of their own and use it there.",
              s_.text());
        } else {
          throw InternalFault("conjunct of an unknown kind");
        }
      }
    }
    TRY_VOID(settle(pending));
    // Arguments of calls of the empty predicate get no value from anywhere: they are NULL.
    for (const Json* call : nil_calls)
      for (const Json& f : call_fields(*call))
        if (const Json* e = field_expression(f))
          if (auto v = variable_name(*e); v && *v != "_" && !bound(*v))
            bind(*v, Binding{BindKind::Null, "", "", "", nullptr});
    TRY_VOID(settle(pending));
    for (const Pending& p : pending) {
      Names need;
      free_variables(*p.left, outside_, need);
      free_variables(*p.right, outside_, need);
      TRY_VOID(require_bound(need));
    }
    for (const auto& [index, cond] : conditions) {
      Names need;
      free_variables(*cond, outside_, need);
      TRY_VOID(require_bound(need));
      s_.constraints.push_back(Constraint{index, Constraint::Kind::Condition, "", "", cond, nullptr});
    }
    for (const Constraint& c : s_.constraints)
      if (c.kind == Constraint::Kind::ColumnEquals) {
        Names need;
        free_variables(*c.left, outside_, need);
        TRY_VOID(require_bound(need));
      }
    std::stable_sort(s_.constraints.begin(), s_.constraints.end(),
                     [](const Constraint& a, const Constraint& b) { return a.conjunct < b.conjunct; });
    TRY_VOID(no_row_read_as_value());
    TRY_VOID(row_fields_are_columns(rule));
    return select_list(rule);
  }

  // A field read of a rest field's row (r.age) is a column of the row's
  // predicate: one the program's predicate lacks is refused as a call naming
  // it is, not left for the engine to fail on.
  Result<Unit, CompileError> row_fields_are_columns(const Json& rule) const {
    std::optional<CompileError> failed;
    walk_tree(rule, [&](const Json& node) {
      if (node.has("combine")) return Walk::Skip;
      const Json* subscript = node.get("subscript");
      const Json* record = subscript != nullptr ? subscript->get("record") : nullptr;
      std::optional<std::string> v = record != nullptr ? variable_name(*record) : std::nullopt;
      if (!v) return Walk::Enter;
      auto b = s_.bindings.find(*v);
      if (b == s_.bindings.end() || b->second.kind != BindKind::Row) return Walk::Enter;
      const Json* symbol = subscript->get("subscript");
      for (std::string_view key : {"literal", "the_symbol", "symbol"})
        symbol = symbol ? symbol->get(key) : nullptr;
      auto columns = ctx_.columns_of(b->second.predicate);
      if (symbol == nullptr || !symbol->is_str() || !columns ||
          std::find(columns->begin(), columns->end(), "*") != columns->end() ||
          std::find(columns->begin(), columns->end(), symbol->as_str()) != columns->end())
        return Walk::Enter;
      failed = CompileError(
          "Predicate '" + b->second.predicate + "' has no column '" + std::string(symbol->as_str()) + "'.",
          s_.text());
      return Walk::Stop;
    });
    if (failed) return *failed;
    return Unit{};
  }

 private:
  struct Pending {
    size_t conjunct;
    bool inclusion;
    const Json* left;   // element for an inclusion
    const Json* right;  // list for an inclusion
    // An inclusion that ranges even over a bound element: the variable its
    // list ranges in (kRangesAs).
    std::string_view ranges_as = {};
  };

  bool bound(const std::string& var) const { return s_.bindings.count(var) > 0; }

  void bind(const std::string& var, Binding b) {
    s_.bindings[var] = std::move(b);
    s_.binding_order.push_back(var);
    if (settling_ == nullptr) return;
    auto readers = settling_->readers.find(var);
    if (readers == settling_->readers.end()) return;
    for (size_t reader : readers->second)
      if (!settling_->settled[reader]) settling_->to_read(reader).insert(reader);
  }

  Result<Unit, CompileError> require_bound(const Names& need) const {
    for (const std::string& v : need)
      if (!bound(v)) return CompileError(not_given_value_message(v), s_.text());
    return Unit{};
  }

  // A rest field's variable stands for a whole row: its fields can be read
  // (r.age), but the row itself has no value to compare or compute with.
  Result<Unit, CompileError> no_row_read_as_value(const Json& expr) const {
    std::optional<std::string> row;
    walk_tree(expr, [&](const Json& node) {
      if (const Json* subscript = node.get("subscript"))
        if (const Json* record = subscript->get("record"); record && variable_name(*record))
          return Walk::Skip;
      std::optional<std::string> v = variable_name(node);
      if (!v) return Walk::Enter;
      auto b = s_.bindings.find(*v);
      if (b == s_.bindings.end() || b->second.kind != BindKind::Row) return Walk::Skip;
      row = std::move(v);
      return Walk::Stop;
    });
    if (row) return rest_field_misused(*row);
    return Unit{};
  }

  // What the body settled, equalities and inclusions included.
  Result<Unit, CompileError> no_row_read_as_value() const {
    if (std::none_of(s_.bindings.begin(), s_.bindings.end(),
                     [](const auto& b) { return b.second.kind == BindKind::Row; }))
      return Unit{};
    for (const Constraint& c : s_.constraints)
      for (const Json* side : {c.left, c.right})
        if (side != nullptr) TRY_VOID(no_row_read_as_value(*side));
    for (const auto& [var, b] : s_.bindings)
      if (b.expr != nullptr) TRY_VOID(no_row_read_as_value(*b.expr));
    for (const Unnesting& u : s_.unnestings) TRY_VOID(no_row_read_as_value(*u.list));
    return Unit{};
  }

  CompileError rest_field_misused(std::string_view v) const {
    return CompileError(
        "A rest field (.." + std::string(v) + ") can only pass a whole row of one call on to the head.",
        s_.text());
  }

  bool computable(const Json& expr) const {
    Names need;
    free_variables(expr, outside_, need);
    for (const std::string& v : need)
      if (!bound(v)) return false;
    return true;
  }

  Result<Unit, CompileError> relation(size_t index, const std::string& name, const Json& call) {
    TableRef t;
    t.predicate = name;
    t.alias = ctx_.names().alloc_table(name);
    TRY(t.text, ctx_.relation_text(name));
    auto columns = ctx_.columns_of(name);
    for (const Json& f : call_fields(call)) {
      const Json* value = field_expression(f);
      if (!value) throw InternalFault("aggregation in a called record");
      std::string column = field_column(f);
      if (column == "*") {
        auto v = variable_name(*value);
        if (!v || (*v != "_" && bound(*v)) || f.has("except")) return rest_field_misused(v ? *v : "?");
        if (*v != "_") bind(*v, Binding{BindKind::Row, t.alias, "*", name, nullptr});
        continue;
      }
      if (columns && std::find(columns->begin(), columns->end(), column) == columns->end())
        return CompileError("Predicate '" + name + "' has no column '" + column + "'.", s_.text());
      auto v = variable_name(*value);
      if (v && *v == "_") continue;
      if (v && !bound(*v)) {
        bind(*v, Binding{BindKind::Column, t.alias, column, name, nullptr});
      } else {
        s_.constraints.push_back(
            Constraint{index, Constraint::Kind::ColumnEquals, t.alias, column, value, nullptr});
      }
    }
    s_.tables.push_back(std::move(t));
    return Unit{};
  }

  // Binds what the pending unifications and inclusions allow. The unifications
  // reach their fixed point before any inclusion is read, and again after each
  // inclusion that binds: `x in L` ranges over L only when nothing else can bind
  // x. Rows thus depend neither on the order of conjuncts nor on whether a call
  // was injected (which turns it into unifications). The unnestings come out in
  // dependency order.
  //
  // The passes go in conjunct order, each over what is still pending; a
  // conjunct is read again only once one of its variables was bound since it
  // was last read, as nothing else can change what it gives. A chain of
  // equalities that binds one variable per pass thus costs its length, not its
  // square, and binds in the same order.
  Result<Unit, CompileError> settle(std::vector<Pending>& pending) {
    Settling settling;
    settling.settled.assign(pending.size(), 0);
    settling.inclusion.assign(pending.size(), 0);
    for (size_t i = 0; i < pending.size(); ++i) {
      Names read;
      for (const Json* side : {pending[i].left, pending[i].right}) {
        free_variables(*side, outside_, read);
        if (auto v = variable_name(*side)) read.insert(std::move(*v));
      }
      for (const std::string& v : read) settling.readers[v].push_back(i);
      settling.inclusion[i] = pending[i].inclusion;
      settling.to_read(i).insert(i);
    }
    settling_ = &settling;
    for (;;) {
      while (!settling.unifications.empty()) settle_pass(pending, settling.unifications, false);
      if (!settle_pass(pending, settling.inclusions, true)) break;
    }
    settling_ = nullptr;
    size_t kept = 0;
    for (size_t i = 0; i < pending.size(); ++i)
      if (!settling.settled[i]) pending[kept++] = pending[i];
    pending.resize(kept);
    return Unit{};
  }

  // One pass, in conjunct order, over the conjuncts of one kind to be read;
  // one bound on the way joins the pass when it comes later, else the next
  // pass. An inclusion pass stops at the first inclusion that binds. Whether
  // it did anything.
  bool settle_pass(const std::vector<Pending>& pending, std::set<size_t>& to_read, bool inclusions) {
    bool progress = false;
    for (auto next = to_read.begin(); next != to_read.end();) {
      const size_t i = *next;
      to_read.erase(next);
      const Settled settled = inclusions ? settle_inclusion(pending[i]) : settle_unification(pending[i]);
      if (settled != Settled::Pending) {
        settling_->settled[i] = 1;
        to_read.erase(i);
        progress = true;
        if (inclusions && settled == Settled::Bound) break;
      }
      next = to_read.upper_bound(i);
    }
    return progress;
  }

  enum class Settled { Pending, Checked, Bound };

  Settled settle_inclusion(const Pending& p) {
    auto lv = variable_name(*p.left);
    if (lv && *lv != "_" && !bound(*lv) && computable(*p.right)) {
      std::string alias = ctx_.names().alloc_unnest();
      s_.unnestings.push_back(Unnesting{alias, *lv, p.right, calls_program_predicate(*p.right)});
      bind(*lv, Binding{BindKind::Unnested, alias, "", "", nullptr});
      return Settled::Bound;
    }
    // Each element is a way the body holds, for an element of no name too: it
    // ranges, under a name no rule can write, and an empty list gives no row.
    if (lv && *lv == "_" && computable(*p.right)) {
      std::string alias = ctx_.names().alloc_unnest();
      std::string each = "_ " + alias;
      s_.unnestings.push_back(
          Unnesting{std::move(alias), std::move(each), p.right, calls_program_predicate(*p.right)});
      return Settled::Bound;
    }
    if (!p.ranges_as.empty() && computable(*p.left) && computable(*p.right)) {
      const std::string each(p.ranges_as);
      std::string alias = ctx_.names().alloc_unnest();
      s_.unnestings.push_back(Unnesting{alias, each, p.right, calls_program_predicate(*p.right)});
      bind(each, Binding{BindKind::Unnested, alias, "", "", nullptr});
      s_.made_nodes->push_back(make_variable(Json(each)));
      s_.constraints.push_back(
          Constraint{p.conjunct, Constraint::Kind::Equal, "", "", p.left, &s_.made_nodes->back()});
      return Settled::Bound;
    }
    if (computable(*p.left) && computable(*p.right)) {
      s_.made_nodes->push_back(
          make_call_expr("in", {make_field("left", *p.left), make_field("right", *p.right)}));
      s_.constraints.push_back(
          Constraint{p.conjunct, Constraint::Kind::Condition, "", "", &s_.made_nodes->back(), nullptr});
      return Settled::Checked;
    }
    return Settled::Pending;
  }

  Settled settle_unification(const Pending& p) {
    auto lv = variable_name(*p.left);
    auto rv = variable_name(*p.right);
    if ((lv && *lv == "_") || (rv && *rv == "_")) return Settled::Checked;
    if (lv && !bound(*lv) && computable_without(*p.right, *lv)) {
      bind(*lv, Binding{BindKind::Expression, "", "", "", p.right, calls_program_predicate(*p.right)});
      return Settled::Bound;
    }
    if (rv && !bound(*rv) && computable_without(*p.left, *rv)) {
      bind(*rv, Binding{BindKind::Expression, "", "", "", p.left, calls_program_predicate(*p.left)});
      return Settled::Bound;
    }
    if (computable(*p.left) && computable(*p.right)) {
      s_.constraints.push_back(Constraint{p.conjunct, Constraint::Kind::Equal, "", "", p.left, p.right});
      return Settled::Checked;
    }
    return Settled::Pending;
  }

  // A combine's own reads are its query's, told apart by the combine itself.
  bool calls_program_predicate(const Json& expr) const {
    return !walk_tree(expr, [&](const Json& node) {
      if (node.has("combine")) return Walk::Skip;
      const Json* call = node.get("call");
      const Json* name = call != nullptr ? call->get("predicate_name") : nullptr;
      return name != nullptr && name->is_str() && ctx_.is_program_predicate(name->as_str()) ? Walk::Stop
                                                                                            : Walk::Enter;
    });
  }

  bool computable_without(const Json& expr, const std::string& var) const {
    Names need;
    free_variables(expr, outside_, need);
    if (need.count(var)) return false;
    for (const std::string& v : need)
      if (!bound(v)) return false;
    return true;
  }

  Result<Unit, CompileError> select_list(const Json& rule) {
    const Json::ArrayType& fields = call_fields(rule.at("head"));
    bool any_aggregated = false;
    for (const Json& f : fields) {
      SelectItem item;
      item.column = field_column(f);
      const Json& value = f.at("value");
      if (const Json* agg = value.get("aggregation")) {
        item.aggregated = true;
        item.expr = &agg->at("expression");
        any_aggregated = true;
        Names need;
        free_variables(*item.expr, outside_, need);
        TRY_VOID(require_bound(need));
        TRY_VOID(no_row_read_as_value(*item.expr));
      } else {
        const Json& expr = value.at("expression");
        if (item.column == "*") {
          auto v = variable_name(expr);
          auto b = v ? s_.bindings.find(*v) : s_.bindings.end();
          if (b == s_.bindings.end() || b->second.kind != BindKind::Row || f.has("except"))
            return rest_field_misused(v ? *v : "?");
          item.row_star = true;
          item.row_alias = b->second.alias;
        } else {
          if (is_anonymous(expr)) return CompileError(not_given_value_message("_"), s_.text());
          Names need;
          free_variables(expr, outside_, need);
          TRY_VOID(require_bound(need));
          TRY_VOID(no_row_read_as_value(expr));
          item.expr = &expr;
        }
      }
      s_.select.push_back(std::move(item));
    }
    if (any_aggregated)
      for (size_t i = 0; i < s_.select.size(); ++i)
        if (!s_.select[i].aggregated) s_.group_keys.push_back(i);
    s_.distinct = rule.has("distinct_denoted") && !any_aggregated;
    return Unit{};
  }

  // The pending conjuncts while they are settled: which read each variable,
  // which are settled, and which are to be read again.
  struct Settling {
    std::map<std::string, std::vector<size_t>, std::less<>> readers;
    std::vector<char> settled, inclusion;
    std::set<size_t> unifications, inclusions;
    std::set<size_t>& to_read(size_t conjunct) { return inclusion[conjunct] ? inclusions : unifications; }
  };

  RuleStructure& s_;
  RuleContext& ctx_;
  OutsideNames outside_;
  Settling* settling_ = nullptr;
};

}  // namespace

std::vector<std::string> head_columns(const Json& rule) {
  const Json::ArrayType& fields = call_fields(rule.at("head"));
  std::vector<std::string> out;
  out.reserve(std::max<size_t>(fields.size(), 1));
  for (const Json& f : fields) out.push_back(field_column(f));
  if (out.empty()) out.push_back("mirtova_unit");
  return out;
}

Result<RuleStructure, CompileError> extract_rule_structure_with_vocabulary(Json rule, const Vocabulary& outer,
                                                                           TypeMap outer_types,
                                                                           bool in_combine,
                                                                           RuleContext& context) {
  return extract_rule_structure_with_vocabulary(std::make_shared<const Json>(std::move(rule)), outer,
                                                std::move(outer_types), in_combine, context);
}

Result<RuleStructure, CompileError> extract_rule_structure_with_vocabulary(std::shared_ptr<const Json> rule,
                                                                           const Vocabulary& outer,
                                                                           TypeMap outer_types,
                                                                           bool in_combine,
                                                                           RuleContext& context) {
  RuleStructure s;
  s.rule = std::move(rule);
  s.made_nodes = std::make_shared<std::deque<Json>>();
  s.head_predicate = head_name(*s.rule);
  s.in_combine = in_combine;
  s.outer = outer;
  s.variable_types = std::move(outer_types);
  TRY_VOID(Extractor(s, context).run());
  return s;
}

std::string RuleStructure::text() const { return rule_text(*rule); }

namespace {

// The writing of one rule's SELECT, in the order of its steps: each step's
// conversions record type hints that the later ones read. It answers the
// combines written inside it for the rows of its values.
class SelectWriter final : public OuterRows {
 public:
  SelectWriter(const RuleStructure& rule, TypeMap variable_types, SubqueryTranslator& subqueries,
               const Dialect& dialect, const FlagMap& flags, OuterRows* around)
      : rule_(rule), dialect_(dialect), tr_(Vocabulary{}, dialect, flags), around_(around) {
    tr_.subquery_translator = &subqueries;
    tr_.variable_types = std::move(variable_types);
    tr_.outer_rows = this;
  }

  // Where the engine needs it, the outer values this combine carries: their
  // rows join its FROM, equal to the values of the query around.
  Result<Unit, CompileError> carry_outer_values() {
    if (!rule_.in_combine || around_ == nullptr || !dialect_.carries_outer_values()) return Unit{};
    std::set<std::string> carried =
        outer_values_to_carry(rule_, around_->computed_by_subquery(), dialect_.carries_every_outer_value(),
                              !dialect_.correlates_field_reads());
    if (carried.empty()) return Unit{};
    // A list read from a table for the outer values alone is read by the
    // query around, into a column of the carried rows: a sub-query of the
    // combine's own FROM may not refer to them there.
    std::vector<const Json*> lists;
    for (const Unnesting& u : rule_.unnestings) {
      if (!u.reads_table) continue;
      std::set<std::string> names;
      collect_variables(*u.list, names);
      if (!names.empty() && std::includes(carried.begin(), carried.end(), names.begin(), names.end()))
        lists.push_back(u.list);
    }
    TRY(CarriedValues values, around_->carried_values(carried, lists));
    const std::string alias = tr_.subquery_translator->table_alias("mirtova_outer");
    own_.from_item = "(" + values.sql + ") AS " + alias;
    for (size_t i = 0; i < lists.size() && i < values.list_columns.size(); ++i)
      if (!values.list_columns[i].empty())
        carried_lists_.emplace(lists[i], alias + "." + values.list_columns[i]);
    const char* equal = dialect_.carried_key_phrase() ? " = " : " IS NOT DISTINCT FROM ";
    for (const auto& [column, outer] : values.keys)
      carried_keys_.push_back(alias + "." + column + equal + outer);
    for (const auto& [name, column] : values.columns)
      if (carried.count(name)) own_.columns.emplace(name, alias + "." + column);
    return Unit{};
  }

  Result<CarriedValues, CompileError> carried_values(const std::set<std::string>& variables,
                                                     const std::vector<const Json*>& lists) override {
    if (joined_from_.empty()) return carried_rows(rule_, tr_, own_, variables, lists);
    // A value read from a joined combine comes with the combine's FROM item.
    OwnCarriedRows own = own_;
    for (const std::string& item : joined_from_) own.from_item += (own.from_item.empty() ? "" : ", ") + item;
    return carried_rows(rule_, tr_, own, variables, lists);
  }

  std::set<std::string> computed_by_subquery() const override {
    return mirtova::computed_by_subquery(rule_, !dialect_.correlates_field_reads());
  }

  bool reads_from_nulls(std::string_view variable) const override {
    return tr_.read_from_nulls.find(variable) != tr_.read_from_nulls.end();
  }

  // Whether the list unnested is the empty list written as such, where the
  // engine types bare nulls: its untyped literal leaves the engine no form of
  // UNNEST to choose, and no type to give the variable. No row comes of it,
  // and the variable is the bare null, of the type it is compared or joined
  // with.
  bool unnests_empty_literal(const Json& list) const {
    if (!dialect_.types_bare_nulls()) return false;
    const Json* literal = list.get("literal");
    const Json* written = literal != nullptr ? literal->get("the_list") : nullptr;
    if (written == nullptr) return false;
    const Json* elements = written->get("element");
    return elements == nullptr || elements->as_array().empty();
  }

  // The SQL of every bound variable, in binding order, and the types the
  // columns, expressions and unnested lists give them.
  Result<Unit, CompileError> bind_variables() {
    // A column's variable takes the column's type over the one inferred for the
    // variable: it is the type the column's values were written with. One read
    // from a host's table in a combine, whose body inference leaves out, takes
    // the column as its source.
    for (const std::string& var : rule_.binding_order) {
      const Binding& b = rule_.bindings.at(var);
      if (b.kind != BindKind::Column) continue;
      if (tr_.subquery_translator->integer_column(b.predicate, b.column))
        tr_.integer_columns_read.insert(var);
      if (auto t = tr_.subquery_translator->column_type(b.predicate, b.column)) {
        tr_.variable_types.insert_or_assign(var, *t);
        continue;
      }
      auto inferred = tr_.variable_types.find(var);
      if (inferred != tr_.variable_types.end() && !inferred->second.is_open()) continue;
      Type read;
      read.set_origin(tr_.subquery_translator->host_column_origin(b.predicate, b.column));
      if (read.origin() == nullptr) continue;
      if (inferred == tr_.variable_types.end()) {
        tr_.variable_types.emplace(var, std::move(read));
      } else {
        tr_.read_whole_from_host.emplace(var, read.shared_origin());
      }
    }
    auto unnested = tr_.functions->find("ValueOfUnnested");
    std::map<std::string_view, const Json*> unnesting_of;
    for (const Unnesting& u : rule_.unnestings) unnesting_of.emplace(u.variable, u.list);
    // A value read from a column of nulls is held as text.
    auto read_from_nulls = [this](const std::string& var) {
      tr_.held_as_text.insert(var);
      tr_.read_from_nulls.insert(var);
    };
    for (const std::string& var : rule_.binding_order) {
      const Binding& b = rule_.bindings.at(var);
      std::string sql;
      switch (b.kind) {
        case BindKind::Column: {
          sql = b.alias + "." + sql_column(b.column, dialect_);
          if (dialect_.reads_untyped_fields_as_text() &&
              tr_.subquery_translator->column_of_nulls(b.predicate, b.column))
            read_from_nulls(var);
          break;
        }
        case BindKind::Row:
          sql = dialect_.subscript(b.alias, "*", true);
          break;
        case BindKind::Unnested:
          sql = unnested != tr_.functions->end() ? apply_template(unnested->second, {b.alias}) : b.alias;
          if (auto u = unnesting_of.find(var); u != unnesting_of.end() && unnests_empty_literal(*u->second)) {
            sql = "NULL";
            read_from_nulls(var);
          }
          // Typed here, in binding order, so that a record or list written for a
          // later variable sees the element's type (an injected predicate's
          // variable has no inferred type of its own).
          if (auto u = unnesting_of.find(var); u != unnesting_of.end()) {
            Type list_type = tr_.value_type(*u->second);
            if (list_type.is_list()) tr_.variable_types.insert_or_assign(var, list_type.element());
          }
          break;
        case BindKind::Null:
          sql = "NULL";
          break;
        case BindKind::Outer: {
          auto carried = own_.columns.find(var);
          sql = carried != own_.columns.end() ? carried->second : rule_.outer.at(var);
          // Read from nulls there, it is text here too, where bare nulls are.
          if (dialect_.types_bare_nulls() && around_ != nullptr && around_->reads_from_nulls(var))
            read_from_nulls(var);
          break;
        }
        case BindKind::Expression: {
          // The variable's type, when known, completes the types of the record
          // and list values written for it.
          auto known = tr_.variable_types.find(var);
          const Type expected = known == tr_.variable_types.end() ? Type::any() : known->second;
          if (joined_variables_.contains(var)) {
            TRY(sql, with_combines_joined(*b.expr, expected));
          } else {
            TRY(sql, tr_.convert_to_sql_expecting(*b.expr, expected));
          }
          if (tr_.variable_types.find(var) == tr_.variable_types.end() ||
              tr_.variable_types.at(var).is_any()) {
            tr_.variable_types.insert_or_assign(var, tr_.value_type(*b.expr));
          } else if (const Type& inferred = tr_.variable_types.at(var);
                     inferred.is_list() && inferred.element().is_any()) {
            // A list known only as one may be a list of lists by its value
            // (a reordered one, say), which is unnested list by list.
            if (Type value = tr_.value_type(*b.expr); value.is_list() && value.element().is_list())
              tr_.variable_types.insert_or_assign(var, std::move(value));
          }
          if (tr_.is_held_as_text(*b.expr)) tr_.held_as_text.insert(var);
          if (!tr_.integer_columns_read.empty() && tr_.is_known_integer(*b.expr, true))
            tr_.integer_columns_read.insert(var);
          // Another name for a value read from nulls is that text too, here and
          // in the sub-queries that read it from this rule.
          if (tr_.is_read_from_nulls(*b.expr)) tr_.read_from_nulls.insert(var);
          break;
        }
      }
      tr_.vocabulary.insert_or_assign(var, std::move(sql));
      if (b.kind == BindKind::Column) TRY_VOID(bind_fields_read_by_value_calls(var, b.alias));
    }
    for (const Unnesting& u : rule_.unnestings) {
      Type list_type = tr_.value_type(*u.list);
      if (list_type.is_list()) tr_.variable_types.insert_or_assign(u.variable, list_type.element());
    }
    return Unit{};
  }

  // The variables an aggregate here reads, directly or through the values of
  // others: those bound to an expression that holds a combine are written
  // with their combines joined, where the dialect asks.
  void mark_joined_variables() {
    const bool of_columns = joins_combines_of_columns();
    if (!joins_aggregated_combines() && !of_columns) return;
    Names read;
    for (const SelectItem& it : rule_.select)
      if ((it.aggregated || of_columns) && it.expr != nullptr) variables_outside_combines(*it.expr, read);
    // Binding order puts a variable after those its value reads.
    for (auto var = rule_.binding_order.rbegin(); var != rule_.binding_order.rend(); ++var) {
      const Binding& b = rule_.bindings.at(*var);
      if (b.kind != BindKind::Expression || !read.contains(*var)) continue;
      variables_outside_combines(*b.expr, read);
      if (of_columns ? holds_combine_of_rows(*b.expr) : holds_combine(*b.expr))
        joined_variables_.insert(*var);
    }
  }

  // The select items in head order, or in the order the predicate's columns
  // are listed, which must be exactly the rule's own.
  Result<Unit, CompileError> order_items(const std::vector<std::string>* column_order) {
    bool any_row_star = false;
    for (const SelectItem& it : rule_.select) {
      items_.push_back(&it);
      any_row_star = any_row_star || it.row_star;
    }
    if (!column_order || any_row_star || (rule_.select.empty() && column_order->size() == 1)) return Unit{};
    std::vector<std::string> mine;
    for (const SelectItem& it : rule_.select) mine.push_back(it.column);
    std::vector<std::string> a = mine, b = *column_order;
    std::sort(a.begin(), a.end());
    std::sort(b.begin(), b.end());
    if (a != b)
      return CompileError("Rules of predicate '" + rule_.head_predicate + "' define different columns: " +
                              join(*column_order, ", ") + " and " + join(mine, ", ") + ".",
                          rule_.text());
    // A head that names each column once, in the order asked, is in order already.
    if (mine == *column_order && std::adjacent_find(a.begin(), a.end()) == a.end()) return Unit{};
    // Each column's items, in head order, found by name rather than by a
    // pass over the head per column.
    std::unordered_map<std::string_view, std::vector<const SelectItem*>> by_column;
    for (const SelectItem& it : rule_.select) by_column[it.column].push_back(&it);
    items_.clear();
    for (const std::string& c : *column_order)
      if (auto found = by_column.find(c); found != by_column.end())
        items_.insert(items_.end(), found->second.begin(), found->second.end());
    return Unit{};
  }

  static bool is_bare_null(const Json& expr) {
    const Json* literal = expr.get("literal");
    return literal != nullptr && literal->has("the_null");
  }

  // Whether the value is written as a bare null: the literal, or a variable
  // bound to nothing but it (a fact's null, injected for it).
  bool written_as_bare_null(const Json& expr) const {
    if (is_bare_null(expr)) return true;
    const std::optional<std::string> variable = variable_name(expr);
    auto binding = variable ? rule_.bindings.find(*variable) : rule_.bindings.end();
    return binding != rule_.bindings.end() && binding->second.kind == BindKind::Expression &&
           binding->second.expr != nullptr && is_bare_null(*binding->second.expr);
  }

  // Whether a null written into the head's column is given the column's type:
  // where every rule writes one there, the engine would otherwise give the
  // column a type of its own that no operator takes.
  bool writes_typed_null(std::string_view column, const Type& expected) const {
    return dialect_.types_columns_of_nulls() &&
           (expected.is_number() || expected.is_bool() || expected.is_string()) &&
           tr_.subquery_translator->filled_with_nulls(rule_.head_predicate, column);
  }

  Result<Unit, CompileError> write_select() {
    for (const SelectItem* it : items_) {
      if (it->row_star) {
        select_.push_back(dialect_.subscript(it->row_alias, "*", true));
        continue;
      }
      // The head column's inferred type, which every rule of the predicate
      // shares, before the type of this rule's expression alone.
      std::optional<Type> column = tr_.subquery_translator->column_type(rule_.head_predicate, it->column);
      const Type expected = column && !column->is_any() ? *column : tr_.value_type(*it->expr);
      std::string sql;
      if (it->aggregated && ((joins_aggregated_combines() && holds_combine(*it->expr)) ||
                             (joins_value_calls() && holds_value_call(*it->expr)))) {
        TRY(sql, with_combines_joined(*it->expr, expected));
      } else if (joins_combines_of_columns() && holds_combine_of_rows(*it->expr)) {
        TRY(sql, with_combines_joined(*it->expr, expected));
      } else if (it->aggregated && aggregates_from_rows() && reads_correlated_combine(*it->expr)) {
        TRY(sql, with_values_from_rows(*it->expr, expected));
      } else {
        TRY(sql, tr_.convert_to_sql_expecting(*it->expr, expected));
      }
      if (written_as_bare_null(*it->expr) && writes_typed_null(it->column, expected))
        sql = "CAST(NULL AS " + dialect_.scalar_sql_type(expected) + ")";
      // A record read whole from a host's table is of the table's own type,
      // one with no other where another rule writes a record of the column's
      // shape, which the program declares: it is read as that.
      if (!it->aggregated && column && reads_whole_host_record(*it->expr) && is_closed_record(*column)) {
        if (std::optional<std::string> read = tr_.read_as_declared_type(sql, *column)) sql = std::move(*read);
      }
      // A value read from a column of nulls is written as the null it is, so
      // that the engine types it by the other rules of the predicate rather
      // than as the text that column became.
      if (!it->aggregated && rule_.group_keys.empty() && bound_to_nulls(*it->expr)) {
        sql = expected.is_number() || expected.is_bool() || expected.is_string()
                  ? "CAST(NULL AS " + dialect_.scalar_sql_type(expected) + ")"
                  : "NULL";
        // A list or record the program knows whole is the null field of a
        // record declared to hold it.
        if (sql == "NULL" && (expected.is_list() || expected.is_record()) && is_known_whole(expected) &&
            dialect_.declared_type_reading()) {
          Type::Fields field;
          field.insert_or_assign("v", expected);
          const std::string wrapper =
              tr_.subquery_translator->register_record_type(Type::closed_record(std::move(field)));
          sql = dialect_.subscript("CAST(NULL AS " + wrapper + ")", "v", false);
        }
      }
      // Rows told apart by a value holding a list are grouped by its form
      // where the engine groups no list.
      if (!it->aggregated && (rule_.distinct || !rule_.group_keys.empty()) &&
          dialect_.list_comparison_form() && holds_list(expected)) {
        list_keys_.emplace(it, apply_template(*dialect_.list_comparison_form(), {sql}));
        sql = apply_template(dialect_.value_of_list_group(), {sql});
      }
      select_.push_back(sql + " AS " + sql_column(it->column, dialect_));
    }
    if (rule_.select.empty()) select_.push_back("1 AS mirtova_unit");
    // DISTINCT compares the whole row: a list among it makes the rows groups,
    // keyed by every column.
    if (rule_.distinct && !list_keys_.empty()) {
      distinct_by_groups_ = true;
      for (const SelectItem* it : items_)
        if (it->row_star) distinct_by_groups_ = false;
    }
    return Unit{};
  }

  // The called relations, then the unnested lists.
  Result<Unit, CompileError> write_from() {
    for (const TableRef& t : rule_.tables) {
      auto fields = bound_fields_.find(t.alias);
      if (fields == bound_fields_.end()) {
        from_.push_back(t.text + " AS " + t.alias);
        continue;
      }
      from_.push_back("(SELECT " + t.alias + ".*, " + join(fields->second, ", ") + " FROM " + t.text +
                      " AS " + t.alias + ") AS " + t.alias);
    }
    if (!own_.from_item.empty()) from_.push_back(own_.from_item);
    for (const Unnesting& u : rule_.unnestings) {
      std::string list_sql;
      if (auto carried = carried_lists_.find(u.list); carried != carried_lists_.end()) {
        list_sql = carried->second;
      } else {
        TRY(list_sql, tr_.convert_to_sql_expecting(*u.list, Type::any()));
      }
      Type list_type = tr_.value_type(*u.list);
      if (unnests_empty_literal(*u.list)) {
        from_.push_back("(SELECT 1 AS " + u.alias + " WHERE 1 = 0) AS " + u.alias);
        continue;
      }
      from_.push_back(dialect_.unnested_list(list_sql, u.alias, list_type));
    }
    if (rule_.tables.empty() && own_.from_item.empty() &&
        (!rule_.unnestings.empty() || !rule_.constraints.empty()))
      from_.insert(from_.begin(), "(SELECT 1 AS mirtova_unused) AS UNUSED_TABLE_NAME");
    if (from_.empty() && !joined_from_.empty())
      from_.push_back("(SELECT 1 AS mirtova_unused) AS UNUSED_TABLE_NAME");
    from_.insert(from_.end(), joined_from_.begin(), joined_from_.end());
    return Unit{};
  }

  bool joins_aggregated_combines() const {
    return rule_.in_combine && dialect_.joins_subqueries_of_aggregated_values();
  }

  static bool holds_combine(const Json& expr) {
    return !walk_tree(expr, [](const Json& node) { return node.has("combine") ? Walk::Stop : Walk::Enter; });
  }

  bool joins_combines_of_columns() const { return !rule_.in_combine && dialect_.joins_combines_of_columns(); }

  // A combine that reads the query around, on an engine that joins the
  // values of functions its aggregate reads (see with_combines_joined).
  bool joins_value_calls() const {
    return rule_.in_combine && dialect_.joins_value_calls_of_aggregates() &&
           std::any_of(rule_.bindings.begin(), rule_.bindings.end(),
                       [](const auto& b) { return b.second.kind == BindKind::Outer; });
  }

  // The fields of the record in the column `var` is bound to that an
  // argument of a function's value joined for the query around reads, given
  // by the table of alias `alias` as columns of their own: the engine
  // decorrelates no sub-query whose outer value is a field. Not where the
  // table's row is read whole, whose columns would then count the fields.
  Result<Unit, CompileError> bind_fields_read_by_value_calls(const std::string& var,
                                                             const std::string& alias) {
    if (!joins_value_calls()) return Unit{};
    if (!value_call_fields_) value_call_fields_ = fields_read_by_value_calls();
    auto field = value_call_fields_->lower_bound(var + ".");
    if (field == value_call_fields_->end() || !field->first.starts_with(var + ".")) return Unit{};
    for (const auto& [name, other] : rule_.bindings)
      if (other.kind == BindKind::Row && other.alias == alias) return Unit{};
    for (const SelectItem& it : rule_.select)
      if (it.row_star && it.row_alias == alias) return Unit{};
    for (; field != value_call_fields_->end() && field->first.starts_with(var + "."); ++field) {
      TRY(std::string sql, tr_.convert_to_sql_expecting(*field->second, Type::any()));
      const std::string column = "mirtova_f" + std::to_string(tr_.field_columns.size());
      bound_fields_[alias].push_back(sql + " AS " + column);
      tr_.field_columns.insert_or_assign(field->first, alias + "." + column);
    }
    return Unit{};
  }

  // The fields of variables the arguments of functions' values read, written
  // there or through a variable bound to one, by their paths.
  std::map<std::string, const Json*> fields_read_by_value_calls() const {
    std::map<std::string, const Json*> fields;
    auto add = [&](const Json& expr) {
      if (std::optional<std::string> path = ExprTranslator::field_path(expr)) fields.emplace(*path, &expr);
    };
    auto collect = [&](const Json* e) {
      if (e == nullptr) return;
      walk_tree(*e, [&](const Json& call) {
        if (!is_value_call(call)) return Walk::Enter;
        walk_tree(call, [&](const Json& node) {
          if (node.has("subscript")) {
            add(node);
            return Walk::Skip;
          }
          if (const Binding* b = value_binding(node)) add(*b->expr);
          return Walk::Enter;
        });
        return Walk::Skip;
      });
    };
    for (const Constraint& c : rule_.constraints) {
      collect(c.left);
      collect(c.right);
    }
    for (const SelectItem& it : rule_.select) collect(it.expr);
    for (const auto& [name, b] : rule_.bindings) collect(b.expr);
    return fields;
  }

  bool is_value_call(const Json& node) const {
    const Json* call = node.get("call");
    const Json* name = call != nullptr ? call->get("predicate_name") : nullptr;
    return name != nullptr && name->is_str() && tr_.subquery_translator->reads_program_value(name->as_str());
  }

  bool holds_value_call(const Json& expr) const {
    return !walk_tree(expr, [&](const Json& node) {
      if (is_value_call(node)) return Walk::Stop;
      const Binding* b = value_binding(node);
      return b != nullptr && holds_value_call_itself(*b->expr) ? Walk::Stop : Walk::Enter;
    });
  }

  bool holds_value_call_itself(const Json& expr) const {
    return !walk_tree(expr, [&](const Json& node) { return is_value_call(node) ? Walk::Stop : Walk::Enter; });
  }

  // The binding of a variable of this rule given by an expression.
  const Binding* value_binding(const Json& node) const {
    const std::optional<std::string> variable = variable_name(node);
    if (!variable) return nullptr;
    auto b = rule_.bindings.find(*variable);
    return b != rule_.bindings.end() && b->second.kind == BindKind::Expression && b->second.expr != nullptr
               ? &b->second
               : nullptr;
  }

  bool reads_rows(const Json& combine) const {
    std::set<std::string> named;
    collect_variables(combine, named);
    return std::any_of(named.begin(), named.end(),
                       [&](const std::string& name) { return rule_.bindings.count(name) > 0; });
  }

  bool holds_combine_of_rows(const Json& expr) const {
    return !walk_tree(expr, [&](const Json& node) {
      if (!node.has("combine")) return Walk::Enter;
      return reads_rows(node) ? Walk::Stop : Walk::Skip;
    });
  }

  bool aggregates_from_rows() const {
    return rule_.in_combine && dialect_.aggregates_subqueries_from_rows() && items_.size() == 1 &&
           rule_.group_keys.empty();
  }

  // Whether `expr` holds a combine that reads this query's own rows, or reads
  // a variable whose value holds one. A combine that reads none of them the
  // engine runs where it stands. An outer value this query carries is read
  // from its rows too.
  bool reads_correlated_combine(const Json& expr) const {
    auto reads_rows = [&](const Json& node) {
      return !walk_tree(node, [&](const Json& at) {
        if (!at.has("combine")) return Walk::Enter;
        std::set<std::string> named;
        collect_variables(at, named);
        for (const std::string& name : named) {
          auto b = rule_.bindings.find(name);
          if (b != rule_.bindings.end() && (b->second.kind != BindKind::Outer || own_.columns.count(name)))
            return Walk::Stop;
        }
        return Walk::Skip;
      });
    };
    if (reads_rows(expr)) return true;
    Names read;
    variables_outside_combines(expr, read);
    // Binding order puts a variable after those its value reads.
    for (auto var = rule_.binding_order.rbegin(); var != rule_.binding_order.rend(); ++var) {
      const Binding& b = rule_.bindings.at(*var);
      if (b.kind != BindKind::Expression || !read.contains(*var)) continue;
      if (reads_rows(*b.expr)) return true;
      variables_outside_combines(*b.expr, read);
    }
    return false;
  }

  // `expr` reading each variable and each combine in it from a column of a
  // derived table of this query's rows (see sql()): the aggregate reads
  // nothing else of them, and its own form (a text or a record a function
  // takes as written) stays.
  Result<std::string, CompileError> with_values_from_rows(const Json& expr, const Type& expected) {
    if (rows_alias_.empty()) rows_alias_ = tr_.subquery_translator->table_alias("mirtova_rows");
    Json& written = joined_exprs_.emplace_back(expr);
    std::map<std::string, std::string> read;  // variable -> the name of its column
    std::optional<CompileError> failed;
    walk_tree_mut(written, [&](Json& node) {
      const bool combine = node.has("combine");
      const std::optional<std::string> variable = combine ? std::nullopt : variable_name(node);
      if (!combine && (!variable || *variable == "_")) return Walk::Enter;
      if (variable) {
        if (auto seen = read.find(*variable); seen != read.end()) {
          node = make_variable(Json(seen->second));
          return Walk::Skip;
        }
      }
      auto sql = tr_.convert_to_sql_expecting(node, Type::any());
      if (!sql.ok()) {
        failed = sql.error();
        return Walk::Stop;
      }
      const std::string column = "mirtova_a" + std::to_string(rows_items_.size());
      rows_items_.push_back(sql.value() + " AS " + column);
      // No program names a variable with a space in it.
      std::string name = "rows " + column;
      tr_.vocabulary.insert_or_assign(name, rows_alias_ + "." + column);
      tr_.variable_types.insert_or_assign(name, tr_.value_type(node));
      if (variable) read.emplace(*variable, name);
      node = make_variable(Json(std::move(name)));
      return Walk::Skip;
    });
    if (failed) return *failed;
    return tr_.convert_to_sql_expecting(written, expected);
  }

  // `expr` with each combine in it read from an item of the FROM of its own,
  // a column of the combine's one row. The item is LATERAL where the combine
  // reads a variable of this rule or of the query around. For a rule outside
  // any combine, only a combine that reads its rows and is written as one
  // sub-query is joined: a sub-query nested in a LATERAL one reads nothing
  // around it there.
  Result<std::string, CompileError> with_combines_joined(const Json& expr, const Type& expected) {
    const bool of_columns = joins_combines_of_columns();
    // A function's value is joined too where the engine asks (see
    // joins_value_calls), as a select of one row holding the value: a
    // sub-query of no row would drop the row it is read for.
    const bool value_calls = joins_value_calls();
    auto joined_here = [&](const Json& node) {
      return node.has("combine") || (value_calls && is_value_call(node));
    };
    // A variable whose value is written with a function's value in it stands
    // as that value (one level: its SQL is the value's own).
    Json& joined = joined_exprs_.emplace_back(expr);
    if (value_calls) {
      walk_tree_mut(joined, [&](Json& node) {
        const Binding* b = value_binding(node);
        if (b == nullptr) return Walk::Enter;
        if (holds_value_call_itself(*b->expr)) node = *b->expr;
        return Walk::Skip;
      });
    }
    std::vector<const Json*> combines;
    walk_tree(joined, [&](const Json& node) {
      if (!joined_here(node)) return Walk::Enter;
      combines.push_back(&node);
      return Walk::Skip;
    });
    // The variable each combine is read from, in the order met; none for one left in place.
    std::vector<std::string> names;
    for (const Json* combine : combines) {
      std::string& name = names.emplace_back();
      const bool value_call = !combine->has("combine");
      const bool correlated = value_call || reads_rows(*combine);
      if (of_columns && !correlated) continue;
      TRY(std::string sql, tr_.convert_to_sql_expecting(*combine, Type::any()));
      if (value_call || !sql.starts_with("(SELECT ")) {
        if (of_columns) continue;
        sql = "(SELECT " + sql + ")";
      }
      const std::string alias = tr_.subquery_translator->table_alias("mirtova_joined");
      joined_from_.push_back((correlated ? "LATERAL " : "") + sql + " AS " + alias + "(mirtova_value)");
      // No program names a variable with a space in it.
      name = "joined " + alias;
      tr_.vocabulary.insert_or_assign(name, alias + ".mirtova_value");
      tr_.variable_types.insert_or_assign(name, tr_.value_type(*combine));
    }
    size_t next = 0;
    walk_tree_mut(joined, [&](Json& node) {
      if (!joined_here(node)) return Walk::Enter;
      if (const std::string& name = names[next++]; !name.empty()) node = make_variable(Json(name));
      return Walk::Skip;
    });
    return tr_.convert_to_sql_expecting(joined, expected);
  }

  bool holds_only_nulls(std::string_view alias, std::string_view column) const {
    if (!dialect_.types_bare_nulls() || !dialect_.reads_untyped_fields_as_text()) return false;
    const TableRef* table = table_of(alias);
    return table != nullptr && tr_.subquery_translator->column_of_nulls(table->predicate, column);
  }

  // The rule's table of `alias`: asked once per comparison, so a rule of
  // thousands of tables is not read through for each.
  const TableRef* table_of(std::string_view alias) const {
    if (tables_by_alias_.empty())
      for (const TableRef& t : rule_.tables) tables_by_alias_.try_emplace(t.alias, &t);
    auto table = tables_by_alias_.find(alias);
    return table == tables_by_alias_.end() ? nullptr : table->second;
  }

  // Whether an equality with `side` may compare records (or lists, whose
  // numbers two sides may hold in arrays of two types) the dialect compares
  // apart: the lookups of the sides' types are left out of every other one.
  bool compares_records(const Json& side) const {
    if (dialect_.list_comparison_form() && holds_list(tr_.value_type(side))) return true;
    if (!dialect_.record_comparison_form()) return false;
    const Type type = tr_.value_type(side);
    return type.is_record() || type.is_list();
  }

  // The type of a column of a table the rule reads: a host's table's, of a
  // type only the engine knows, is Any.
  Type column_type(std::string_view alias, std::string_view column) const {
    const TableRef* table = table_of(alias);
    std::optional<Type> type =
        table != nullptr ? tr_.subquery_translator->column_type(table->predicate, column) : std::nullopt;
    return type ? *type : Type::any();
  }

  // The type of the value a side is read as. A variable read from a host's
  // table's column, or a field of one, holds what the engine knows, even
  // where the program gave the variable a record's type by comparing it.
  Type read_type(const Json& side) const {
    const Json* node = &side;
    while (const Json* subscript = node->get("subscript")) {
      const Json* record = subscript->get("record");
      if (record == nullptr) break;
      node = record;
    }
    const Json* variable = node->get("variable");
    const Json* name = variable != nullptr ? variable->get("var_name") : nullptr;
    if (name != nullptr && name->is_str()) {
      auto binding = rule_.bindings.find(std::string(name->as_str()));
      if (binding != rule_.bindings.end() && binding->second.kind == BindKind::Column &&
          column_type(binding->second.alias, binding->second.column).is_any())
        return Type::any();
    }
    return tr_.value_type(side);
  }

  // A variable bound from a column of a host's table.
  bool reads_whole_host_record(const Json& value) const {
    std::optional<std::string> variable = variable_name(value);
    if (!variable) return false;
    auto binding = rule_.bindings.find(*variable);
    return binding != rule_.bindings.end() && binding->second.kind == BindKind::Column &&
           tr_.subquery_translator->host_column_origin(binding->second.predicate, binding->second.column) !=
               nullptr;
  }

  // A value whose every element and field is of a type the program knows, or
  // the engine does, read from a host's table.
  static bool is_known_whole(const Type& type) {
    std::vector<const Type*> left = {&type};
    while (!left.empty()) {
      const Type* inner = left.back();
      left.pop_back();
      while (inner->is_list()) inner = &inner->element();
      if (inner->is_record() && !inner->is_open()) {
        for (const auto& [name, field] : inner->fields()) left.push_back(&field);
      } else if (!inner->is_number() && !inner->is_bool() && !inner->is_string() &&
                 inner->origin() == nullptr) {
        return false;
      }
    }
    return true;
  }

  // A record, or list of them, whose every field the program knows.
  static bool is_closed_record(const Type& type) {
    const Type* inner = &type;
    while (inner->is_list()) inner = &inner->element();
    return inner->is_record() && !inner->is_open();
  }

  // Whether `value` is a variable read from a column of nulls, here (or
  // another name for one) or, for a value the enclosing rule gives, there.
  bool bound_to_nulls(const Json& value) const {
    const Json* variable = value.get("variable");
    const Json* name = variable != nullptr ? variable->get("var_name") : nullptr;
    if (name == nullptr || !name->is_str()) return false;
    auto binding = rule_.bindings.find(std::string(name->as_str()));
    if (binding == rule_.bindings.end()) return false;
    // An element of the empty list written as such is such a null too.
    if (binding->second.kind == BindKind::Outer || binding->second.kind == BindKind::Expression ||
        binding->second.kind == BindKind::Unnested)
      return dialect_.types_bare_nulls() && tr_.is_read_from_nulls(value);
    return binding->second.kind == BindKind::Column &&
           holds_only_nulls(binding->second.alias, binding->second.column);
  }

  // Whether `value` is a field of a record read from a rule's column, which
  // every rule writes with a null there (held as text), and the other side's
  // type is unknown, a host's column say: an engine typing bare nulls finds no
  // operator for the two, and they are compared as text.
  bool text_beside_unknown(const Json& value, const Type& other) const {
    if (!dialect_.types_bare_nulls() || !other.is_any() || !tr_.is_held_as_text(value)) return false;
    const Json* subscript = value.get("subscript");
    // Another name for the field, given by an equality, is the field.
    if (std::optional<std::string> named = variable_name(value); named && subscript == nullptr) {
      auto bound = rule_.bindings.find(*named);
      if (bound != rule_.bindings.end() && bound->second.kind == BindKind::Expression && bound->second.expr)
        subscript = bound->second.expr->get("subscript");
    }
    const Json* record = subscript != nullptr ? subscript->get("record") : nullptr;
    const Json* symbol = subscript != nullptr ? subscript->get("subscript") : nullptr;
    const std::optional<std::string> name = record != nullptr ? variable_name(*record) : std::nullopt;
    if (!name || symbol == nullptr) return false;
    // Every rule that wrote the record wrote a null in the field.
    auto binding = rule_.bindings.find(*name);
    if (binding == rule_.bindings.end() || binding->second.kind != BindKind::Column) return false;
    return tr_.subquery_translator->field_filled_with_nulls(
        binding->second.predicate, binding->second.column,
        symbol->at("literal").at("the_symbol").at("symbol").as_str());
  }

  // The two operands of a condition that orders them (<, <=, >, >=).
  static std::optional<std::pair<const Json*, const Json*>> ordered_operands(const Json& condition) {
    const Json* call = condition.get("call");
    const Json* name = call != nullptr ? call->get("predicate_name") : nullptr;
    if (name == nullptr || !name->is_str()) return std::nullopt;
    const std::string_view op = name->as_str();
    if (op != "<" && op != "<=" && op != ">" && op != ">=") return std::nullopt;
    const Json *left = nullptr, *right = nullptr;
    for (const Json& f : call_fields(*call)) {
      if (field_is_column(f, "left")) left = field_expression(f);
      if (field_is_column(f, "right")) right = field_expression(f);
    }
    if (left == nullptr || right == nullptr) return std::nullopt;
    return std::make_pair(left, right);
  }

  Result<Unit, CompileError> write_where() {
    where_ = carried_keys_;
    std::vector<std::pair<const Json*, const Json*>> ordered;
    for (const Constraint& c : rule_.constraints) {
      switch (c.kind) {
        case Constraint::Kind::False:
          where_.push_back("1 = 0");
          break;
        case Constraint::Kind::ColumnEquals: {
          std::string column = c.alias + "." + sql_column(c.column, dialect_);
          TRY(std::string value, tr_.convert_to_sql_expecting(*c.left, Type::any()));
          // A column every rule fills with a null is text to an engine that
          // types bare nulls, and meets a value of another type here: the
          // other side is compared as text, which a null equals no more than
          // before.
          if (holds_only_nulls(c.alias, c.column)) {
            value = "CAST(" + value + " AS TEXT)";
          } else if (bound_to_nulls(*c.left) ||
                     text_beside_unknown(*c.left, column_type(c.alias, c.column))) {
            column = "CAST(" + column + " AS TEXT)";
          }
          std::vector<std::string> sides{std::move(column), std::move(value)};
          if (compares_records(*c.left))
            tr_.compare_records_of_two_types("==", column_type(c.alias, c.column), tr_.value_type(*c.left),
                                             sides);
          const bool records =
              tr_.value_type(*c.left).is_record() || column_type(c.alias, c.column).is_record();
          where_.push_back(records ? dialect_.records_equal(sides[0], sides[1])
                                   : sides[0] + " = " + sides[1]);
          break;
        }
        case Constraint::Kind::Equal: {
          TRY(std::string left, tr_.convert_to_sql_expecting(*c.left, Type::any()));
          TRY(std::string right, tr_.convert_to_sql_expecting(*c.right, Type::any()));
          if ((bound_to_nulls(*c.left) && !bound_to_nulls(*c.right)) ||
              (text_beside_unknown(*c.left, tr_.value_type(*c.right)) && !tr_.is_held_as_text(*c.right))) {
            right = "CAST(" + right + " AS TEXT)";
          } else if ((bound_to_nulls(*c.right) && !bound_to_nulls(*c.left)) ||
                     (text_beside_unknown(*c.right, tr_.value_type(*c.left)) &&
                      !tr_.is_held_as_text(*c.left))) {
            left = "CAST(" + left + " AS TEXT)";
          }
          std::vector<std::string> sides{std::move(left), std::move(right)};
          const bool in_form =
              (compares_records(*c.left) || compares_records(*c.right)) &&
              tr_.compare_records_of_two_types("==", read_type(*c.left), read_type(*c.right), sides);
          // Lists compared are of one type, their records the program's,
          // unless compared in the form, which reads neither as its type.
          if (!in_form && tr_.value_type(*c.left).is_list() && tr_.value_type(*c.right).is_list())
            tr_.read_as_written_records({c.left, c.right}, sides);
          const bool records = tr_.value_type(*c.left).is_record() || tr_.value_type(*c.right).is_record();
          where_.push_back(records ? dialect_.records_equal(sides[0], sides[1])
                                   : sides[0] + " = " + sides[1]);
          break;
        }
        case Constraint::Kind::Condition: {
          TRY(std::string condition, tr_.convert_to_sql_expecting(*c.left, Type::boolean()));
          if (auto operands = ordered_operands(*c.left)) {
            const Json* left = operands->first;
            const Json* right = operands->second;
            if (std::any_of(ordered.begin(), ordered.end(), [left, right](const auto& before) {
                  return (*before.first == *left && *before.second == *right) ||
                         (*before.first == *right && *before.second == *left);
                }))
              condition = dialect_.ordered_again(std::move(condition));
            ordered.push_back(*operands);
          }
          where_.push_back(condition);
          break;
        }
      }
    }
    return Unit{};
  }

  // The grouping keys as the engine names them: by output column, by position
  // or by expression.
  Result<Unit, CompileError> write_group_by() {
    std::vector<const SelectItem*> keys;
    if (distinct_by_groups_) {
      keys = items_;
    } else {
      for (size_t k : rule_.group_keys) keys.push_back(&rule_.select[k]);
    }
    for (const SelectItem* key : keys) {
      const SelectItem& it = *key;
      if (auto form = list_keys_.find(&it); form != list_keys_.end()) {
        group_.push_back(form->second);
        continue;
      }
      switch (dialect_.group_by_spec_by()) {
        case 0:
          group_.push_back(sql_column(it.column, dialect_));
          break;
        case 1: {
          size_t position = 0;
          for (size_t i = 0; i < items_.size(); ++i)
            if (items_[i] == &it) position = i + 1;
          group_.push_back(std::to_string(position));
          break;
        }
        default: {
          TRY(std::string key, tr_.convert_to_sql_for_group_by(*it.expr));
          group_.push_back(key);
        }
      }
    }
    return Unit{};
  }

  // Written into one buffer of its own size: the text outlives the writing,
  // kept as a WITH clause until the script is done.
  // Where the aggregate's values are read from rows apart, those rows are
  // the FROM, taking this query's FROM and WHERE inside.
  std::string sql() const {
    struct Clause {
      std::string_view opening;
      const std::vector<std::string>& parts;
      std::string_view separator;
    };
    const std::vector<std::string> none;
    std::vector<std::string> rows;
    if (!rows_items_.empty()) {
      std::string inner = "(SELECT " + join(rows_items_, ", ");
      if (!from_.empty()) inner += " FROM " + join(from_, ", ");
      if (!where_.empty()) inner += " WHERE " + join(where_, " AND ");
      rows.push_back(inner + ") AS " + rows_alias_);
    }
    const bool apart = !rows.empty();
    std::vector<std::string> having;
    if (!distinct_by_groups_ && !group_.empty() && dialect_.keeps_only_groups_of_rows())
      having.push_back("COUNT(*) > 0");
    const Clause clauses[] = {
        {rule_.distinct && !distinct_by_groups_ ? "SELECT DISTINCT " : "SELECT ", select_, ", "},
        {"\nFROM ", apart ? rows : from_, ", "},
        {"\nWHERE ", apart ? none : where_, " AND "},
        {"\nGROUP BY ", group_, ", "},
        {"\nHAVING ", having, " AND "}};
    size_t bytes = 0;
    for (const Clause& c : clauses) {
      if (c.parts.empty() && &c != clauses) continue;
      bytes += c.opening.size() + (c.parts.empty() ? 0 : c.separator.size() * (c.parts.size() - 1));
      for (const std::string& part : c.parts) bytes += part.size();
    }
    std::string sql;
    sql.reserve(bytes);
    for (const Clause& c : clauses) {
      if (c.parts.empty() && &c != clauses) continue;
      sql += c.opening;
      for (size_t i = 0; i < c.parts.size(); ++i) {
        if (i) sql += c.separator;
        sql += c.parts[i];
      }
    }
    return sql;
  }

 private:
  const RuleStructure& rule_;
  const Dialect& dialect_;
  ExprTranslator tr_;
  OuterRows* around_;
  // The rule's tables by alias, the first of each, once asked.
  mutable std::unordered_map<std::string_view, const TableRef*> tables_by_alias_;
  OwnCarriedRows own_;
  // The unnested lists that the query around writes into the carried rows, with their SQL here.
  std::map<const Json*, std::string> carried_lists_;
  std::vector<std::string> carried_keys_;
  std::set<std::string, std::less<>> joined_variables_;
  // The fields the arguments of functions' values read, once asked; those
  // read from tables' record columns as columns of their own, by alias.
  std::optional<std::map<std::string, const Json*>> value_call_fields_;
  std::map<std::string, std::vector<std::string>> bound_fields_;
  // The expressions written with their combines joined, and the FROM items of those.
  std::deque<Json> joined_exprs_;
  std::vector<std::string> joined_from_;
  // The values of the aggregate read from rows apart, and the alias of those rows.
  std::vector<std::string> rows_items_;
  std::string rows_alias_;
  std::vector<const SelectItem*> items_;
  std::vector<std::string> select_, from_, where_, group_;
  // The grouping key of each head value that holds a list, where the engine
  // groups such values by their form; and whether DISTINCT is written as
  // GROUP BY for them.
  std::map<const SelectItem*, std::string> list_keys_;
  bool distinct_by_groups_ = false;
};

}  // namespace

Result<std::string, CompileError> RuleStructure::as_sql(SubqueryTranslator& subqueries,
                                                        const Dialect& dialect, const FlagMap& flags,
                                                        const std::vector<std::string>* column_order,
                                                        OuterRows* around) && {
  SelectWriter writer(*this, std::move(variable_types), subqueries, dialect, flags, around);
  TRY_VOID(writer.carry_outer_values());
  writer.mark_joined_variables();
  TRY_VOID(writer.bind_variables());
  TRY_VOID(writer.order_items(column_order));
  TRY_VOID(writer.write_select());
  TRY_VOID(writer.write_from());
  TRY_VOID(writer.write_where());
  TRY_VOID(writer.write_group_by());
  return writer.sql();
}

}  // namespace mirtova
