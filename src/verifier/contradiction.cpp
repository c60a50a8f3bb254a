// The contradiction check. The comparisons of a rule are facts "a is at most b"
// (strict for "a is less than b") between its terms; they contradict each other
// exactly when a cycle of facts holds a strict one (a term less than itself),
// or when two terms said to differ lie on one cycle (so are equal). Both are
// read off the strongly connected components of the facts, in time linear in
// the comparisons, where closing the at-most relation would be cubic.
#include "verifier/contradiction.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "common/strings.h"
#include "compiler/functors/dependency_graph.h"
#include "parser/tree_access.h"
#include "parser/utf8.h"
#include "verifier/rule_origins.h"

namespace mirtova::verifier {

namespace {

// One side of a comparison. Numbers are held by their shortest decimal text,
// so that 1 and 1.0 are the same term. An integer column compares integers
// exactly and a double column as doubles, which past 2^53 makes two integers
// one: a number is read both ways, and the comparisons contradict each other
// only when they do in both readings.
struct Term {
  enum class Kind : char { Variable = 'v', Number = 'n', String = 's' } kind;
  std::string text;
  double value = 0;                               // of a number
  std::optional<int64_t> integer = std::nullopt;  // of a number written as an integer

  // Unique among the terms of a rule: the node's name in the graph of facts.
  std::string key(bool exact) const {
    return static_cast<char>(kind) + (exact && integer ? std::to_string(*integer) : text);
  }
};

// -1, 0 or 1 as the integer is below, at or above the double, exactly.
int compare(int64_t i, double d) {
  constexpr double two_63 = 9223372036854775808.0;
  if (d >= two_63) return -1;
  if (d < -two_63) return 1;
  const double whole = std::trunc(d);
  const auto t = static_cast<int64_t>(whole);
  if (i != t) return i < t ? -1 : 1;
  return d > whole ? -1 : d < whole ? 1 : 0;
}

bool below(const Term& a, const Term& b, bool exact) {
  if (!exact) return a.value < b.value;
  if (a.integer && b.integer) return *a.integer < *b.integer;
  if (a.integer) return compare(*a.integer, b.value) < 0;
  if (b.integer) return compare(*b.integer, a.value) > 0;
  return a.value < b.value;
}

std::optional<Term> number_term(std::string_view text) {
  const char* end = text.data() + text.size();
  double value = 0;
  auto [stop, error] = std::from_chars(text.data(), end, value);
  if (error != std::errc() || stop != end || !std::isfinite(value)) return std::nullopt;
  char digits[512];
  auto written = std::to_chars(digits, digits + sizeof digits, value, std::chars_format::fixed);
  if (written.ec != std::errc()) return std::nullopt;
  Term term{Term::Kind::Number, std::string(digits, written.ptr), value};
  int64_t integer = 0;
  auto [int_stop, int_error] = std::from_chars(text.data(), end, integer);
  if (int_error == std::errc() && int_stop == end) term.integer = integer;
  return term;
}

std::optional<Term> term(const Json& expression) {
  if (!expression.is_object()) return std::nullopt;
  if (const Json* variable = expression.get("variable"))
    return Term{Term::Kind::Variable, variable->at("var_name").as_var_name()};
  const Json* literal = expression.get("literal");
  if (literal == nullptr) return std::nullopt;
  if (const Json* number = literal->get("the_number")) {
    const Json* text = number->is_object() ? number->get("number") : nullptr;
    if (text != nullptr && text->is_str()) return number_term(text->as_str());
    return number_term(number->compact());
  }
  if (literal->has("the_string")) {
    std::optional<std::string> text = string_literal(expression);
    if (text) return Term{Term::Kind::String, std::move(*text)};
  }
  return std::nullopt;
}

std::string heritage(const Json& expression) {
  const Json* text = expression.get("expression_heritage");
  return text != nullptr && text->is_str() ? std::string(text->as_str()) : std::string();
}

struct Comparison {
  Term left;
  std::string_view op;
  Term right;
  std::string description;
};

// The expression of the field with this name, or nullptr.
const Json* side(const Json& call, std::string_view name) {
  for (const Json& field : call_fields(call)) {
    const Json& f = field.at("field");
    if (f.is_str() && f.as_str() == name) return field_expression(field);
  }
  return nullptr;
}

bool is_comparison_operator(std::string_view name) {
  return name == "<=" || name == ">=" || name == "==" || name == "!=" || name == "<" || name == ">";
}

// The comparisons written directly in the body's conjunction, in order.
std::vector<Comparison> comparisons(const Json& body) {
  std::vector<Comparison> found;
  const Json* conjunction = body.get("conjunction");
  const Json* conjuncts = conjunction != nullptr ? conjunction->get("conjunct") : nullptr;
  if (conjuncts == nullptr) return found;
  for (const Json& conjunct : conjuncts->as_array()) {
    const Json* left = nullptr;
    const Json* right = nullptr;
    std::string_view op;
    if (const Json* unification = conjunct.get("unification")) {
      left = unification->get("left_hand_side");
      right = unification->get("right_hand_side");
      op = "==";
    } else if (const Json* call = conjunct.get("predicate")) {
      const std::string_view name = call->at("predicate_name").as_str();
      // "x = 5" in a body is the parser's call of "=", which binds as "==" does.
      if (name != "=" && !is_comparison_operator(name)) continue;
      left = side(*call, "left");
      right = side(*call, "right");
      op = name == "=" ? std::string_view("==") : std::string_view(name);
    }
    if (left == nullptr || right == nullptr) continue;
    std::optional<Term> l = term(*left);
    std::optional<Term> r = term(*right);
    if (!l || !r) continue;
    std::string description = heritage(*left) + " " + std::string(op) + " " + heritage(*right);
    found.push_back(Comparison{std::move(*l), op, std::move(*r), std::move(description)});
  }
  return found;
}

bool contradictory(const std::vector<Comparison>& found, bool exact) {
  if (found.empty()) return false;
  // The graph's edge flag marks a strict fact here.
  DependencyGraph facts;
  std::vector<const Term*> constants;
  std::vector<std::pair<size_t, size_t>> different;
  auto node = [&](const Term& t) {
    const size_t before = facts.size();
    const size_t n = facts.add_node(t.key(exact));
    if (n == before && t.kind != Term::Kind::Variable) constants.push_back(&t);
    return n;
  };
  for (const Comparison& c : found) {
    const size_t l = node(c.left);
    const size_t r = node(c.right);
    if (c.op == "<=") facts.add_edge(l, r);
    if (c.op == ">=") facts.add_edge(r, l);
    if (c.op == "==") {
      facts.add_edge(l, r);
      facts.add_edge(r, l);
    }
    if (c.op == "<") facts.add_edge(l, r, true);
    if (c.op == ">") facts.add_edge(r, l, true);
    if (c.op == "!=") different.emplace_back(l, r);
  }
  // Numbers are ordered by value and texts by their bytes; a chain of strict
  // facts between neighbours orders every pair of them. Two numbers of one
  // value written apart (-0.0 and 0) are equal, so the chain runs through them.
  std::sort(constants.begin(), constants.end(), [exact](const Term* a, const Term* b) {
    if (a->kind != b->kind) return a->kind < b->kind;
    if (a->kind == Term::Kind::Number) return below(*a, *b, exact);
    return a->text < b->text;
  });
  for (size_t i = 1; i < constants.size(); ++i) {
    const Term& a = *constants[i - 1];
    const Term& b = *constants[i];
    if (a.kind != b.kind) continue;
    const size_t from = *facts.find(a.key(exact));
    const size_t to = *facts.find(b.key(exact));
    if (a.kind == Term::Kind::Number ? below(a, b, exact) : a.text < b.text) {
      facts.add_edge(from, to, true);
    } else {
      facts.add_edge(from, to);
      facts.add_edge(to, from);
    }
  }

  std::vector<size_t> component_of(facts.size());
  const std::vector<Component> components = strongly_connected_components(facts);
  for (size_t i = 0; i < components.size(); ++i)
    for (size_t n : components[i]) component_of[n] = i;
  for (size_t from = 0; from < facts.size(); ++from)
    for (const DependencyGraph::Edge& edge : facts.successors(from))
      if (edge.negated && component_of[from] == component_of[edge.to]) return true;
  for (const auto& [a, b] : different)
    if (component_of[a] == component_of[b]) return true;
  return false;
}

struct Group {
  std::string text;
  bool contradictory;
  std::vector<std::string> descriptions;
  std::unordered_set<std::string> listed;
};

}  // namespace

std::vector<std::string> check_contradictions(const RuleList& plain) {
  std::vector<Group> groups;
  const Json* previous = nullptr;  // the last statement with a body
  for (const Json* statement : plain) {
    const Json* body = statement->get("body");
    if (body == nullptr) continue;
    const Json* full_text = statement->get("full_text");
    std::string text = full_text != nullptr && full_text->is_str()
                           ? std::string(trim_unicode_white_space(full_text->as_str()))
                           : std::string();
    const std::vector<Comparison> found = comparisons(*body);
    const bool result = contradictory(found, false) && contradictory(found, true);
    if (previous == nullptr || !same_origin(*previous, *statement))
      groups.push_back(Group{std::move(text), true, {}, {}});
    previous = statement;
    Group& group = groups.back();
    group.contradictory = group.contradictory && result;
    for (const Comparison& c : found)
      if (group.listed.insert(c.description).second) group.descriptions.push_back(c.description);
  }

  std::vector<std::string> warnings;
  for (const Group& group : groups)
    if (group.contradictory)
      warnings.push_back("Contradictory conditions: " + join(group.descriptions, ", ") +
                         " can never all hold, so the rule gives no row: " + group.text);
  return warnings;
}

}  // namespace mirtova::verifier
