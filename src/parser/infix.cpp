// Infix and unary operators: the loosest operator found at the top level splits
// the text, and both sides are parsed as expressions.
#include <array>
#include <string>

#include "parser/depth_guard.h"
#include "parser/forms.h"
#include "parser/traverse.h"
#include "parser/tree_build.h"

namespace mirtova {

namespace {

// Loosest first; each entry is a precedence level of its own. Longer operators
// stand before the shorter ones they contain, so "<=" is never read as "<".
const std::vector<std::string_view>& operator_table() {
  static const std::vector<std::string_view> table = {
      "||",       "&&",   "->",  "==", "<=", ">=", "<", ">", "!=", "=", "~", " in ",
      " is not ", " is ", "++?", "++", "+",  "-",  "*", "/", "%",  "^", "!",
  };
  return table;
}

// A "-" right after one of these (ignoring blanks) is the sign of its operand.
bool is_unary_guard(char c) {
  switch (c) {
    case '!':
    case '%':
    case '&':
    case '*':
    case '+':
    case '-':
    case '/':
    case '<':
    case '=':
    case '>':
    case '^':
    case '|':
    case '~':
      return true;
    default:
      return false;
  }
}

// Bytes that may stand in a predicate name outside backquotes.
bool is_name_byte(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '+' || c == '-' ||
         c == '.' || c == '@' || c == '_' || c == '`';
}

// Top-level occurrences of every operator of a list, found in one traversal.
// Each operator's occurrences are collected left to right without overlap, as
// a split at that operator alone would cut the text.
struct Occurrences {
  struct Hits {
    size_t first = std::string_view::npos, last = std::string_view::npos;  // npos when absent
    size_t count = 0;
    size_t resume = 0;  // where the next occurrence may start
  };
  std::vector<Hits> hits;     // per operator
  std::vector<size_t> minus;  // every occurrence of "-", in order
  // Occurrences of "-" whose operand on the left ends in a byte that is
  // neither a unary guard nor ")": each certainly splits as a binary minus.
  size_t binary_minus_count = 0;
  bool has_implication_arrow = false;  // a top-level "=>"
  // The first top-level byte after the first non-blank one that no predicate
  // name can hold (a blank, say); no stripped text reaching past it is a call.
  size_t first_non_name_byte = std::string_view::npos;
};

// The operators a parse looks for, with the byte tables of their scan.
struct OperatorList {
  std::vector<std::string_view> operators;
  // Most top-level bytes start no operator; those are passed over at once.
  ByteSet starts_an_operator{};
  // Once the first byte that no name holds is known, the only top-level bytes
  // that matter are the operators' first bytes and "=".
  ByteSet stops{};
};

OperatorList operator_list(const std::vector<std::string_view>& ops,
                           const std::set<std::string_view>* disallowed) {
  OperatorList list;
  list.operators.reserve(ops.size());
  for (std::string_view op : ops)
    if (disallowed == nullptr || disallowed->count(op) == 0) list.operators.push_back(op);
  for (std::string_view op : list.operators)
    list.starts_an_operator[static_cast<unsigned char>(op[0])] = true;
  list.stops = kCodeStops;
  for (size_t c = 0; c < list.stops.size(); ++c) list.stops[c] = list.stops[c] || list.starts_an_operator[c];
  list.stops['='] = true;
  return list;
}

ParseResult<Occurrences> find_occurrences(const SpanString& text, const OperatorList& list) {
  const std::vector<std::string_view>& operators = list.operators;
  const std::string_view v = text.view();
  const size_t none = std::string_view::npos;
  Occurrences found;
  found.hits.resize(operators.size());
  size_t arrow_resume = 0;
  bool seen_non_blank = false;
  const ByteSet& starts_an_operator = list.starts_an_operator;
  const ByteSet& stops = list.stops;

  Traverser t(text);
  while (true) {
    if (found.first_non_name_byte != none) t.skip_plain(&stops);
    const TraverseStep s = t.next();
    if (s.status == TraverseStatus::End) break;
    if (s.status != TraverseStatus::Ok)
      return ParsingException("Parenthesis matches nothing.", text.slice(s.position, s.position + 1));
    const size_t p = s.position;
    if (s.depth != 0) {
      seen_non_blank = true;
      if (s.depth == 1) t.skip_inside();
      continue;
    }
    if (seen_non_blank && found.first_non_name_byte == none && !is_name_byte(v[p]))
      found.first_non_name_byte = p;
    if (!is_blank(v[p])) seen_non_blank = true;
    if (v[p] == '=' && p >= arrow_resume && v.substr(p, 2) == "=>") {
      found.has_implication_arrow = true;
      arrow_resume = p + 2;
    }
    if (!starts_an_operator[static_cast<unsigned char>(v[p])]) continue;
    for (size_t i = 0; i < operators.size(); ++i) {
      const std::string_view op = operators[i];
      Occurrences::Hits& hits = found.hits[i];
      if (op[0] != v[p] || p < hits.resume || v.substr(p, op.size()) != op) continue;
      if (hits.first == none) hits.first = p;
      hits.last = p;
      ++hits.count;
      hits.resume = p + op.size();
      if (op != "-") continue;
      found.minus.push_back(p);
      size_t before = p;
      while (before > 0 && is_blank(v[before - 1])) --before;
      if (before > 0 && v[before - 1] != ')' && !is_unary_guard(v[before - 1])) ++found.binary_minus_count;
    }
  }
  return found;
}

// True when splitting at operator `i` certainly leads to more nested left
// operands than the depth bound allows, so the chain can be refused without
// descending into it. Each left operand is a prefix of the text, in which the
// looser operators are as absent as in the whole text; with at least three
// occurrences of the operator left in it and the conditions below, no form
// that the expression parser tries before operators can take it (no keyword
// at its start, no "=>", no call name reaching over it, no literal with that
// many operators), so it splits at the same operator again, one level deeper.
bool chain_exceeds_depth(const SpanString& text, std::string_view op, size_t i, const Occurrences& found) {
  if (op == "~") return false;  // inside values "~" is no operator
  const size_t levels = op == "-" ? found.binary_minus_count : found.hits[i].count;
  if (levels < DepthGuard::limit() + 4) return false;
  if (found.has_implication_arrow) return false;
  const std::string_view v = strip_spaces(text).view();
  if (v.substr(0, 7) == "combine" || v.substr(0, 2) == "if") return false;
  bool op_fits_a_name = true;
  for (char c : op) op_fits_a_name = op_fits_a_name && is_name_byte(c);
  return !op_fits_a_name || found.first_non_name_byte < found.hits[i].first;
}

std::string_view trim_blanks(std::string_view op) {
  while (!op.empty() && op.front() == ' ') op.remove_prefix(1);
  while (!op.empty() && op.back() == ' ') op.remove_suffix(1);
  return op;
}

Json operand_field(const char* side, Json expression) {
  return make_object("field", side, "value", make_object("expression", std::move(expression)));
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
  // The table, whole or without "~" (as values ask for it), is scanned for on
  // nearly every expression; those two lists are made once and never changed.
  static const OperatorList kTable = operator_list(operator_table(), nullptr);
  static const std::set<std::string_view> kNoNegation = {"~"};
  static const OperatorList kTableWithoutNegation = operator_list(operator_table(), &kNoNegation);
  // So is the list of the logical operators, which every proposition tries.
  static const OperatorList kLogical = operator_list({"&&", "||"}, nullptr);
  OperatorList made;
  const OperatorList* list = &made;
  if (operators == nullptr && disallowed == nullptr)
    list = &kTable;
  else if (operators == nullptr && *disallowed == kNoNegation)
    list = &kTableWithoutNegation;
  else if (operators != nullptr && disallowed == nullptr && *operators == kLogical.operators)
    list = &kLogical;
  else
    made = operator_list(ops, disallowed);
  const std::vector<std::string_view>& allowed = list->operators;
  if (allowed.empty()) return MaybeNode();

  TRY(Occurrences found, find_occurrences(text, *list));
  for (size_t i = 0; i < allowed.size(); ++i) {
    const std::string_view op = allowed[i];
    size_t at = found.hits[i].last;
    if (at == std::string_view::npos) continue;
    if (op == "-") {
      at = binary_minus(text, found.minus);
      if (at == std::string_view::npos) continue;
    }
    const SpanString left = text.slice(0, at);
    if (op == "~" && !left.empty() && left[left.size() - 1] == '!') continue;  // "!~" is no negation
    if (operators == nullptr && chain_exceeds_depth(text, op, i, found))
      return ParsingException(kTooDeepMessage, text);

    const SpanString left_operand = strip(left);
    const SpanString right_operand = strip(text.slice(at + op.size(), text.size()));
    const std::string_view name = trim_blanks(op);
    if ((op == "!" || op == "-") && left_operand.empty()) {
      TRY(Json record, parse_record_internals(right_operand, false, false));
      return MaybeNode(make_object("predicate_name", name, "record", std::move(record)));
    }
    // "~" with nothing before it is a negation, which is not this parser's form.
    if (op == "~" && left_operand.empty()) return MaybeNode();

    TRY(Json left_tree, parse_expression(left_operand));
    TRY(Json right_tree, parse_expression(right_operand));
    Json fields = make_array(operand_field("left", std::move(left_tree)),
                             operand_field("right", std::move(right_tree)));
    return MaybeNode(
        make_object("predicate_name", name, "record", make_object("field_value", std::move(fields))));
  }
  return MaybeNode();
}

}  // namespace mirtova
