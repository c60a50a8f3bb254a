// Literals: numbers, the three string forms, booleans, null, lists and
// predicate literals. Every scalar stays text in the tree.
#include <string>
#include <string_view>
#include <vector>

#include "common/strings.h"
#include "parser/forms.h"
#include "parser/string_literal.h"
#include "parser/traverse.h"
#include "parser/tree_build.h"

namespace mirtova {

namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// A decimal floating-point number: sign, digits with at most one ".", an
// optional exponent; or inf, infinity, nan in any case.
bool is_number_text(std::string_view text) {
  size_t i = 0;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  const std::string_view body = text.substr(i);
  if (equals_ascii_lower(body, "inf") || equals_ascii_lower(body, "infinity") ||
      equals_ascii_lower(body, "nan"))
    return true;
  size_t digits = 0;
  bool dot = false;
  for (; i < text.size(); ++i) {
    if (is_digit(text[i]))
      ++digits;
    else if (text[i] == '.' && !dot)
      dot = true;
    else
      break;
  }
  if (digits == 0) return false;
  if (i == text.size()) return true;
  if (text[i] != 'e' && text[i] != 'E') return false;
  ++i;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  if (i == text.size()) return false;
  for (; i < text.size(); ++i)
    if (!is_digit(text[i])) return false;
  return true;
}

Json leaf(const char* kind, const char* key, Json value) {
  return make_object(kind, make_object(key, std::move(value)));
}

MaybeNode parse_number(std::string_view text) {
  if (!text.empty() && text.back() == 'u') text.remove_suffix(1);
  if (text == "\u221E") return leaf("the_number", "number", Json("-1"));
  if (is_number_text(text)) return leaf("the_number", "number", Json(text));
  return MaybeNode();
}

bool is_predicate_literal(std::string_view text) {
  if (text == "nil" || text == "++?") return true;
  if (text.empty() || !(text.front() >= 'A' && text.front() <= 'Z')) return false;
  for (char c : text)
    if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || is_digit(c) || c == '_')) return false;
  return true;
}

ParseResult<MaybeNode> parse_list(const SpanString& text) {
  const SpanString inside = strip(text.slice(1, text.size() - 1));
  Json::ArrayType elements;
  if (!inside.empty()) {
    TRY(std::vector<SpanString> pieces, split(inside, ","));
    for (const SpanString& piece : pieces) {
      TRY(Json element, parse_expression(piece));
      elements.push_back(std::move(element));
    }
  }
  return MaybeNode(leaf("the_list", "element", Json(std::move(elements))));
}

}  // namespace

ParseResult<MaybeNode> parse_literal(const SpanString& text) {
  const std::string_view t = text.view();
  if (MaybeNode number = parse_number(t)) return number;
  if (t.size() >= 2) {
    if (std::optional<std::string> s = read_string_literal(t))
      return MaybeNode(leaf("the_string", "the_string", Json(std::move(*s))));
    if (t.front() == '[' && t.back() == ']' && is_whole(text.slice(1, t.size() - 1))) return parse_list(text);
  }
  if (t == "true" || t == "false") return MaybeNode(leaf("the_bool", "the_bool", Json(t)));
  if (t == "null") return MaybeNode(leaf("the_null", "the_null", Json("null")));
  if (is_predicate_literal(t)) return MaybeNode(leaf("the_predicate", "predicate_name", Json(t)));
  return MaybeNode();
}

}  // namespace mirtova
