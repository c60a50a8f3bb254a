// Rule statements: a head with its denotations, optionally ":-" and a body.
#include "parser/forms.h"
#include "parser/traverse.h"

namespace mirtova {

namespace {

struct DenotationWord {
  std::string_view word;
  bool has_value;
  const char* key;
};

// Taken off the head in this order; everything after a word belongs to it, so
// the only layout that parses is the reverse of this list.
// clang-format off
constexpr DenotationWord kDenotations[] = {
    {"couldbe", false, "couldbe_denoted"}, {"cantbe", false, "cantbe_denoted"},
    {"shouldbe", false, "shouldbe_denoted"}, {"limit", true, "limit_denoted"},
    {"order_by", true, "orderby_denoted"},
};
// clang-format on

}  // namespace

ParseResult<Denotation> grab_denotation(const SpanString& head, std::string_view word, bool has_value) {
  TRY(size_t cuts, count_cuts(head, word));
  if (cuts == 0) return Denotation{head, false, std::nullopt};
  TRY(auto pieces, split(head, word));
  if (pieces.size() >= 3) return ParsingException("Too many denotations.", head);
  if (pieces.size() < 2) return Denotation{head, false, std::nullopt};
  if (!has_value) {
    if (!strip_spaces(pieces[1]).empty())
      return ParsingException("Too many denotations or incorrect place.", head);
    return Denotation{pieces[0], true, std::nullopt};
  }
  SpanString value = strip(pieces[1]);
  if (!value.empty() && value[0] == '(')
    return ParsingException("Can not parse denotations when extracting.", head);
  TRY(Json record, parse_record_internals(value, false, false));
  return Denotation{pieces[0], true, std::move(record)};
}

ParseResult<Json> parse_rule(const SpanString& statement) {
  TRY(auto parts, split_raw(statement, ":-"));
  return parse_rule_pieces(statement, std::move(parts));
}

ParseResult<Json> parse_rule_pieces(const SpanString& statement, std::vector<SpanString> parts) {
  for (SpanString& part : parts) part = strip(part);
  if (parts.size() > 2)
    return ParsingException("Too many :- in a rule. Did you forget semicolon?", statement);

  Json rule = Json::object();
  SpanString head = parts[0];
  // Most heads hold none of the words; one traversal shows it, and then the
  // words are not taken off one by one.
  static const SeparatorSet kWords({"couldbe", "cantbe", "shouldbe", "limit", "order_by", "distinct"});
  TRY(SeparatorSet::Counts words, count_cuts_each(head, kWords));
  bool any_denotation = false;
  for (size_t i = 0; i + 1 < kWords.size(); ++i) any_denotation = any_denotation || words[i] > 0;
  size_t distinct_cuts = words[kWords.size() - 1];
  if (any_denotation) {
    for (const DenotationWord& d : kDenotations) {
      TRY(Denotation grabbed, grab_denotation(head, d.word, d.has_value));
      head = grabbed.rest;
      if (!grabbed.found) continue;
      rule.set(d.key, grabbed.value ? std::move(*grabbed.value) : Json(true));
    }
    TRY(distinct_cuts, count_cuts(head, "distinct"));
  }
  std::vector<SpanString> distinct{head};
  if (distinct_cuts > 0) {
    TRY(distinct, split(head, "distinct"));
  }
  bool is_distinct = false;
  if (distinct.size() == 2 && distinct[1].empty()) {
    is_distinct = true;
  } else if (distinct.size() != 1) {
    return ParsingException("Can not parse rule head. Something is wrong with distinct.", head);
  }
  TRY(HeadCall call, parse_head_call(is_distinct ? distinct[0] : head, is_distinct));
  const bool denoted_distinct = is_distinct || call.is_aggregating;
  // The entries still to come, so that the rule, kept for the whole compile,
  // holds no room it never fills.
  rule.as_object_mut().reserve(rule.size() + (denoted_distinct ? 1 : 0) + (parts.size() == 2 ? 3 : 2));
  if (denoted_distinct) rule.set("distinct_denoted", true);
  rule.set("head", std::move(call.call));

  if (parts.size() == 2) {
    TRY(Json body, parse_proposition(parts[1]));
    rule.set("body", std::move(body));
  }
  rule.set("full_text", statement.to_string());
  return rule;
}

}  // namespace mirtova
