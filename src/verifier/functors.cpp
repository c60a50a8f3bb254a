// The functor check. The application is the compiler's own, run on a copy of
// the statements, so a program the check passes is one the compiler can build.
#include "verifier/functors.h"

#include <map>
#include <set>
#include <unordered_set>
#include <utility>

#include "common/string_hash.h"
#include "compiler/functors/functors.h"
#include "compiler/functors/generated_names.h"
#include "compiler/functors/run_makes.h"
#include "compiler/functors/unfold_recursion.h"
#include "compiler/program/name_catalogues.h"
#include "parser/names.h"
#include "parser/tree_access.h"
#include "parser/tree_walk.h"
#include "verifier/verify_error.h"

namespace mirtova::verifier {

namespace {

// The predicate a literal names, read from a field's value.
std::optional<std::string> literal_predicate(const Json& field) {
  const Json& value = field.at("value");
  const Json* expression = value.get("expression");
  auto name = predicate_literal_name(expression != nullptr ? *expression : value);
  if (!name) return std::nullopt;
  return std::string(*name);
}

bool may_name_a_predicate(std::string_view name) { return !name.empty() && name[0] >= 'A' && name[0] <= 'Z'; }

bool is_value_field(const Json& field) {
  const Json* name = field.get("field");
  return name != nullptr && name->is_str() && name->as_str() == "quoril_value";
}

using NameSet = std::unordered_set<std::string, StringHash, std::equal_to<>>;

// The predicates that stand for a number or a text passed to a functor.
NameSet constants_of(const RuleList& full, const std::vector<Json>& applied) {
  NameSet own, constants;
  for (const Json* statement : full) own.emplace(head_name(*statement));
  for (const Json& rule : applied) {
    const std::string name(head_name(rule));
    const Json::ArrayType& fields = call_fields(rule.at("head"));
    if (!own.contains(name) && !rule.has("body") && fields.size() == 1 && is_value_field(fields[0]))
      constants.insert(name);
  }
  return constants;
}

// A number or a text passed to a functor becomes a predicate of no columns
// but its value: a rule of the functor that reads a column of it is refused
// by the compiler, in these words, the first such column of each reading.
std::vector<FunctorError> constants_read_as_relations(const NameSet& constants,
                                                      const std::vector<Json>& applied) {
  std::vector<FunctorError> errors;
  if (constants.empty()) return errors;
  NameSet reported;
  for (const Json& rule : applied) {
    walk_tree(rule, [&](const Json& node) {
      const Json* predicate = node.get("predicate");
      const Json* name = predicate != nullptr ? predicate->get("predicate_name") : nullptr;
      if (name == nullptr || !name->is_str() || !constants.contains(name->as_str())) return;
      for (const Json& field : call_fields(*predicate)) {
        if (is_value_field(field)) continue;
        const Json& column = field.at("field");
        std::string message =
            "Predicate '" + std::string(name->as_str()) + "' has no column '" +
            (column.is_str() ? std::string(column.as_str()) : "col" + std::to_string(column.as_int())) + "'.";
        if (reported.insert(message).second) errors.push_back(FunctorError{std::move(message)});
        return;
      }
    });
  }
  return errors;
}

// A predicate passed to a functor is read by the columns that the functor's
// rules read of the predicate it stands for: the compiler refuses a copy that
// reads a column its predicate lacks, in these words. A column the program's
// own rules (and the copies the recursion unfolding made of them) read amiss
// is the arity check's finding; a constant's, the one above.
std::vector<FunctorError> columns_missing_in_copies(const NameSet& constants,
                                                    const std::vector<Json>& unfolded,
                                                    const std::vector<Json>& applied) {
  std::map<std::string, std::set<std::string, std::less<>>, std::less<>> columns;
  NameSet rows;  // predicates whose head passes a row on: their columns are another's
  for (const Json& rule : applied) {
    const std::string name(head_name(rule));
    auto& mine = columns[name];
    for (const Json& field : call_fields(rule.at("head"))) {
      std::string column = field_column(field);
      if (column == "*") rows.insert(name);
      mine.insert(std::move(column));
    }
  }
  // Calls `each(predicate, column)` for every column a call under `rule` reads
  // and its predicate's rules do not define.
  auto missing = [&](const Json& rule, auto&& each) {
    walk_tree(rule, [&](const Json& node) {
      const Json* predicate = node.get("predicate");
      const Json* name = predicate != nullptr ? predicate->get("predicate_name") : nullptr;
      if (name == nullptr || !name->is_str() || constants.contains(name->as_str()) ||
          rows.contains(name->as_str()))
        return;
      auto defined = columns.find(name->as_str());
      if (defined == columns.end()) return;
      for (const Json& field : call_fields(*predicate)) {
        std::string column = field_column(field);
        if (column != "*" && !defined->second.contains(column)) each(defined->first, column);
      }
    });
  };
  NameSet own_heads;
  std::set<std::pair<std::string, std::string>> own_misses;
  for (const Json& rule : unfolded) {
    own_heads.emplace(head_name(rule));
    missing(rule, [&](const std::string& predicate, const std::string& column) {
      own_misses.emplace(predicate, column);
    });
  }
  std::vector<FunctorError> errors;
  std::set<std::string, std::less<>> reported;
  for (const Json& rule : applied) {
    if (own_heads.contains(head_name(rule))) continue;
    missing(rule, [&](const std::string& predicate, const std::string& column) {
      if (own_misses.contains({predicate, column})) return;
      std::string message = "Predicate '" + predicate + "' has no column '" + column + "'.";
      if (reported.insert(message).second) errors.push_back(FunctorError{std::move(message)});
    });
  }
  return errors;
}

}  // namespace

std::string FunctorError::text() const { return verifier::text(FunctorMessage{message}); }

std::optional<FunctorNames> functor_names(const Json& statement) {
  const Json::ArrayType& fields = call_fields(statement.at("head"));
  if (fields.size() < 2) return std::nullopt;
  FunctorNames names;
  std::optional<std::string> made = literal_predicate(fields[0]);
  std::optional<std::string> functor = literal_predicate(fields[1]);
  if (!made || !functor) return std::nullopt;
  names.made = std::move(*made);
  names.functor = std::move(*functor);
  if (fields.size() < 3) return names;
  const Json& value = fields[2].at("value");
  const Json* expression = value.get("expression");
  const Json* record = (expression != nullptr ? *expression : value).get("record");
  if (record == nullptr) return names;
  const Json* arguments = record->get("field_value");
  if (arguments == nullptr) return names;
  for (const Json& argument : arguments->as_array())
    if (std::optional<std::string> name = literal_predicate(argument))
      names.arguments.push_back(std::move(*name));
  return names;
}

std::vector<FunctorError> check_functors(const RuleList& full) {
  std::vector<const Json*> makes;
  for (const Json* statement : full)
    if (head_name(*statement) == "@Make") makes.push_back(statement);
  if (makes.empty()) return {};

  std::vector<std::optional<FunctorNames>> names;
  std::unordered_set<std::string, StringHash, std::equal_to<>> known;
  for (const Json* statement : full) {
    const std::string name(head_name(*statement));
    if (!is_annotation_name(name)) known.insert(name);
  }
  for (const Json* statement : makes) {
    names.push_back(functor_names(*statement));
    if (names.back()) known.insert(names.back()->made);
  }

  std::vector<FunctorError> errors;
  for (const std::optional<FunctorNames>& make : names) {
    if (!make) continue;
    auto test = [&](const std::string& name) {
      if (!may_name_a_predicate(name) || known.contains(name) || reserved_predicate_names().contains(name))
        return;
      errors.push_back(FunctorError{"Functor " + make->made + " names '" + name +
                                    "', which the program does not define."});
    };
    test(make->functor);
    for (const std::string& argument : make->arguments) test(argument);
  }
  if (!errors.empty()) return errors;

  // The compiler's passes, on statements of their own: the program tree is
  // left as it was. A recursion the unfolding cannot take is not this check's
  // to report. As in a compilation, both passes keep their names apart from
  // the program's, and a refusal names the user's predicates, not the copies.
  std::vector<Json> copies;
  copies.reserve(full.size());
  GeneratedNames made;
  for (const Json* statement : full) {
    copies.push_back(*statement);
    const std::string name(head_name(*statement));
    if (is_aux_predicate(name)) made.add(name, name.substr(0, name.find(kAuxMarker)));
  }
  made.take_names_of(copies);
  auto unfolded = unfold_recursion(copies, /*iterative=*/false, made);
  if (!unfolded.ok()) return {};
  auto applied = run_makes_with_deps(unfolded.value(), made);
  if (!applied.ok())
    return {FunctorError{PredicateNames::from_pairs(made.origins()).written(applied.error().message)}};
  const NameSet constants = constants_of(full, applied.value());
  errors = constants_read_as_relations(constants, applied.value());
  for (FunctorError& error : columns_missing_in_copies(constants, unfolded.value(), applied.value()))
    errors.push_back(std::move(error));
  return errors;
}

}  // namespace mirtova::verifier
