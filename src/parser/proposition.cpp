// Propositions: the conditions of a rule body. A dispatcher that tries a fixed
// sequence of forms on one text and takes the first that applies.
#include "parser/depth_guard.h"
#include "parser/forms.h"
#include "parser/nesting.h"
#include "parser/proposition_list.h"
#include "parser/traverse.h"
#include "parser/tree_build.h"

namespace mirtova {

namespace {

// "|" and "," both make a list of propositions from `pieces`, the text cut at
// each top-level separator.
ParseResult<Json> parse_junction(std::vector<SpanString> pieces, const char* kind, const char* item) {
  for (SpanString& piece : pieces) piece = strip(piece);
  TRY(Json items, parse_proposition_list(pieces));
  return make_object(kind, make_object(item, std::move(items)));
}

Json constraint_call(Json expression) {
  Json field = make_object("field", 0, "value", make_object("expression", std::move(expression)));
  return make_object("predicate", make_object("predicate_name", "Constraint", "record",
                                              make_object("field_value", make_array(std::move(field)))));
}

const std::vector<std::string_view>& logical_operators() {
  // "&&" first: in a proposition it binds more loosely than "||".
  static const std::vector<std::string_view> ops = {"&&", "||"};
  return ops;
}

}  // namespace

ParseResult<Json> parse_proposition(const SpanString& text) {
  DepthGuard guard;
  if (guard.too_deep()) return ParsingException(kTooDeepMessage, text);
  if (guard.outermost()) TRY_VOID(check_nesting(text));

  // The separators the forms below look for, counted in one traversal: a
  // form whose separator does not occur (as it needs it) is not asked. The
  // count fails exactly where the first of those forms would have.
  // The same traversal cuts the text at its commas, the separator it ends with.
  static const SeparatorSet kSeparators({"|", "=>", "==", " in ", "=", "~", ","});
  TRY(SeparatorScan scan, SeparatorScan::of(text, kSeparators, true));
  const SeparatorSet::Counts& cuts = scan.counts;
  const size_t pipes = cuts[0], arrows = cuts[1], equalities = cuts[2], ins = cuts[3], equals = cuts[4],
               tildes = cuts[5], commas = cuts[6];

  if (pipes > 0) {
    TRY(auto pieces, split_raw(text, "|"));
    return parse_junction(std::move(pieces), "disjunction", "disjunct");
  }
  if (commas > 0) return parse_junction(std::move(scan.last_pieces), "conjunction", "conjunct");
  if (arrows == 1) {
    TRY(MaybeNode implication, parse_propositional_implication(text));
    if (implication) return std::move(*implication);
  }
  TRY(MaybeNode if_then, parse_implication(text));
  if (if_then)
    return ParsingException("If-then-else clause is only supported as an expression, not as a proposition.",
                            text);

  TRY(MaybeNode call, parse_call(text, false));
  if (call) return make_object("predicate", std::move(*call));
  TRY(MaybeNode logical, parse_infix(text, &logical_operators()));
  if (logical) return make_object("predicate", std::move(*logical));
  if (equalities == 1) {
    TRY(MaybeNode unification, parse_unification(text));
    if (unification) return make_object("unification", std::move(*unification));
  }
  if (ins == 1) {
    TRY(MaybeNode inclusion, parse_inclusion(text));
    if (inclusion) return make_object("inclusion", std::move(*inclusion));
  }
  if (equals > 0) {
    TRY(MaybeNode combine, parse_concise_combine(text));
    if (combine) return make_object("unification", std::move(*combine));
  }
  TRY(MaybeNode infix, parse_infix(text));
  if (infix) return make_object("predicate", std::move(*infix));
  if (tildes > 0) {
    TRY(MaybeNode negation, parse_negation(text));
    if (negation) return std::move(*negation);
  }

  // A bare variable or subscript is a condition on its own. Any other failure
  // becomes this form's message, except running out of nesting depth, which
  // would be misreported as a malformed proposition.
  auto expression = parse_expression(text);
  if (!expression.ok() && expression.error().message == kTooDeepMessage) return std::move(expression).error();
  if (expression.ok() && (expression.value().has("variable") || expression.value().has("subscript")))
    return constraint_call(std::move(expression).value());
  return ParsingException("Could not parse proposition.", text);
}

ParseResult<MaybeNode> parse_unification(const SpanString& text) {
  TRY(auto sides, split_at_only(text, "=="));
  if (!sides) return MaybeNode();
  TRY(Json left, parse_expression(sides->first));
  TRY(Json right, parse_expression(sides->second));
  return MaybeNode(make_object("left_hand_side", std::move(left), "right_hand_side", std::move(right)));
}

ParseResult<MaybeNode> parse_inclusion(const SpanString& text) {
  TRY(auto sides, split_at_only(text, " in "));
  if (!sides) return MaybeNode();
  // The list is read before the element, so its fault is the one reported.
  TRY(Json list, parse_expression(sides->second));
  TRY(Json element, parse_expression(sides->first));
  return MaybeNode(make_object("list", std::move(list), "element", std::move(element)));
}

}  // namespace mirtova
