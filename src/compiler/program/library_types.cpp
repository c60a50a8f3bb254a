// The library's types, typed once per engine, joined to a program's own.
#include "compiler/program/library_types.h"

#include <memory>
#include <set>
#include <string>

#include "common/per_engine_cache.h"
#include "parser/tree_access.h"
#include "parser/tree_walk.h"

namespace mirtova {

namespace {

using Names = std::set<std::string, std::less<>>;

// The predicate name an object of a rule gives: its head's, a call's or a
// conjunct's; null for any other object.
std::optional<std::string_view> named_predicate(const Json& object) {
  const Json* name = object.get("predicate_name");
  if (name == nullptr || !name->is_str()) return std::nullopt;
  return name->as_str();
}

// Every predicate name the rules give.
void add_named_predicates(const Json& rule, Names& out) {
  walk_tree(rule, [&](const Json& object) {
    if (const std::optional<std::string_view> name = named_predicate(object)) out.emplace(*name);
  });
}

// Whether the rule gives a name of `names`.
bool names_any_of(const Json& rule, const Names& names) {
  return !walk_tree(rule, [&](const Json& object) {
    const std::optional<std::string_view> name = named_predicate(object);
    return name && names.count(*name) ? Walk::Stop : Walk::Enter;
  });
}

struct LibraryTypes {
  Result<TypedPart, CompileError> typed;
  Names named;      // every predicate the library's rules name
  Names relations;  // those of its heads that are relations (without a value column)
};

LibraryTypes type_library(const std::vector<const Json*>& library) {
  LibraryTypes out{infer_part_types(library), {}, {}};
  Names functions;
  for (const Json* rule : library) {
    add_named_predicates(*rule, out.named);
    for (const Json& field : call_fields(rule->at("head")))
      if (field_column(field) == "quoril_value") functions.emplace(head_name(*rule));
  }
  for (const Json* rule : library) {
    const std::string head(head_name(*rule));
    if (!functions.count(head)) out.relations.emplace(head);
  }
  return out;
}

// Whether a node of `rules` can be one of the library's: a head the library
// names, or a library relation the rules name. A function's calls in the
// rules are numbered before any of its heads in the library, and so never
// meet them.
bool reaches_library(const std::vector<const Json*>& rules, const LibraryTypes& library,
                     const std::vector<std::string_view>* named) {
  for (const Json* rule : rules)
    if (library.named.count(head_name(*rule))) return true;
  if (named != nullptr) {
    for (std::string_view name : *named)
      if (library.relations.count(name)) return true;
    return false;
  }
  // The names are looked up in the library's few relations as they are met,
  // rather than gathered, the program's every name, to be looked up after.
  for (const Json* rule : rules)
    if (names_any_of(*rule, library.relations)) return true;
  return false;
}

}  // namespace

Result<ProgramTypes, CompileError> program_and_library_types(const std::vector<const Json*>& rules,
                                                             const std::vector<const Json*>& library,
                                                             Engine engine, const HostTables& host_tables,
                                                             const std::vector<std::string_view>* named) {
  // The library's types by engine, process-wide. Filled by the first program
  // compiled for an engine, on whichever thread, under that engine's
  // once_flag; read-only after, so every thread shares one copy.
  static PerEngineCache<std::shared_ptr<const LibraryTypes>> cache;
  std::shared_ptr<const LibraryTypes> typed =
      cache.get(engine, [&] { return std::make_shared<const LibraryTypes>(type_library(library)); });
  std::vector<const Json*> all;
  if (!typed->typed.ok() || reaches_library(rules, *typed, named)) {
    all = rules;
    all.insert(all.end(), library.begin(), library.end());
    return infer_program_types(all, host_tables);
  }
  return infer_joined_types(rules, library, std::shared_ptr<const TypedPart>(typed, &typed->typed.value()),
                            host_tables);
}

}  // namespace mirtova
