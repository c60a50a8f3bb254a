// The readers of annotation statements, and the checks of the texts they hold.
#include "compiler/program/annotation_readers.h"

#include <charconv>

#include "common/strings.h"
#include "compiler/functors/loop_stop.h"
#include "parser/tree_access.h"

namespace mirtova {

namespace {

constexpr std::string_view kNeedsPredicate =
    "This annotation requires predicate symbol as the first positional argument.";

bool is_ascii_letter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool is_ascii_digit(char c) { return c >= '0' && c <= '9'; }
bool is_space(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }

std::vector<std::string_view> split_dots(std::string_view text) {
  std::vector<std::string_view> parts;
  size_t start = 0;
  for (;;) {
    size_t dot = text.find('.', start);
    parts.push_back(text.substr(start, dot == std::string_view::npos ? std::string_view::npos : dot - start));
    if (dot == std::string_view::npos) break;
    start = dot + 1;
  }
  return parts;
}

// The text a flag's value reads as: a literal's own text, else the source text.
std::string flag_value_text(const Json& expr) {
  if (auto s = string_literal(expr)) return *s;
  if (const Json* lit = expr.get("literal")) {
    if (const Json* n = lit->get("the_number")) return std::string(n->at("number").as_str());
    if (const Json* b = lit->get("the_bool")) return std::string(b->at("the_bool").as_str());
  }
  const Json* heritage = expr.get("expression_heritage");
  return heritage && heritage->is_str() ? std::string(heritage->as_str()) : std::string();
}

bool is_column_word(std::string_view w) {
  if (w.empty() || !(is_ascii_letter(w[0]) || w[0] == '_')) return false;
  for (char c : w)
    if (!(is_ascii_letter(c) || is_ascii_digit(c) || c == '_')) return false;
  return true;
}

}  // namespace

std::vector<std::string_view> words_of(std::string_view text) {
  std::vector<std::string_view> words;
  size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && is_space(text[i])) ++i;
    size_t start = i;
    while (i < text.size() && !is_space(text[i])) ++i;
    if (i > start) words.push_back(text.substr(start, i - start));
  }
  return words;
}

Result<std::string, CompileError> read_first_predicate(const Json& rule) {
  auto args = annotation_arguments(rule);
  if (args.empty()) return CompileError(std::string(kNeedsPredicate), rule_text(rule));
  auto name = predicate_name(*args[0]);
  if (!name) return CompileError(std::string(kNeedsPredicate), rule_text(rule));
  return *name;
}

Result<EngineAnnotation, CompileError> read_engine(const Json& rule) {
  auto args = annotation_arguments(rule);
  auto engine = args.empty() ? std::nullopt : string_literal(*args[0]);
  if (!engine)
    return CompileError("@Engine needs the engine's name as a text, as in @Engine(\"duckdb\")",
                        rule_text(rule));
  EngineAnnotation read{*engine, std::nullopt};
  if (const Json* tc = named_argument(rule, "type_checking"))
    if (const Json* lit = tc->get("literal"))
      if (const Json* b = lit->get("the_bool")) read.type_checking = b->at("the_bool").as_str() != "false";
  return read;
}

Result<LimitAnnotation, CompileError> read_limit(const Json& rule) {
  TRY(std::string p, read_first_predicate(rule));
  auto args = annotation_arguments(rule);
  auto n = args.size() >= 2 ? limit_number(*args[1]) : std::nullopt;
  if (!n || *n < 0)
    return CompileError("@Limit(" + p + "): the limit must be a whole number of rows, 0 or more",
                        rule_text(rule));
  return LimitAnnotation{std::move(p), static_cast<uint64_t>(*n)};
}

