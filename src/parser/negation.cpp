// Negation "~P" and implication "A => B", both written as an "IsNull" test of a
// combine whose body is the negated proposition: the combine has a value
// exactly when the body has a solution.
#include "parser/forms.h"
#include "parser/proposition_list.h"
#include "parser/traverse.h"
#include "parser/tree_build.h"

namespace mirtova {

namespace {

Json as_conjunction(Json conjuncts) {
  return make_object("conjunction", make_object("conjunct", std::move(conjuncts)));
}

}  // namespace

Json negation_tree(const SpanString& text, const Json& body) {
  Json one = make_object("the_number", make_object("number", "1"));
  Json aggregation = make_object("operator", "Min", "argument", make_object("literal", std::move(one)),
                                 "expression_heritage", text.view());
  Json value_field =
      make_object("field", "quoril_value", "value", make_object("aggregation", std::move(aggregation)));
  Json head = make_object("predicate_name", "Combine", "record",
                          make_object("field_value", make_array(std::move(value_field))));
  Json rule =
      make_object("head", std::move(head), "body", body, "distinct_denoted", true, "full_text", text.view());
  Json argument =
      make_object("field", 0, "value", make_object("expression", make_object("combine", std::move(rule))));
  Json call = make_object("predicate_name", "IsNull", "record",
                          make_object("field_value", make_array(std::move(argument))));
  return make_object("predicate", std::move(call));
}

ParseResult<MaybeNode> parse_negation(const SpanString& text) {
  TRY(size_t cuts, count_cuts(text, "~"));
  if (cuts == 0) return MaybeNode();
  TRY(auto pieces, split(text, "~"));
  if (pieces.size() != 2 || !pieces[0].empty())
    return ParsingException("Negation \"~\" is a unary operator.", text);
  TRY(auto negated, split(strip(pieces[1]), ","));
  TRY(Json conjuncts, parse_proposition_list(negated));
  return MaybeNode(negation_tree(text, as_conjunction(std::move(conjuncts))));
}

ParseResult<MaybeNode> parse_negation_expression(const SpanString& text) {
  TRY(MaybeNode negation, parse_negation(text));
  if (!negation) return MaybeNode();
  return MaybeNode(make_object("call", std::move(negation->at_mut("predicate"))));
}

ParseResult<MaybeNode> parse_propositional_implication(const SpanString& text) {
  TRY(auto sides, split_at_only(text, "=>"));
  if (!sides) return MaybeNode();
  TRY(Json premise, parse_proposition(sides->first));
  TRY(Json conclusion, parse_proposition(sides->second));

  // A => B holds when "A and not B" has no solution.
  Json conjuncts = premise.has("conjunction") ? std::move(premise.at_mut("conjunction").at_mut("conjunct"))
                                              : make_array(std::move(premise));
  Json negated_body = conclusion.has("conjunction") ? std::move(conclusion)
                                                    : as_conjunction(make_array(std::move(conclusion)));
  conjuncts.push(negation_tree(sides->second, negated_body));
  return MaybeNode(negation_tree(text, as_conjunction(std::move(conjuncts))));
}

}  // namespace mirtova
