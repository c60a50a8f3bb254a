// Negation "~P" and implication "A => B", both written as an "IsNull" test of a
// combine whose body is the negated proposition: the combine has a value
// exactly when the body has a solution.
#include "parser/forms.h"
#include "parser/proposition_list.h"
#include "parser/traverse.h"

namespace mirtova {

namespace {

Json as_conjunction(Json conjuncts) { return Json::object({{"conjunction", Json::object({{"conjunct", std::move(conjuncts)}})}}); }

}  // namespace

Json negation_tree(const SpanString& text, const Json& body) {
  const Json one = Json::object({{"the_number", Json::object({{"number", "1"}})}});
  Json aggregation = Json::object(
      {{"operator", "Min"}, {"argument", Json::object({{"literal", one}})}, {"expression_heritage", Json(text.view())}});
  Json value_field = Json::object({{"field", "quoril_value"}, {"value", Json::object({{"aggregation", std::move(aggregation)}})}});
  Json head = Json::object({{"predicate_name", "Combine"},
                            {"record", Json::object({{"field_value", Json::array({std::move(value_field)})}})}});
  Json rule = Json::object(
      {{"head", std::move(head)}, {"body", body}, {"distinct_denoted", true}, {"full_text", Json(text.view())}});
  Json argument = Json::object(
      {{"field", 0}, {"value", Json::object({{"expression", Json::object({{"combine", std::move(rule)}})}})}});
  Json call = Json::object({{"predicate_name", "IsNull"},
                            {"record", Json::object({{"field_value", Json::array({std::move(argument)})}})}});
  return Json::object({{"predicate", std::move(call)}});
}

ParseResult<MaybeNode> parse_negation(const SpanString& text) {
  TRY(auto pieces, split(text, "~"));
  if (pieces.size() == 1) return MaybeNode();
  if (pieces.size() != 2 || !pieces[0].empty())
    return ParsingException("Negation \"~\" is a unary operator.", text);
  TRY(auto negated, split(strip(pieces[1]), ","));
  TRY(Json conjuncts, parse_proposition_list(negated));
  return MaybeNode(negation_tree(text, as_conjunction(std::move(conjuncts))));
}

ParseResult<MaybeNode> parse_negation_expression(const SpanString& text) {
  TRY(MaybeNode negation, parse_negation(text));
  if (!negation) return MaybeNode();
  return MaybeNode(Json::object({{"call", negation->at("predicate")}}));
}

ParseResult<MaybeNode> parse_propositional_implication(const SpanString& text) {
  TRY(auto pieces, split(text, "=>"));
  if (pieces.size() != 2) return MaybeNode();
  TRY(Json premise, parse_proposition(pieces[0]));
  TRY(Json conclusion, parse_proposition(pieces[1]));

  // A => B holds when "A and not B" has no solution.
  Json conjuncts = premise.has("conjunction") ? premise.at("conjunction").at("conjunct") : Json::array({std::move(premise)});
  Json negated_body = conclusion.has("conjunction") ? std::move(conclusion) : as_conjunction(Json::array({std::move(conclusion)}));
  conjuncts.push(negation_tree(pieces[1], negated_body));
  return MaybeNode(negation_tree(text, as_conjunction(std::move(conjuncts))));
}

}  // namespace mirtova