Result<std::string, CompileError> read_order_item(const Json& rule, const std::string& predicate,
                                                  const Json& item) {
  auto text = predicate_name(item);
  if (!text) text = string_literal(item);
  if (!text)
    return CompileError("@OrderBy(" + predicate + "): each argument is a column name, as a string",
                        rule_text(rule));
  if (auto error = order_by_item_error(*text))
    return CompileError("@OrderBy(" + predicate + "): " + *error, rule_text(rule));
  return *text;
}

Result<OrderByAnnotation, CompileError> read_order_by(const Json& rule) {
  TRY(std::string p, read_first_predicate(rule));
  auto args = annotation_arguments(rule);
  OrderByAnnotation read{p, {}};
  for (size_t i = 1; i < args.size(); ++i) {
    TRY(std::string item, read_order_item(rule, p, *args[i]));
    read.items.push_back(std::move(item));
  }
  return read;
}

std::optional<CompileError> refuse_copy_to_file(const Json& rule) {
  for (const Json& field : call_fields(rule.at("head"))) {
    const Json& f = field.at("field");
    if (f.is_str() && f.as_str() == "copy_to_file")
      return CompileError("@Ground: copy_to_file is not supported: a program writes no file",
                          rule_text(rule));
  }
  return std::nullopt;
}

Result<GroundDef, CompileError> read_ground(const Json& rule) {
  if (std::optional<CompileError> refused = refuse_copy_to_file(rule)) return *refused;
  TRY(std::string p, read_first_predicate(rule));
  auto args = annotation_arguments(rule);
  std::string owner = p;
  if (args.size() >= 2) {
    auto o = predicate_name(*args[1]);
    if (!o)
      return CompileError("@Ground(" + p +
                              "): the second argument names the predicate whose table receives the rows, "
                              "as in @Ground(" +
                              p + ", Other)",
                          rule_text(rule));
    owner = *o;
  }
  return GroundDef{std::move(p), std::move(owner)};
}

Result<std::string, CompileError> read_no_inject(const Json& rule) { return read_first_predicate(rule); }

Result<std::string, CompileError> read_compile_as_udf(const Json& rule) { return read_first_predicate(rule); }

Result<IterationDef, CompileError> read_iteration(const Json& rule) {
  TRY(std::string p, read_first_predicate(rule));
  const std::string text = rule_text(rule);
  CompileError bad(
      "@Iteration(" + p + "): predicates must be a list of predicates and repetitions a whole number", text);
  IterationDef it;
  it.name = p;
  it.full_text = text;
  const Json* preds = named_argument(rule, "predicates");
  const Json* list = preds && preds->get("literal") ? preds->at("literal").get("the_list") : nullptr;
  if (!list) return bad;
  if (const Json* elements = list->get("element"))
    for (const Json& e : elements->as_array()) {
      auto member = predicate_name(e);
      if (!member) return bad;
      it.predicates.push_back(*member);
    }
  const Json* reps = named_argument(rule, "repetitions");
  auto n = reps ? limit_number(*reps) : std::nullopt;
  if (!n) return bad;
  it.repetitions = *n;
  if (const Json* s = named_argument(rule, "stop_signal")) it.stop_signal = string_literal(*s);
  if (const Json* acc = named_argument(rule, "accumulate")) {
    it.accumulate = predicate_name(*acc);
    if (!it.accumulate) return bad;
  }
  if (const Json* stop = rule.get(kLoopStopKey); stop && stop->is_str()) {
    if (stop->as_str() == kStopWhenLevelsAgree) it.stop = LoopStop::NewestLevelsAgree;
    if (stop->as_str() == kStopWithoutNewRows) it.stop = LoopStop::NoNewRows;
  }
  return it;
}

Result<std::optional<FlagDefinition>, CompileError> read_define_flag(const Json& rule) {
  using Read = std::optional<FlagDefinition>;
  auto args = annotation_arguments(rule);
  if (args.empty()) return Read();
  auto flag = string_literal(*args[0]);
  if (!flag) return Read();
  return Read(FlagDefinition{*flag, args.size() >= 2 ? flag_value_text(*args[1]) : std::string()});
}

