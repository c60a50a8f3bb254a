// The verifier's step over the @Assert statements.
#include "verifier/assertions.h"

#include <optional>
#include <set>
#include <utility>

#include "assertion/schema.h"
#include "common/bounds.h"
#include "common/strings.h"
#include "parser/tree_access.h"
#include "parser/tree_walk.h"
#include "verifier/references.h"

namespace mirtova::verifier {

namespace {

using assertion::AssertionError;
using assertion::AssertionErrorKind;
using assertion::Entry;
using assertion::TranslateError;

constexpr std::string_view kAssert = "@Assert";

// An argument's expression: its value's "expression", else the value itself.
const Json& argument_expression(const Json& field) {
  const Json& value = field.at("value");
  const Json* expression = value.get("expression");
  return expression != nullptr ? *expression : value;
}

// The statement as written, kept by import renaming beside the rewritten one.
std::optional<std::string> statement_source(const Json& expression) {
  const Json* literal = expression.get("literal");
  if (literal == nullptr) return std::nullopt;
  const Json* text = literal->get("the_string");
  const Json* holder = text != nullptr && text->is_object() ? text : literal;
  const Json* source = holder->get("statement_source");
  if (source == nullptr || !source->is_str()) return std::nullopt;
  return std::string(source->as_str());
}

// The assertions of a program, and the names its translations must know.
struct ProgramAssertions {
  std::vector<Entry> entries;  // rules in source order, arguments in written order
  SortedNames defined;
  SortedNames used;  // lower-cased
};

// Every predicate name the statements mention, lower-cased: heads, calls and
// predicate literals.
SortedNames used_names(const RuleList& full) {
  SortedNames used;
  for (const Json* statement : full)
    walk_tree(*statement, [&](const Json& node) {
      const Json* name = node.get("predicate_name");
      if (name != nullptr && name->is_str()) used.insert(ascii_lower(name->as_str()));
    });
  return used;
}

ProgramAssertions read_program(const RuleList& full, std::vector<AssertionError>& errors) {
  ProgramAssertions out;
  for (const Json* statement : full) {
    if (head_name(*statement) != kAssert) continue;
    for (Entry& entry : read_annotation(*statement, kAssert, errors)) out.entries.push_back(std::move(entry));
  }
  out.defined = defined_predicates(full);
  out.used = used_names(full);
  return out;
}

AssertionError malformed(std::string_view annotation, std::string message) {
  AssertionError e;
  e.kind = AssertionErrorKind::Malformed;
  e.annotation = std::string(annotation);
  e.message = std::move(message);
  return e;
}

AssertionError about(AssertionErrorKind kind, const Entry& entry, std::string message = {}) {
  AssertionError e;
  e.kind = kind;
  e.predicate = entry.predicate;
  e.name = entry.name;
  e.message = std::move(message);
  return e;
}

std::string pair_text(std::string_view predicate, std::string_view name) {
  std::string out(predicate);
  out += '.';
  out += name;
  return out;
}

}  // namespace

std::vector<Entry> read_annotation(const Json& rule, std::string_view annotation,
                                   std::vector<AssertionError>& errors) {
  const std::string usage = "expected " + std::string(annotation) + "(Predicate, name: \"...\")";
  const Json* record = rule.at("head").get("record");
  const Json* fields = record != nullptr ? record->get("field_value") : nullptr;
  if (fields == nullptr) {
    errors.push_back(malformed(annotation, "the first argument must be a predicate; " + usage));
    return {};
  }
  std::optional<std::string> predicate;
  std::vector<Entry> entries;
  for (const Json& field : fields->as_array()) {
    const Json& key = field.at("field");
    const Json& expression = argument_expression(field);
    if (key.is_int()) {
      if (key.as_int() != 0) {
        errors.push_back(malformed(annotation, "unexpected positional argument; " + usage));
        return {};
      }
      predicate = predicate_name(expression);
      continue;
    }
    const std::string name(key.as_str());
    std::optional<std::string> statement = string_literal(expression);
    if (!statement) {
      errors.push_back(malformed(annotation, "'" + name + "' must be a string"));
      return {};
    }
    std::optional<std::string> source = statement_source(expression);
    entries.push_back(Entry{{}, name, *statement, source ? std::move(*source) : *statement});
  }
  if (!predicate) {
    errors.push_back(malformed(annotation, "the first argument must be a predicate; " + usage));
    return {};
  }
  if (entries.empty()) {
    errors.push_back(malformed(annotation, "no named argument; " + usage));
    return {};
  }
  for (Entry& entry : entries) entry.predicate = *predicate;
  return entries;
}

AssertionFindings check_assertions(const RuleList& full) {
  AssertionFindings out;
  const ProgramAssertions program = read_program(full, out.errors);
  if (program.entries.empty()) return out;
  const assertion::Schema columns = assertion::schema(full);
  std::set<std::pair<std::string_view, std::string_view>> met;
  size_t message_bytes = 0;
  assertion::ColumnLists listed;
  for (const Entry& entry : program.entries) {
    if (!met.emplace(entry.predicate, entry.name).second) {
      out.errors.push_back(about(AssertionErrorKind::Duplicate, entry));
      continue;
    }
    assertion::AssertionReport report{entry.predicate, entry.name, entry.source,
                                      assertion::AssertionStatus::Unchecked, std::nullopt};
    auto translation = assertion::translate_assertion(entry, program.defined, columns, program.used, &listed);
    if (!translation.ok()) {
      const TranslateError& e = translation.error();
      switch (e.kind) {
        case TranslateError::Kind::Pending:
          report.status = assertion::AssertionStatus::Pending;
          report.detail = "waiting for " + join(e.predicates, ", ");
          break;
        case TranslateError::Kind::Invalid:
          report.status = assertion::AssertionStatus::Unsupported;
          message_bytes += e.message.size();
          out.past_bound = out.past_bound || message_bytes > kMaxScriptBytes;
          if (!out.past_bound) out.errors.push_back(about(AssertionErrorKind::Invalid, entry, e.message));
          break;
        case TranslateError::Kind::Unsupported:
          report.status = assertion::AssertionStatus::Unsupported;
          report.detail = e.message;
          break;
      }
    }
    out.reports.push_back(std::move(report));
  }
  return out;
}

Result<assertion::Translation, std::string> assertion_check(const RuleList& full, std::string_view predicate,
                                                            std::string_view name) {
  std::vector<AssertionError> dropped;
  const ProgramAssertions program = read_program(full, dropped);
  const Entry* found = nullptr;
  for (const Entry& entry : program.entries)
    if (entry.predicate == predicate && entry.name == name) {
      found = &entry;
      break;
    }
  const std::string pair = pair_text(predicate, name);
  if (found == nullptr) return make_err("No assertion '" + pair + "'");
  auto translation =
      assertion::translate_assertion(*found, program.defined, assertion::schema(full), program.used);
  if (translation.ok()) return std::move(translation).value();
  const TranslateError& e = translation.error();
  switch (e.kind) {
    case TranslateError::Kind::Pending:
      return make_err("Assertion '" + pair + "' is pending: waiting for " + join(e.predicates, ", "));
    case TranslateError::Kind::Invalid:
      return make_err("Invalid assertion '" + pair + "': " + e.message);
    case TranslateError::Kind::Unsupported:
      break;
  }
  return make_err("Assertion '" + pair + "' cannot be checked: " + e.message);
}

}  // namespace mirtova::verifier
