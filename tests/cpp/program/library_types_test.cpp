// The library typed once per engine and joined to a program's own types gives
// what typing the whole rule list does, on every engine.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/engines.h"
#include "compiler/program/library_rules.h"
#include "compiler/program/library_types.h"
#include "parser/parse_file.h"
#include "parser/tree_access.h"
#include "support/engine_names.h"

namespace mirtova {
namespace {

// Every column type and every rule's variable types, printed: two outcomes
// are the same when their texts are.
std::string printed(const Result<ProgramTypes, CompileError>& types) {
  if (!types.ok()) return "error: " + types.error().message;
  std::string out;
  // The columns of a shared part first, overlaid by the program's own.
  PredicateTypes all = types.value().shared_predicates ? *types.value().shared_predicates : PredicateTypes();
  for (const auto& [predicate, columns] : types.value().predicates)
    for (const auto& [column, type] : columns) all[predicate].insert_or_assign(column, type);
  for (const auto& [predicate, columns] : all)
    for (const auto& [column, type] : columns)
      out += predicate + "." + column + ": " + type.to_string() + "\n";
  for (size_t i = 0; i < types.value().rule_count(); ++i)
    for (const auto& [name, type] : types.value().variables_of(i))
      out += std::to_string(i) + " " + name + ": " + type.to_string() + "\n";
  return out;
}

std::vector<const Json*> typed_rules(const std::vector<Json>& rules) {
  std::vector<const Json*> out;
  for (const Json& rule : rules) {
    const std::string_view name = head_name(rule);
    if (!name.empty() && name[0] != '@') out.push_back(&rule);
  }
  return out;
}

TEST(LibraryTypes, JoinedTypesAreThoseOfTheWholeList) {
  // clang-format off
  const std::vector<std::string> programs = {
      "Q(x, y) :- T(x, y), x > 1;",
      // Library functions and built-ins that the library calls too.
      "Q(n: Num(x), s: Str(y), f: Fingerprint(y)) :- T(x, y);",
      "Q(a? ArgMax= x -> y) distinct :- T(x, y);",
      "Q(e) :- T(t), e == Epoch(ToTime(t)), e > 0;",
      "Q(v) :- v == SqlExpr(\"{x} + 1\", {x: 2});",
      "Q(s) :- T(x), s == ToString(x) ++ \"!\";",
      "Q(l) :- l == Array{x -> y :- T(x, y)};",
      // A program defining a name the library defines or calls: typed whole.
      "Num(x) = x + 1; Q(n) :- T(x), n == Num(x);",
      "NaturalHash(x) = 7; Q(n) :- T(x), n == Fingerprint(x);",
      "ToInt64(x) = x; Q(n) :- n == ToInt64(3);",
      // Conflicts are reported as the whole list reports them.
      "Q(x) :- x == 1, x == \"a\";",
      "Q(n) :- T(x), n == Num(\"a\") + 1;",
  };
  // clang-format on
  for (Engine engine : kEngines) {
    auto library = library_rules(engine);
    ASSERT_TRUE(library.ok());
    const std::vector<const Json*> library_typed = typed_rules(*library.value());
    for (const std::string& text : programs) {
      auto tree = parse_file(text);
      ASSERT_TRUE(tree.ok()) << text;
      const std::vector<Json> rules = tree.value().at("rule").as_array();
      const std::vector<const Json*> own = typed_rules(rules);
      std::vector<const Json*> whole = own;
      whole.insert(whole.end(), library_typed.begin(), library_typed.end());
      // Twice: the first call types the library, the second reads it.
      for (int round = 0; round < 2; ++round)
        EXPECT_EQ(printed(program_and_library_types(own, library_typed, engine)),
                  printed(infer_program_types(whole)))
            << engine << ": " << text;
    }
  }
}

}  // namespace
}  // namespace mirtova
