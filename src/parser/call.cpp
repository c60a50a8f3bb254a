// Calls: a predicate name directly followed by one bracketed part, and rule
// heads, which are calls optionally followed by "=" or "Op=" and a value.
#include <optional>
#include <string_view>

#include "parser/forms.h"
#include "parser/traverse.h"
#include "parser/tree_build.h"

namespace mirtova {

namespace {

constexpr const char* kParenthesisMessage = "Parenthesis matches nothing.";

bool is_name_byte(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '+' || c == '-' ||
         c == '.' || c == '@' || c == '_' || c == '`';
}

bool is_predicate_name(std::string_view name) {
  if (name == "!" || name == "++?") return true;
  if (name.size() >= 2 && name.front() == '`' && name.back() == '`') return true;
  if (name.empty()) return false;
  for (char c : name)
    if (!is_name_byte(c)) return false;
  return true;
}

TraverseState state_of(char opening) {
  switch (opening) {
    case '(':
      return TraverseState::Paren;
    case '[':
      return TraverseState::Bracket;
    default:
      return TraverseState::Brace;
  }
}

// Where the opening bracket of the call stands in `text`, nothing when the
// text is no call of this bracket kind.
ParseResult<std::optional<size_t>> find_opening(const SpanString& text, char opening) {
  const TraverseState wanted = state_of(opening);
  Traverser traverser(text);
  // Every answer below hangs on the depth, the top and the status alone, which
  // a plain byte keeps as the step before it left them.
  while (true) {
    traverser.skip_plain();
    const TraverseStep step = traverser.next();
    if (step.status == TraverseStatus::End) return std::optional<size_t>();
    if (step.status != TraverseStatus::Ok)
      return ParsingException(kParenthesisMessage, text.slice(step.position, step.position + 1));
    if (step.depth == 0) continue;
    // Checked before the backquote and brace rules, so that "{" can open a call.
    if (step.depth == 1 && step.top == wanted) return std::optional<size_t>(step.position);
    if (step.depth == 1 && (step.top == TraverseState::Backquote || step.top == TraverseState::Brace))
      continue;
    if (step.depth >= 2 && step.top == TraverseState::Backquote) continue;
    return std::optional<size_t>();
  }
}

}  // namespace

ParseResult<std::optional<GenericCall>> parse_generic_call(const SpanString& text, char opening,
                                                           char closing) {
  const SpanString s = strip(text);
  const std::string_view v = s.view();
  if (v.empty()) return std::optional<GenericCall>();

  std::string name;
  size_t open_at = 0;
  if (v.size() >= 2 && v.substr(0, 2) == "->") {
    if (v.size() < 3 || v[2] != opening) return std::optional<GenericCall>();
    name = "->";
    open_at = 2;
  } else {
    TRY(std::optional<size_t> found, find_opening(s, opening));
    if (!found) return std::optional<GenericCall>();
    open_at = *found;
    const std::string_view written = v.substr(0, open_at);
    if (!is_predicate_name(written)) return std::optional<GenericCall>();
    if (written == "`=`")
      name = "=";
    else if (written == "`~`")
      name = "~";
    else
      name = std::string(written);
  }

  if (v.back() != closing || v.size() - 1 <= open_at) return std::optional<GenericCall>();
  SpanString inside = s.slice(open_at + 1, v.size() - 1);
  if (!is_whole(inside)) return std::optional<GenericCall>();
  return std::optional<GenericCall>(GenericCall{std::move(name), std::move(inside)});
}

ParseResult<MaybeNode> parse_call(const SpanString& text, bool in_head) {
  TRY(std::optional<GenericCall> generic, parse_generic_call(text, '(', ')'));
  if (!generic) return MaybeNode();
  TRY(Json record, parse_record_internals(generic->inside, false, in_head));
  return MaybeNode(make_object("predicate_name", std::move(generic->name), "record", std::move(record)));
}

namespace {

// The length of the call at the start of a head: up to the bracket that closes
// the first top-level "(".
ParseResult<size_t> head_call_length(const SpanString& head) {
  Traverser traverser(head);
  bool open = false;
  // The depth comes back to 0 only on a closing byte, never on a plain one.
  while (true) {
    traverser.skip_plain();
    const TraverseStep step = traverser.next();
    if (step.status == TraverseStatus::End) {
      if (!open) return ParsingException("Found no call in rule head.", head);
      // An unclosed call: cut after the first character, which no call can be.
      return head.slice(0, 1).size();
    }
    if (step.status != TraverseStatus::Ok)
      return ParsingException(kParenthesisMessage, head.slice(step.position, step.position + 1));
    if (!open) {
      if (step.depth == 1 && step.top == TraverseState::Paren) open = true;
    } else if (step.depth == 0) {
      return step.position + 1;
    }
  }
}

ParseResult<Unit> check_no_aggregation(const Json& call, const SpanString& call_text) {
  for (const Json& field : call.at("record").at("field_value").as_array())
    if (field.at("value").has("aggregation"))
      return ParsingException("Aggregation appears in a non-distinct predicate. Did you forget distinct?",
                              call_text);
  return Unit{};
}

}  // namespace

ParseResult<HeadCall> parse_head_call(const SpanString& head, bool is_distinct) {
  TRY(size_t call_length, head_call_length(head));
  const SpanString call_text = head.slice(0, call_length);
  const SpanString rest = head.slice(call_length, head.size());

  TRY(MaybeNode parsed, parse_call(call_text, true));
  if (!parsed) return ParsingException("Could not parse predicate call.", call_text);
  Json call = std::move(*parsed);
  Json::ArrayType& fields = call.at_mut("record").at_mut("field_value").as_array_mut();

  TRY(auto assignment, split_at_first(rest, "="));
  if (assignment && !assignment->first.empty()) {
    TRY(Json argument, parse_expression(assignment->second));
    Json aggregation = make_object("operator", assignment->first.view(), "argument", std::move(argument),
                                   "expression_heritage", rest.view());
    fields.push_back(
        make_object("field", "quoril_value", "value", make_object("aggregation", std::move(aggregation))));
    return HeadCall{std::move(call), true};
  }
  if (assignment) {
    TRY(Json value, parse_expression(assignment->second));
    fields.push_back(
        make_object("field", "quoril_value", "value", make_object("expression", std::move(value))));
  } else {
    const SpanString unexpected = strip(rest);
    if (!unexpected.empty()) return ParsingException("Unexpected text in the head of a rule.", unexpected);
  }
  if (!is_distinct) TRY_VOID(check_no_aggregation(call, call_text));
  return HeadCall{std::move(call), false};
}

}  // namespace mirtova