Result<std::optional<std::string>, CompileError> read_dataset(const Json& rule) {
  using Read = std::optional<std::string>;
  auto args = annotation_arguments(rule);
  if (args.empty()) return Read();
  std::string d = flag_value_text(*args[0]);
  if (!is_schema_name(d))
    return CompileError(
        "@Dataset: '" + d +
            "' is not a schema name: write names of letters, digits, '_' and '-', joined by '.'",
        rule_text(rule));
  return Read(std::move(d));
}

Result<Unit, CompileError> read_attach_database(const Json& rule) {
  return CompileError(
      "@AttachDatabase is not supported: a program reads the tables of the database it runs on, not files",
      rule_text(rule));
}

std::optional<int64_t> limit_number(const Json& expr) {
  const Json* lit = expr.get("literal");
  if (!lit) return std::nullopt;
  const Json* num = lit->get("the_number");
  if (!num) return std::nullopt;
  if (num->is_int()) return num->as_int();
  const Json* text = num->get("number");
  if (!text || !text->is_str()) return std::nullopt;
  std::string_view t = text->as_str();
  bool negative = false;
  if (!t.empty() && (t[0] == '+' || t[0] == '-')) {
    negative = t[0] == '-';
    t.remove_prefix(1);
  }
  if (t.empty()) return std::nullopt;
  for (char c : t)
    if (!is_ascii_digit(c)) return std::nullopt;
  // Parsed as unsigned so that the most negative value is reachable.
  uint64_t magnitude = 0;
  auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), magnitude);
  if (ec != std::errc() || end != t.data() + t.size()) return std::nullopt;
  if (negative) {
    if (magnitude > uint64_t{1} << 63) return std::nullopt;
    return magnitude == uint64_t{1} << 63 ? INT64_MIN : -static_cast<int64_t>(magnitude);
  }
  if (magnitude > static_cast<uint64_t>(INT64_MAX)) return std::nullopt;
  return static_cast<int64_t>(magnitude);
}

bool is_schema_name(std::string_view text) {
  if (text.empty()) return false;
  for (std::string_view part : split_dots(text)) {
    if (part.empty() || part[0] == '-') return false;
    for (char c : part)
      if (!(is_ascii_letter(c) || is_ascii_digit(c) || c == '_' || c == '-')) return false;
  }
  return true;
}

std::optional<std::string> order_by_item_error(std::string_view item) {
  auto words = words_of(item);
  auto bad = [&] {
    return "'" + std::string(item) +
           "' is not a column to order by: write a column name, optionally followed by ASC or DESC";
  };
  if (words.empty() || !is_column_word(words[0])) return bad();
  size_t i = 1;
  if (words.size() > 1 && (equals_ascii_lower(words[0], "asc") || equals_ascii_lower(words[0], "desc")))
    return bad();
  if (i < words.size() && (equals_ascii_lower(words[i], "asc") || equals_ascii_lower(words[i], "desc"))) ++i;
  if (i + 1 < words.size() && equals_ascii_lower(words[i], "nulls") &&
      (equals_ascii_lower(words[i + 1], "first") || equals_ascii_lower(words[i + 1], "last")))
    i += 2;
  if (i != words.size()) return bad();
  return std::nullopt;
}

bool is_table_name(std::string_view name) {
  if (name.empty()) return false;
  bool quoted = name.size() >= 2 && name.front() == '`' && name.back() == '`';
  if (quoted) name = name.substr(1, name.size() - 2);
  for (std::string_view part : split_dots(name)) {
    if (part.empty()) return false;
    for (size_t i = 0; i < part.size(); ++i) {
      char c = part[i];
      bool ok = is_ascii_letter(c) || c == '_' || (i > 0 || quoted ? is_ascii_digit(c) : false) ||
                (quoted && c == '-');
      if (!ok) return false;
    }
  }
  return true;
}

}  // namespace mirtova
