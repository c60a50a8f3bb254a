// Variables, field access r.name, and element access a[i], which becomes a
// chain of "Element" calls.
#include <string>
#include <string_view>
#include <vector>

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
  TRY(size_t cuts, count_cuts(text, "."));
  if (cuts == 0) return MaybeNode();
  TRY(std::vector<SpanString> pieces, split_raw(text, "."));
  const SpanString& field = pieces.back();
  // Everything before the last top-level ".", so a.b.c is the field c of a.b.
  const SpanString record_text = strip(text.slice(0, field.start() - text.start() - 1));
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
    Json base = k == 0 ? std::move(array) : make_call_expr(std::move(call));
    Json index_field = entry;
    index_field.set("field", Json(1));
    call = element_call(std::move(base), std::move(index_field));
    ++k;
  }
  return MaybeNode(std::move(call));
}

}  // namespace mirtova
