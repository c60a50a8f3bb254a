// The directive checks. Where the compiler refuses an annotation with the same
// words, its own reader decides, so that check and compile never disagree.
#include "verifier/directives.h"

#include <algorithm>
#include <iterator>
#include <optional>
#include <set>
#include <string_view>
#include <utility>

#include "assertion/schema.h"
#include "common/engines.h"
#include "common/strings.h"
#include "compiler/program/annotation_readers.h"
#include "compiler/program/name_catalogues.h"
#include "parser/tree_access.h"
#include "parser/tree_walk.h"
#include "parser/unicode_tables.h"
#include "parser/utf8.h"
#include "verifier/references.h"
#include "verifier/verify_error.h"

namespace mirtova::verifier {

namespace {

using FlagNames = std::set<std::string, std::less<>>;

FlagNames defined_flags(const RuleList& full) {
  FlagNames defined;
  for (const Json* statement : full) {
    if (head_name(*statement) != "@DefineFlag") continue;
    auto flag = read_define_flag(*statement);
    if (flag.ok() && flag.value()) defined.insert(flag.value()->name);
  }
  return defined;
}

// The flag names that FlagValue calls read, wherever they stand; a call whose
// first argument is no string literal reads none.
FlagNames flags_read(const RuleList& full) {
  FlagNames read;
  for (const Json* statement : full) {
    walk_tree(*statement, [&](const Json& node) {
      const Json* call = node.get("call");
      if (call == nullptr || !call->is_object()) return;
      const Json* name = call->get("predicate_name");
      if (name == nullptr || !name->is_str() || name->as_str() != "FlagValue") return;
      const Json::ArrayType& fields = call_fields(*call);
      if (fields.empty()) return;
      const Json* value = fields.front().get("value");
      if (value == nullptr) return;
      const Json* expression = value->get("expression");
      if (auto flag = string_literal(expression != nullptr ? *expression : *value))
        read.insert(std::move(*flag));
    });
  }
  return read;
}

// The source text with every Unicode white-space character left out.
std::string without_white_space(std::string_view text) {
  std::string out;
  size_t at = 0;
  while (at < text.size()) {
    std::optional<DecodedChar> decoded = decode_utf8(text, at);
    if (!decoded) {
      out += text[at++];
      continue;
    }
    if (!is_white_space(decoded->code_point)) out.append(text.substr(at, decoded->length));
    at += decoded->length;
  }
  return out;
}

std::string heritage(const Json& expression) {
  const Json* text = expression.get("expression_heritage");
  return text != nullptr && text->is_str() ? std::string(text->as_str()) : std::string();
}

// A depth of 1 or more, or -1 (also written "- 1", or ∞, which the parser
// stores as the number -1): the depths the compiler unfolds.
bool is_depth(const Json& expression) {
  std::optional<int64_t> n = limit_number(expression);
  if (n && (*n >= 1 || *n == -1)) return true;
  return without_white_space(heritage(expression)) == "-1";
}

struct Context {
  SortedNames defined;
  assertion::Schema columns;
  std::vector<DirectiveError> found;

