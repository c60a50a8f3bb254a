// Infix and unary operators: the loosest operator found at the top level splits
// the text, and both sides are parsed as expressions.
#include <array>
#include <string>

#include "parser/forms.h"
#include "parser/traverse.h"

namespace mirtova {

namespace {

// Loosest first; each entry is a precedence level of its own. Longer operators
// stand before the shorter ones they contain, so "<=" is never read as "<".
const std::vector<std::string_view>& operator_table() {
  static const std::vector<std::string_view> table = {
      "||", "&&", "->", "==",  "<=", ">=", "<", ">", "!=", "=", "~", " in ",
      " is not ", " is ", "++?", "++", "+", "-", "*", "/",  "%", "^", "!",
  };
  return table;
}

// A "-" right after one of these (ignoring blanks) is the sign of its operand.
bool is_unary_guard(char c) {
  switch (c) {
    case '!': case '%': case '&': case '*': case '+': case '-': case '/':
    case '<': case '=': case '>': case '^': case '|': case '~':
      return true;
    default:
      return false;
  }
}

// Top-level occurrences of every operator of a list, found in one traversal.
// Each operator's occurrences are collected left to right without overlap, as
// a split at that operator alone would cut the text.
struct Occurrences {
  std::vector<size_t> last;                   // per operator; npos when absent
  std::vector<size_t> minus;                  // every occurrence of "-", in order
};

ParseResult<Occurrences> find_occurrences(const SpanString& text, const std::vector<std::string_view>& operators) {
  const std::string_view v = text.view();
  const size_t none = std::string_view::npos;
  Occurrences found;
  found.last.assign(operators.size(), none);
  std::vector<size_t> resume(operators.size(), 0);
  // Operators by first byte, so each top-level byte looks only at candidates.
  std::array<std::vector<size_t>, 256> by_first_byte;
  for (size_t i = 0; i < operators.size(); ++i)
    by_first_byte[static_cast<unsigned char>(operators[i][0])].push_back(i);

  Traverser t(text);
  for (TraverseStep s = t.next(); s.status != TraverseStatus::End; s = t.next()) {
    if (s.status != TraverseStatus::Ok)
      return ParsingException("Parenthesis matches nothing.", text.slice(s.position, s.position + 1));
    if (s.depth != 0) continue;
    const size_t p = s.position;
    for (size_t i : by_first_byte[static_cast<unsigned char>(v[p])]) {
      const std::string_view op = operators[i];
      if (p < resume[i] || v.substr(p, op.size()) != op) continue;
      found.last[i] = p;
      resume[i] = p + op.size();
      if (op == "-") found.minus.push_back(p);
    }
  }
  return found;
}

std::string_view trim_blanks(std::string_view op) {
  while (!op.empty() && op.front() == ' ') op.remove_prefix(1);
  while (!op.empty() && op.back() == ' ') op.remove_suffix(1);
  return op;
}

Json operand_field(const char* side, Json expression) {
  return Json::object({{"field", side}, {"value", Json::object({{"expression", std::move(expression)}})}});
}

// The rightmost "-" that is not the sign of its right-hand operand, or npos.
size_t binary_minus(const SpanString& text, const std::vector<size_t>& occurrences) {
  for (size_t k = occurrences.size(); k-- > 0;) {
    const SpanString before = strip(text.slice(0, occurrences[k]));
    if (before.empty() || !is_unary_guard(before[before.size() - 1])) return occurrences[k];
  }
  return std::string_view::npos;
}

}  // namespace

ParseResult<MaybeNode> parse_infix(const SpanString& text, const std::vector<std::string_view>* operators,
                                   const std::set<std::string_view>* disallowed) {
  const std::vector<std::string_view>& ops = operators != nullptr ? *operators : operator_table();
  std::vector<std::string_view> allowed;
  for (std::string_view op : ops)
    if (disallowed == nullptr || disallowed->count(op) == 0) allowed.push_back(op);
  if (allowed.empty()) return MaybeNode();

  TRY(Occurrences found, find_occurrences(text, allowed));
  for (size_t i = 0; i < allowed.size(); ++i) {
    const std::string_view op = allowed[i];
    size_t at = found.last[i];
    if (at == std::string_view::npos) continue;
    if (op == "-") {
      at = binary_minus(text, found.minus);
      if (at == std::string_view::npos) continue;
    }
    const SpanString left = text.slice(0, at);
    if (op == "~" && !left.empty() && left[left.size() - 1] == '!') continue;  // "!~" is no negation

    const SpanString left_operand = strip(left);
    const SpanString right_operand = strip(text.slice(at + op.size(), text.size()));
    const std::string_view name = trim_blanks(op);
    if ((op == "!" || op == "-") && left_operand.empty()) {
      TRY(Json record, parse_record_internals(right_operand, false, false));
      return MaybeNode(Json::object({{"predicate_name", Json(name)}, {"record", std::move(record)}}));
    }
    // "~" with nothing before it is a negation, which is not this parser's form.
    if (op == "~" && left_operand.empty()) return MaybeNode();

    TRY(Json left_tree, parse_expression(left_operand));
    TRY(Json right_tree, parse_expression(right_operand));
    Json fields = Json::array({operand_field("left", std::move(left_tree)), operand_field("right", std::move(right_tree))});
    return MaybeNode(Json::object(
        {{"predicate_name", Json(name)}, {"record", Json::object({{"field_value", std::move(fields)}})}}));
  }
  return MaybeNode();
}

}  // namespace mirtova
