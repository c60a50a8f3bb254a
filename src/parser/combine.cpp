// Combines: aggregations inside a body or an expression, in their keyword,
// concise and ultra-concise forms. Every form becomes the same small rule with
// the head "Combine" and one aggregated field.
#include "parser/forms.h"
#include "parser/proposition_list.h"
#include "parser/traverse.h"
#include "parser/tree_build.h"

namespace mirtova {

namespace {

// The value text and, after ":-", the optional body of a combine.
struct ValueAndBody {
  Json value;
  MaybeNode body;  // the {"conjunct": [...]} object
};

ParseResult<ValueAndBody> parse_value_and_body(const SpanString& value_text, const SpanString* body_text) {
  ValueAndBody parsed;
  TRY(parsed.value, parse_expression(value_text));
  if (body_text != nullptr) {
    TRY(Json body, parse_conjunct_object(*body_text));
    parsed.body = std::move(body);
  }
  return parsed;
}

Json build(ValueAndBody parsed, const SpanString& operator_span, const SpanString& full_text) {
  return build_tree_for_combine(std::move(parsed.value), operator_span, parsed.body ? &*parsed.body : nullptr,
                                full_text);
}

}  // namespace

Json build_tree_for_combine(Json aggregated_value, const SpanString& operator_span, const Json* body,
                            const SpanString& full_text) {
  Json aggregation = make_object("operator", operator_span.view(), "argument", std::move(aggregated_value),
                                 "expression_heritage", full_text.view());
  Json field =
      make_object("field", "quoril_value", "value", make_object("aggregation", std::move(aggregation)));
  Json head = make_object("predicate_name", "Combine", "record",
                          make_object("field_value", make_array(std::move(field))));
  Json rule = make_object("head", std::move(head), "distinct_denoted", true, "full_text", full_text.view());
  if (body != nullptr) rule.set("body", make_object("conjunction", *body));
  return rule;
}

ParseResult<MaybeNode> parse_combine(const SpanString& text) {
  if (text.size() < 8 || text.view().substr(0, 8) != "combine ") return MaybeNode();
  const SpanString rest = text.slice(8, text.size());
  TRY(auto parts, split_in_one_or_two(rest, ":-"));
  TRY(auto assignment, split_at_first(parts[0], "="));
  if (!assignment) return ParsingException("A combine needs an operator: `combine += x`.", parts[0]);
  TRY(ValueAndBody parsed, parse_value_and_body(assignment->second, parts.size() == 2 ? &parts[1] : nullptr));
  return MaybeNode(build(std::move(parsed), assignment->first, rest));
}

ParseResult<MaybeNode> parse_concise_combine(const SpanString& text) {
  TRY(size_t cuts, count_cuts(text, "="));
  if (cuts == 0) return MaybeNode();
  TRY(auto assignment, split_at_first(text, "="));
  if (!assignment) return MaybeNode();
  const auto& [left, right] = *assignment;
  if (!right.empty() && right[0] == '=') return MaybeNode();  // "=="
  // A lone "!", "<" or ">" before '=' would be the last word: a comparison,
  // told without cutting the words (which cannot fail on this balanced text).
  const std::string_view written = left.view();
  const char blank = written.size() >= 2 ? written[written.size() - 2] : 'x';
  if ((blank == ' ' || blank == '\n' || blank == '\t') &&
      (written.back() == '!' || written.back() == '<' || written.back() == '>'))
    return MaybeNode();
  TRY(auto words, split_on_whitespace(left));
  if (words.size() < 2) return MaybeNode();
  const SpanString& op = words.back();
  // "!", "<" and ">" are comparisons written with a blank before "="; a word
  // in lower case is an operator such as "is" or "in", never an aggregation.
  if (op.view() == "!" || op.view() == "<" || op.view() == ">") return MaybeNode();
  if (op[0] >= 'a' && op[0] <= 'z') return MaybeNode();

  const SpanString target = text.slice(0, words[words.size() - 2].stop() - text.start());
  TRY(Json target_tree, parse_expression(target));
  TRY(auto parts, split_in_one_or_two(right, ":-"));
  TRY(ValueAndBody parsed, parse_value_and_body(parts[0], parts.size() == 2 ? &parts[1] : nullptr));
  Json combine =
      make_object("combine", build(std::move(parsed), op, text), "expression_heritage", text.view());
  return MaybeNode(
      make_object("left_hand_side", std::move(target_tree), "right_hand_side", std::move(combine)));
}

ParseResult<MaybeNode> parse_ultra_concise_combine(const SpanString& text) {
  TRY(auto call, parse_generic_call(text, '{', '}'));
  if (!call) return MaybeNode();
  const SpanString op(call->name);
  TRY(auto parts, split_in_one_or_two(call->inside, ":-"));
  TRY(ValueAndBody parsed, parse_value_and_body(parts[0], parts.size() == 2 ? &parts[1] : nullptr));
  return MaybeNode(build(std::move(parsed), op, text));
}

}  // namespace mirtova