  void add(std::string message, SharedText tail = {}) {
    found.push_back(DirectiveError{std::move(message), std::move(tail)});
  }
};

// The predicate a directive is about, when the program defines it; otherwise
// the finding, and none.
std::optional<std::string> about(Context& context, const Json& statement, const std::string& directive) {
  std::vector<const Json*> arguments = annotation_arguments(statement);
  std::optional<std::string> p = arguments.empty() ? std::nullopt : predicate_name(*arguments[0]);
  if (!p) {
    context.add(directive + " needs the predicate it is about as its first argument");
    return std::nullopt;
  }
  if (!context.defined.contains(*p) && !reserved_predicate_names().contains(*p)) {
    context.add(directive + "(" + *p + ") is about '" + *p + "', which the program does not define");
    return std::nullopt;
  }
  return p;
}

void check_limit(Context& context, const Json& statement) {
  auto limit = read_limit(statement);
  if (!limit.ok()) context.add(limit.error().message);
}

// The options the recursion unfolding reads by name, besides the depth.
constexpr std::string_view kRecursionOptions[] = {"stop", "ignition"};

void check_recursive(Context& context, const Json& statement, const std::string& p) {
  // The depth is the second positional argument; a named argument is one of
  // the unfolding's options, never the depth.
  std::vector<const Json*> positional;
  bool unknown_option = false;
  for (const Json& field : call_fields(statement.at("head"))) {
    const Json* expression = field_expression(field);
    if (expression == nullptr) continue;
    const Json& name = field.at("field");
    if (!name.is_str()) {
      positional.push_back(expression);
    } else if (std::find(std::begin(kRecursionOptions), std::end(kRecursionOptions), name.as_str()) ==
               std::end(kRecursionOptions)) {
      unknown_option = true;
    }
  }
  if (positional.size() > 2 || unknown_option) {
    context.add("@Recursive(" + p + "): takes the predicate and its depth only");
  } else if (positional.size() == 2 && !is_depth(*positional[1])) {
    context.add("@Recursive(" + p +
                "): the depth is a whole number of steps, 1 or more, or -1 to recurse until nothing changes");
  }
}

void check_order_by(Context& context, const Json& statement, const std::string& p) {
  std::vector<const Json*> arguments = annotation_arguments(statement);
  auto columns = context.columns.find(p);
  // Made at the first unknown column, and shared by every finding of the statement.
  std::optional<std::set<std::string_view, std::less<>>> known_columns;
  std::optional<SharedText> listed;
  for (size_t i = 1; i < arguments.size(); ++i) {
    auto item = read_order_item(statement, p, *arguments[i]);
    if (!item.ok()) {
      context.add(item.error().message);
      continue;
    }
    std::string_view word = words_of(item.value()).front();
    if (equals_ascii_lower(word, "asc") || equals_ascii_lower(word, "desc")) continue;
    if (columns == context.columns.end()) continue;
    // A head with a rest field ("..r") takes its columns from a row that the
    // schema does not list: there is nothing to test the column against.
    if (std::find(columns->second.begin(), columns->second.end(), "*") != columns->second.end()) continue;
    if (!known_columns) known_columns.emplace(columns->second.begin(), columns->second.end());
    if (known_columns->count(word) != 0) continue;
    if (!listed) listed = SharedText("' (its columns: " + join(columns->second, ", ") + ")");
    context.add("@OrderBy(" + p + "): '" + p + "' has no column '" + std::string(word), *listed);
  }
}

}  // namespace

std::string DirectiveError::text() const { return verifier::text(DirectiveMessage{message + tail.str()}); }

std::vector<DirectiveError> check_directives(const RuleList& full) {
  Context context;
  context.defined = defined_predicates(full);
  context.columns = assertion::schema(full);

  const FlagNames defined = defined_flags(full);
  for (const std::string& flag : flags_read(full)) {
    if (!defined.contains(flag))
      context.add("Undefined flag '" + flag + "': define it with @DefineFlag(\"" + flag + "\", value)");
  }

  // Only the first @Engine names the engine, as in a compilation.
  bool engine_named = false;
  for (const Json* statement : full) {
    const std::string name(head_name(*statement));
    if (name == "@Engine") {
      auto engine = read_engine(*statement);
      if (!engine.ok()) {
        context.add(engine.error().message);
      } else if (!std::exchange(engine_named, true) && !mirtova::engine_named(engine.value().engine)) {
        context.add(unsupported_engine_message(engine.value().engine));
      }
    } else if (name == "@NoInject" || name == "@With" || name == "@CompileAsUdf") {
      auto predicate = read_first_predicate(*statement);
      if (!predicate.ok()) context.add(predicate.error().message);
    } else if (name == "@Iteration") {
      auto iteration = read_iteration(*statement);
      if (!iteration.ok()) context.add(iteration.error().message);
    } else if (name == "@Dataset") {
      auto dataset = read_dataset(*statement);
      if (!dataset.ok()) context.add(dataset.error().message);
    } else if (name == "@AttachDatabase") {
      auto refused = read_attach_database(*statement);
      if (!refused.ok()) context.add(refused.error().message);
    } else if (name == "@Ground") {
      std::optional<CompileError> refused = refuse_copy_to_file(*statement);
      if (refused) context.add(refused->message);
      if (about(context, *statement, name) && !refused) {
        auto ground = read_ground(*statement);
        if (!ground.ok()) context.add(ground.error().message);
      }
    } else if (name == "@OrderBy" || name == "@Limit" || name == "@Recursive") {
      std::optional<std::string> p = about(context, *statement, name);
      if (!p) continue;
      if (name == "@OrderBy") check_order_by(context, *statement, *p);
      if (name == "@Limit") check_limit(context, *statement);
      if (name == "@Recursive") check_recursive(context, *statement, *p);
    }
  }
  return std::move(context.found);
}

}  // namespace mirtova::verifier
