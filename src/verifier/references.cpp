// Defined names and predicate references of statements. Bodies and expressions
// nest into one another through combines as deep as the program is written, so
// the walk keeps its own list of what is left to visit.
#include "verifier/references.h"

#include <vector>

#include "parser/tree_access.h"
#include "parser/tree_walk.h"

namespace mirtova::verifier {

namespace {

struct Pending {
  const Json* node;
  bool is_body;  // a body proposition, else any subtree searched for combines
};

// Visits what is pending; the order of visits does not matter, as every name
// lands in one sorted set.
void collect(std::vector<Pending> pending, SortedNames& refs) {
  while (!pending.empty()) {
    Pending next = pending.back();
    pending.pop_back();
    if (!next.is_body) {
      walk_tree(*next.node, [&](const Json& node) {
        const Json* combine = node.get("combine");
        if (combine == nullptr) return Walk::Enter;
        if (const Json* body = combine->get("body")) pending.push_back({body, true});
        return Walk::Skip;
      });
      continue;
    }
    const Json* conjunction = next.node->get("conjunction");
    const Json* conjuncts = conjunction != nullptr ? conjunction->get("conjunct") : nullptr;
    if (conjuncts == nullptr || !conjuncts->is_array()) continue;
    for (const Json& conjunct : conjuncts->as_array()) {
      if (const Json* predicate = conjunct.get("predicate")) {
        const Json* name = predicate->get("predicate_name");
        if (name != nullptr && name->is_str()) refs.emplace(name->as_str());
        pending.push_back({predicate, false});
        continue;
      }
      if (const Json* disjunction = conjunct.get("disjunction")) {
        const Json* disjuncts = disjunction->get("disjunct");
        if (disjuncts != nullptr && disjuncts->is_array())
          for (const Json& disjunct : disjuncts->as_array()) pending.push_back({&disjunct, true});
      }
      if (const Json* unification = conjunct.get("unification")) {
        if (const Json* right = unification->get("right_hand_side")) pending.push_back({right, false});
        if (const Json* left = unification->get("left_hand_side")) pending.push_back({left, false});
      }
    }
  }
}

}  // namespace

SortedNames defined_predicates(const RuleList& statements) {
  SortedNames defined;
  for (const Json* statement : statements) {
    const std::string name(head_name(*statement));
    if (name == "@Make") {
      if (std::optional<std::string> made = made_predicate(*statement)) defined.insert(std::move(*made));
    } else if (!is_annotation_name(name)) {
      defined.insert(name);
    }
  }
  return defined;
}

void collect_body_refs(const Json& body, SortedNames& refs) { collect({{&body, true}}, refs); }

void collect_expr_refs(const Json& tree, SortedNames& refs) { collect({{&tree, false}}, refs); }

bool record_defines_value(const Json& record) {
  const Json* fields = record.get("field_value");
  if (fields == nullptr || !fields->is_array()) return false;
  for (const Json& field : fields->as_array()) {
    const Json* name = field.get("field");
    if (name != nullptr && name->is_str() && name->as_str() == "quoril_value") return true;
  }
  return false;
}

}  // namespace mirtova::verifier
