#include "assertion/schema.h"

#include <functional>
#include <optional>
#include <queue>
#include <string_view>
#include <tuple>

#include "parser/tree_access.h"

namespace mirtova::assertion {

namespace {

// The columns a rule's head names, or nothing when a field is positional.
std::optional<std::vector<std::string>> named_columns(const Json& rule) {
  std::vector<std::string> columns;
  for (const Json& field : call_fields(rule.at("head"))) {
    const Json& name = field.at("field");
    if (!name.is_str()) return std::nullopt;
    columns.emplace_back(name.as_str());
  }
  return columns;
}

struct MakePair {
  std::string made, source;
};

// The (made, source) pair of a "@Make" rule whose first two arguments are
// predicate literals.
std::optional<MakePair> make_pair_of(const Json& rule) {
  const Json::ArrayType& fields = call_fields(rule.at("head"));
  if (fields.size() < 2) return std::nullopt;
  std::optional<std::string_view> names[2];
  for (size_t i = 0; i < 2; ++i) {
    if (const Json* expression = field_expression(fields[i])) names[i] = predicate_literal_name(*expression);
    if (!names[i]) return std::nullopt;
  }
  return MakePair{std::string(*names[0]), std::string(*names[1])};
}

// Copies columns along the pairs as repeated passes over them in order would,
// a pass giving a made predicate without an entry the columns of a source that
// has one, until a pass adds nothing. Rather than repeating passes (quadratic
// on a long chain listed backwards), each pair fires at the first point of the
// pass order after its source got its entry: in the same pass when the pair
// comes later, else in the next. The earliest such point, taken first, decides.
void copy_made_columns(const std::vector<MakePair>& pairs, Schema& out) {
  using Moment = std::tuple<size_t, size_t>;  // (pass, pair index)
  std::priority_queue<Moment, std::vector<Moment>, std::greater<>> due;
  std::unordered_map<std::string_view, std::vector<size_t>> by_source;
  for (size_t i = 0; i < pairs.size(); ++i) {
    by_source[pairs[i].source].push_back(i);
    if (out.contains(pairs[i].source)) due.emplace(1, i);
  }
  while (!due.empty()) {
    const auto [pass, i] = due.top();
    due.pop();
    const MakePair& pair = pairs[i];
    if (out.contains(pair.made)) continue;
    out.emplace(pair.made, out.find(pair.source)->second);
    auto waiting = by_source.find(pair.made);
    if (waiting == by_source.end()) continue;
    for (size_t j : waiting->second) due.emplace(j > i ? pass : pass + 1, j);
  }
}

}  // namespace

Schema schema(const Json::ArrayType& rules) {
  std::vector<const Json*> refs;
  refs.reserve(rules.size());
  for (const Json& rule : rules) refs.push_back(&rule);
  return schema(refs);
}

Schema schema(const std::vector<const Json*>& rules) {
  Schema out;
  std::vector<MakePair> pairs;
  for (const Json* rule_ref : rules) {
    const Json& rule = *rule_ref;
    const std::string_view name = head_name(rule);
    if (name.starts_with("@")) {
      if (name == "@Make")
        if (std::optional<MakePair> pair = make_pair_of(rule)) pairs.push_back(std::move(*pair));
      continue;
    }
    if (out.contains(name)) continue;
    if (std::optional<std::vector<std::string>> columns = named_columns(rule))
      out.emplace(name, std::move(*columns));
  }
  copy_made_columns(pairs, out);
  return out;
}

}  // namespace mirtova::assertion
