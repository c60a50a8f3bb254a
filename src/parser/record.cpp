// Records: the argument list of every call and the inside of record literals,
// read into one field object per top-level comma-separated piece.
#include <string>
#include <string_view>
#include <vector>

#include "parser/forms.h"
#include "parser/traverse.h"
#include "parser/tree_build.h"
#include "parser/utf8.h"

namespace mirtova {

namespace {

bool is_ascii_word_byte(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

// Whether the text before a top-level ":" names a field; otherwise the piece
// is an ordinary expression that happens to hold a ":".
bool is_field_name(std::string_view name) {
  name = trim_unicode_white_space(name);
  if (name.empty()) return false;
  if (name.front() == '`' && name.back() == '`') return true;
  for (char c : name)
    if (!is_ascii_word_byte(c)) return false;
  return true;
}

Json expression_value(Json expression) { return make_object("expression", std::move(expression)); }

// Builds the field list piece by piece; the first fault in text order wins.
class RecordReader {
 public:
  RecordReader(bool is_record_literal, bool is_aggregation_allowed, size_t pieces)
      : is_record_literal_(is_record_literal), is_aggregation_allowed_(is_aggregation_allowed) {
    fields_.reserve(pieces);
  }

  // `plain` tells that the piece holds neither ':' nor '?' at its top level,
  // as the scan of the whole record found.
  ParseResult<Unit> read(const SpanString& piece, int64_t position, bool plain) {
    if (rest_seen_) return ParsingException("Field ..<rest_of> must go last.", piece);
    if (piece.size() >= 2 && piece.view().substr(0, 2) == "..") return read_rest(piece);
    if (plain) return read_positional(piece, position);
    // Most pieces hold neither separator, and are only counted.
    static const SeparatorSet kSeparators({":", "?"});
    TRY(SeparatorSet::Counts cuts, count_cuts_each(piece, kSeparators));
    if (cuts[0] > 0) {
      TRY(std::vector<SpanString> named, split_in_one_or_two(piece, ":"));
      if (named.size() == 2 && is_field_name(named[0].view())) return read_named(named[0], named[1]);
    }
    if (cuts[1] > 0) {
      TRY(std::vector<SpanString> aggregated, split_in_one_or_two(piece, "?"));
      if (aggregated.size() == 2) return read_aggregated(piece, aggregated[0], aggregated[1]);
    }
    return read_positional(piece, position);
  }

  Json finish() { return make_object("field_value", std::move(fields_)); }

 private:
  ParseResult<Unit> read_rest(const SpanString& piece) {
    if (is_record_literal_)
      return ParsingException("Field ..<rest_of> in record literals is not currently supported.", piece);
    TRY(Json value, parse_expression(piece.slice(2, piece.size())));
    Json field = make_object("field", "*", "value", expression_value(std::move(value)));
    if (!fields_.empty()) {
      // Every field so far, by its name; a positional one is named by place.
      Json::ArrayType except;
      except.reserve(fields_.size());
      for (const Json& earlier : fields_) {
        const Json& name = earlier.at("field");
        except.emplace_back(name.is_int() ? "col" + std::to_string(name.as_int()) : name.as_str());
      }
      field.set("except", Json(std::move(except)));
    }
    fields_.push_back(std::move(field));
    rest_seen_ = true;
    positional_allowed_ = false;
    return Unit{};
  }

  ParseResult<Unit> read_named(const SpanString& name, SpanString value) {
    const std::string_view written = name.view();
    if (written.find('$') != std::string_view::npos)
      return ParsingException("A field name may not hold '$'.", name);
    if (value.empty()) {
      // The shorthand `name:` reads the name itself as a variable.
      if (!written.empty() && written.front() >= 'A' && written.front() <= 'Z')
        return ParsingException("Record fields may not start with capital letter.", name);
      if (!written.empty() && written.front() == '`')
        return ParsingException("Backticks in variable names are disallowed.", name);
      value = name;
    }
    TRY(Json expression, parse_expression(value));
    fields_.push_back(make_object("field", written, "value", expression_value(std::move(expression))));
    positional_allowed_ = false;
    return Unit{};
  }

  ParseResult<Unit> read_aggregated(const SpanString& piece, const SpanString& name, const SpanString& rest) {
    if (!is_aggregation_allowed_)
      return ParsingException("Aggregation of fields is only allowed in the head of a rule.", piece);
    if (name.empty()) return ParsingException("Aggregated fields have to be named.", piece);
    TRY(auto assignment, split_at_first(rest, "="));
    if (!assignment) return ParsingException("An aggregated field needs an operator: `n? += x`.", rest);
    TRY(Json argument, parse_expression(assignment->second));
    Json aggregation = make_object("operator", assignment->first.view(), "argument", std::move(argument),
                                   "expression_heritage", rest.view());
    fields_.push_back(
        make_object("field", name.view(), "value", make_object("aggregation", std::move(aggregation))));
    positional_allowed_ = false;
    return Unit{};
  }

  ParseResult<Unit> read_positional(const SpanString& piece, int64_t position) {
    if (!positional_allowed_)
      return ParsingException("Positional argument can not go after non-positional arguments.", piece);
    TRY(Json expression, parse_expression(piece));
    fields_.push_back(make_object("field", position, "value", expression_value(std::move(expression))));
    return Unit{};
  }

  bool is_record_literal_;
  bool is_aggregation_allowed_;
  bool positional_allowed_ = true;
  bool rest_seen_ = false;
  // The fields so far, in text order: a rest field excludes each by name.
  Json::ArrayType fields_;
};

}  // namespace

ParseResult<Json> parse_record_internals(const SpanString& inside, bool is_record_literal,
                                         bool is_aggregation_allowed) {
  const SpanString s = strip_spaces(inside);
  // One traversal answers the three questions asked of the text in turn.
  // A record with no top-level ':' or '?' has only positional fields, and
  // its pieces need no count of their own, unless stripping a piece's
  // parentheses brings one of its insides to the top.
  static const SeparatorSet kSeparators({":-", ":", "?", ","});
  TRY(SeparatorScan scan, SeparatorScan::of(s, kSeparators, true));
  if (scan.counts[0] >= 1) return ParsingException("Unexpected :- in record internals.", s);
  if (s.empty() || !scan.whole) return make_object("field_value", Json::array());
  const bool positional = scan.counts[1] == 0 && scan.counts[2] == 0;

  std::vector<SpanString>& pieces = scan.last_pieces;
  RecordReader reader(is_record_literal, is_aggregation_allowed, pieces.size());
  for (size_t i = 0; i < pieces.size(); ++i) {
    const SpanString stripped = strip_spaces(pieces[i]);
    const bool plain = positional && (stripped.empty() || stripped[0] != '(');
    TRY_VOID(reader.read(plain ? stripped : strip(pieces[i]), static_cast<int64_t>(i), plain));
  }
  return reader.finish();
}

ParseResult<MaybeNode> parse_record(const SpanString& text) {
  const SpanString s = strip(text);
  const std::string_view v = s.view();
  if (v.size() < 2 || v.front() != '{' || v.back() != '}') return MaybeNode();
  const SpanString inner = s.slice(1, v.size() - 1);
  if (!is_whole(inner)) return MaybeNode();
  TRY(Json record, parse_record_internals(inner, true, false));
  return MaybeNode(std::move(record));
}

}  // namespace mirtova
