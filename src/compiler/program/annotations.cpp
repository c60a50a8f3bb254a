// Reading the annotation statements, and the texts they yield.
#include "compiler/program/annotations.h"

#include <charconv>

#include "common/strings.h"
#include "compiler/dialects/dialect.h"
#include "compiler/dialects/quoting.h"
#include "compiler/functors/loop_stop.h"
#include "parser/tree_access.h"

namespace mirtova {

namespace {

constexpr std::string_view kNeedsPredicate =
    "This annotation requires predicate symbol as the first positional argument.";

bool is_ascii_letter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool is_ascii_digit(char c) { return c >= '0' && c <= '9'; }
bool is_space(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }

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

Result<std::string, CompileError> first_predicate(const Json& rule) {
  auto args = annotation_arguments(rule);
  if (args.empty()) return CompileError(std::string(kNeedsPredicate), rule_text(rule));
  auto name = predicate_name(*args[0]);
  if (!name) return CompileError(std::string(kNeedsPredicate), rule_text(rule));
  return *name;
}

// The text a flag's value reads as: a literal's own text, else the source text.
std::string flag_value_text(const Json& expr) {
  if (auto s = string_literal(expr)) return *s;
  if (const Json* lit = expr.get("literal")) {
    if (const Json* n = lit->get("the_number")) return n->at("number").as_str();
    if (const Json* b = lit->get("the_bool")) return b->at("the_bool").as_str();
  }
  const Json* heritage = expr.get("expression_heritage");
  return heritage && heritage->is_str() ? heritage->as_str() : std::string();
}

bool is_column_word(std::string_view w) {
  if (w.empty() || !(is_ascii_letter(w[0]) || w[0] == '_')) return false;
  for (char c : w)
    if (!(is_ascii_letter(c) || is_ascii_digit(c) || c == '_')) return false;
  return true;
}

}  // namespace

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

Result<Annotations, CompileError> Annotations::extract(const std::vector<Json>& rules,
                                                       const std::optional<std::string>& engine) {
  Annotations a;
  std::optional<std::string> engine_named;
  for (const Json& rule : rules) {
    const std::string& name = head_name(rule);
    if (name.empty() || name[0] != '@') continue;
    const std::string text = rule_text(rule);
    auto args = annotation_arguments(rule);
    if (name == "@Engine") {
      auto e = args.empty() ? std::nullopt : string_literal(*args[0]);
      if (!e)
        return CompileError("@Engine needs the engine's name as a text, as in @Engine(\"duckdb\")", text);
      if (!engine_named) engine_named = *e;
      if (const Json* tc = named_argument(rule, "type_checking"))
        if (const Json* lit = tc->get("literal"))
          if (const Json* b = lit->get("the_bool")) a.type_checking_ = b->at("the_bool").as_str() != "false";
    } else if (name == "@Limit") {
      TRY(std::string p, first_predicate(rule));
      auto n = args.size() >= 2 ? limit_number(*args[1]) : std::nullopt;
      if (!n || *n < 0)
        return CompileError("@Limit(" + p + "): the limit must be a whole number of rows, 0 or more", text);
      a.limits_[p] = static_cast<uint64_t>(*n);
    } else if (name == "@OrderBy") {
      TRY(std::string p, first_predicate(rule));
      std::vector<std::string> items;
      for (size_t i = 1; i < args.size(); ++i) {
        auto item = predicate_name(*args[i]);
        if (!item) item = string_literal(*args[i]);
        if (!item)
          return CompileError("@OrderBy(" + p + "): each argument is a column name, as a string", text);
        if (auto err = order_by_item_error(*item)) return CompileError("@OrderBy(" + p + "): " + *err, text);
        items.push_back(*item);
      }
      a.order_by_[p] = std::move(items);
    } else if (name == "@Ground") {
      for (const Json& field : call_fields(rule.at("head"))) {
        const Json& f = field.at("field");
        if (f.is_str() && f.as_str() == "copy_to_file")
          return CompileError("@Ground: copy_to_file is not supported: a program writes no file", text);
      }
      TRY(std::string p, first_predicate(rule));
      std::string owner = p;
      if (args.size() >= 2) {
        auto o = predicate_name(*args[1]);
        if (!o) return CompileError(std::string(kNeedsPredicate), text);
        owner = *o;
      }
      a.grounds_[p] = GroundDef{p, owner};
    } else if (name == "@NoInject" || name == "@With") {
      TRY(std::string p, first_predicate(rule));
      a.not_injected_.insert(p);
    } else if (name == "@CompileAsUdf") {
      TRY(std::string p, first_predicate(rule));
      a.compiled_as_udf_.insert(p);
    } else if (name == "@Iteration") {
      TRY(std::string p, first_predicate(rule));
      CompileError bad(
          "@Iteration(" + p + "): predicates must be a list of predicates and repetitions a whole number",
          text);
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
      a.iterations_.push_back(std::move(it));
    } else if (name == "@DefineFlag") {
      if (args.empty()) continue;
      auto flag = string_literal(*args[0]);
      if (!flag) continue;
      a.flags_[*flag] = args.size() >= 2 ? flag_value_text(*args[1]) : std::string();
    } else if (name == "@Dataset") {
      if (args.empty()) continue;
      std::string d = flag_value_text(*args[0]);
      if (!is_schema_name(d))
        return CompileError(
            "@Dataset: '" + d +
                "' is not a schema name: write names of letters, digits, '_' and '-', joined by '.'",
            text);
      a.dataset_ = d;
    } else if (name == "@AttachDatabase") {
      return CompileError(
          "@AttachDatabase is not supported: a program reads the tables of the database it runs on, not "
          "files",
          text);
    }
  }
  a.engine_ = engine ? *engine : engine_named ? *engine_named : std::string("duckdb");
  return a;
}

std::optional<uint64_t> Annotations::limit_of(std::string_view predicate) const {
  auto it = limits_.find(predicate);
  if (it == limits_.end()) return std::nullopt;
  return it->second;
}

const std::vector<std::string>& Annotations::order_by_of(std::string_view predicate) const {
  static const std::vector<std::string> kNone;
  auto it = order_by_.find(predicate);
  return it == order_by_.end() ? kNone : it->second;
}

const GroundDef* Annotations::ground_of(std::string_view predicate) const {
  auto it = grounds_.find(predicate);
  return it == grounds_.end() ? nullptr : &it->second;
}

bool Annotations::owns_table_of_other(std::string_view predicate) const {
  for (const auto& [p, g] : grounds_)
    if (g.table_of == predicate && p != predicate) return true;
  return false;
}

bool Annotations::not_injected(std::string_view predicate) const {
  return not_injected_.count(predicate) > 0;
}

const IterationDef* Annotations::iteration_of(std::string_view predicate) const {
  for (const IterationDef& it : iterations_) {
    if (it.accumulate && *it.accumulate == predicate) return &it;
    for (const std::string& m : it.predicates)
      if (m == predicate) return &it;
  }
  return nullptr;
}

std::string Annotations::preamble() const {
  // Recent DuckDB refuses "x -> ..." lambdas, which the number and rounding
  // templates use, unless the session allows them.
  if (engine_ == "duckdb")
    return "SET lambda_syntax = 'ENABLE_SINGLE_ARROW';\n"
           "create sequence if not exists eternal_logical_sequence;\n"
           "CREATE TYPE IF NOT EXISTS quorilrecord893574736 AS STRUCT(nirvana NUMERIC);";
  if (engine_ == "psql")
    return "DO $$ BEGIN IF NOT EXISTS (SELECT 1 FROM pg_type WHERE typname = 'quorilrecord893574736') THEN "
           "CREATE "
           "TYPE quorilrecord893574736 AS (nirvana numeric); END IF; END $$;";
  return {};
}

std::string Annotations::default_table(std::string_view predicate) const {
  std::string name = clean_name(predicate);
  if (is_sql_reserved_word(name)) name += "_table";
  return dataset_ ? *dataset_ + "." + name : name;
}

std::string Annotations::order_by_clause(std::string_view predicate, const Dialect* dialect) const {
  std::string out;
  for (const std::string& item : order_by_of(predicate)) {
    if (!out.empty()) out += ", ";
    std::string lower = ascii_lower(item);
    auto lower_words = words_of(lower);
    bool descending = false, has_nulls = false;
    for (std::string_view w : lower_words) {
      descending = descending || w == "desc";
      has_nulls = has_nulls || w == "nulls";
    }
    // The column word is quoted when it must be; the rest of the item stays as written.
    std::string written = item;
    auto words = words_of(item);
    if (dialect && !words.empty() && !equals_ascii_lower(words[0], "asc") &&
        !equals_ascii_lower(words[0], "desc")) {
      size_t at = static_cast<size_t>(words[0].data() - item.data());
      written = item.substr(0, at) + sql_column(words[0], *dialect) + item.substr(at + words[0].size());
    }
    if (dialect && dialect->nulls_first_by_default(descending) && !has_nulls) written += " NULLS LAST";
    out += written;
  }
  return out;
}

}  // namespace mirtova
