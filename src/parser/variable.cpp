// Variables, field access r.name, and element access a[i], which becomes a
// chain of "Element" calls.
#include <string>
#include <string_view>
#include <vector>

#include "parser/depth_guard.h"
#include "parser/forms.h"
#include "parser/traverse.h"
#include "parser/tree_build.h"

namespace mirtova {

namespace {

bool is_lower_word_byte(char c) { return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_'; }

bool is_lower_word(std::string_view text) {
  for (char c : text)
    if (!is_lower_word_byte(c)) return false;
  return true;
}

Json element_call(Json base, Json index_field) {
  return make_call("Element", make_array(make_field(0, std::move(base)), std::move(index_field)));
}

// How many ".field" links end the text: a.b.c has two. Only word bytes and
// dots are passed over, so every dot counted stands at the text's top level.
size_t trailing_links(std::string_view v) {
  size_t links = 0;
  size_t end = v.size();
  while (end > 0) {
    size_t start = end;
    while (start > 0 && is_lower_word_byte(v[start - 1])) --start;
    if (start == end || start == 0 || v[start - 1] != '.') break;
    ++links;
    end = start - 1;
  }
  return links;
}

}  // namespace

ParseResult<MaybeNode> parse_variable(const SpanString& text) {
  const std::string_view v = text.view();
  if (v.empty()) return MaybeNode();
  if (v.front() != '_' && !(v.front() >= 'a' && v.front() <= 'z')) return MaybeNode();
  if (!is_lower_word(v)) return MaybeNode();
  if (v.size() >= 2 && v.substr(0, 2) == "x_")
    return ParsingException(
        "Variables starting with x_ are reserved to be Quoril compiler internal. Please use a different "
        "name.",
        text);
  return MaybeNode(make_object("var_name", v));
}

ParseResult<MaybeNode> parse_subscript(const SpanString& text) {
  // Only the last top-level "." is needed, so a.b.c is the field c of a.b; a
  // long chain costs one pass per level, not a list of its pieces per level.
  TRY(std::optional<size_t> dot, last_cut(text, "."));
  if (!dot) return MaybeNode();
  // Each link opens one more level: a chain longer than the levels left is
  // refused here, not after a pass over the text at every level. Two links of
  // slack for a start that another form takes (a number such as 1.5).
  if (trailing_links(text.view()) > DepthGuard::levels_left() + 2)
    return ParsingException(kTooDeepMessage, text);
  const SpanString field = text.slice(*dot + 1, text.size());
  const SpanString record_text = strip(text.slice(0, *dot));
  TRY(Json record, parse_expression(record_text));
  if (!is_lower_word(field.view())) return ParsingException("Subscript must be lowercase.", text);
  Json symbol = make_object("literal", make_object("the_symbol", make_object("symbol", field.view())));
  return MaybeNode(make_object("record", std::move(record), "subscript", std::move(symbol)));
}

ParseResult<MaybeNode> parse_array_sub(const SpanString& text) {
  TRY(std::optional<GenericCall> generic, parse_generic_call(text, '[', ']'));
  if (!generic) return MaybeNode();
  TRY(Json indexes, parse_record_internals(generic->inside, false, false));
  // The array part is a text of its own, so its errors show only that text.
  TRY(Json array, parse_expression(SpanString(std::move(generic->name))));

  const Json::ArrayType& entries = indexes.at("field_value").as_array();
  if (entries.empty()) return ParsingException("Array subscription needs an index.", text);
  Json call;
  int64_t k = 0;
  for (const Json& entry : entries) {
    const Json& field = entry.at("field");
    if (!field.is_int() || field.as_int() != k)
      return ParsingException("Array subscription must only have positional arguments.", text);
    // Each index nests one more call, as deep as any other nesting may go.
    if (static_cast<size_t>(k) >= DepthGuard::levels_left()) return ParsingException(kTooDeepMessage, text);
    Json base = k == 0 ? std::move(array) : make_call_expr(std::move(call));
    Json index_field = entry;
    index_field.set("field", Json(1));
    call = element_call(std::move(base), std::move(index_field));
    ++k;
  }
  return MaybeNode(std::move(call));
}

}  // namespace mirtova
