// Recursion unfolding end to end: program text in, the rule list with the
// parsed generated statements out.
#include <gtest/gtest.h>

#include "compiler/functors/loop_stop.h"
#include "compiler/functors/parse_rules.h"
#include "compiler/functors/tree_walks.h"
#include "compiler/functors/unfold_recursion.h"
#include "parser/parse_file.h"

namespace mirtova {
namespace {

// "Head" per rule, and "Made := Functor" for functor statements.
std::vector<std::string> outline(const std::vector<Json>& rules) {
  std::vector<std::string> out;
  for (const Json& rule : rules) {
    std::string head(head_name(rule));
    if (head == "@Make") {
      const Json::ArrayType& fields = rule.at("head").at("record").at("field_value").as_array();
      auto name_at = [&](size_t i) {
        return fields[i]
            .at("value")
            .at("expression")
            .at("literal")
            .at("the_predicate")
            .at("predicate_name")
            .as_str();
      };
      head = std::string(name_at(0)) + " := " + std::string(name_at(1));
    } else if (head[0] == '@') {
      head += "(" + *extract_predicate_names(rule.at("head").at("record")).begin() + ")";
    }
    out.push_back(head);
  }
  return out;
}

const char* kClosure =
    "Path(x, y) distinct :- Edge(x, y);\n"
    "Path(x, z) distinct :- Path(x, y), Edge(y, z);\n";

struct UnfoldCase {
  const char* name;
  std::string program;
  bool iterative;
  std::vector<std::string> outline;
};

TEST(FunctorsUnfold, ProgramsUnfoldIntoTheirForms) {
  // clang-format off
  const std::vector<UnfoldCase> cases = {
      {"vertical chain", std::string(kClosure) + "@Recursive(Path, 2);", false,
       {"Path_MultBodyAggAux_recursive_head", "Path_MultBodyAggAux_recursive_head", "@Recursive(Path_recursive_head)",
        "Path_recursive_head", "Path_r0 := Path_recursive_head", "Path_r1 := Path_recursive_head",
        "Path_r2 := Path_recursive_head", "Path := Path_r2", "Path_MultBodyAggAux := Path_MultBodyAggAux_recursive_head"}},
      {"two calls iterate horizontally",
       "Path(x, y) :- Edge(x, y);\nPath(x, z) :- Path(x, y), Path(y, z);\n@Recursive(Path, 30);", false,
       {"Path_ROne", "Path_ROne", "@Recursive(Path_ROne)", "Path_ifr0 := Path_ROne", "@Ground(Path_ifr0)",
        "Path_ifr1 := Path_ROne", "@Ground(Path_ifr1)", "Path_ifr2 := Path_ROne", "@Ground(Path_ifr2)",
        "Path_ifr3 := Path_ROne", "@Ground(Path_ifr1)", "Path_ifr4 := Path_ROne", "@Ground(Path_ifr4)",
        "Path := Path_ifr4", "@Iteration(Path)"}},
      {"an engine's own loops whatever the depth",
       "Path(x, y) :- Edge(x, y);\nPath(x, z) :- Path(x, y), Path(y, z);\n@Recursive(Path, 2);", true,
       {"Path_ROne", "Path_ROne", "@Recursive(Path_ROne)", "Path_fr0 := Path_ROne", "@Ground(Path_fr0)",
        "Path_fr1 := Path_ROne", "@Ground(Path_fr1)", "Path_fr2 := Path_ROne", "@Ground(Path_fr2)",
        "Path := Path_fr2"}},
      {"mutual recursion stacks horizontally", "A(x) :- B(x);\nB(x) :- A(x);\nB(x) :- E(x);\n@Recursive(A, 1);", false,
       {"A_ROne", "B_ROne", "B_ROne", "@Recursive(A_ROne)", "A_fr0 := A_ROne", "A_fr1 := A_ROne", "A := A_fr1",
        "B_fr0 := B_ROne", "B_fr1 := B_ROne", "B := B_fr1"}},
  };
  // clang-format on
  for (const UnfoldCase& c : cases) {
    auto parsed = parse_file(c.program);
    ASSERT_TRUE(parsed.ok()) << c.name << ": " << parsed.error().show_message();
    auto unfolded = unfold_recursion(parsed.value().at("rule").as_array(), c.iterative);
    ASSERT_TRUE(unfolded.ok()) << c.name << ": " << unfolded.error().message;
    EXPECT_EQ(outline(unfolded.value()), c.outline) << c.name;
    // Deterministic: a second run writes the same rules.
    auto again = unfold_recursion(parsed.value().at("rule").as_array(), c.iterative);
    ASSERT_TRUE(again.ok());
    EXPECT_EQ(again.value(), unfolded.value()) << c.name;
  }
}

TEST(FunctorsUnfold, GeneratedLoopsCarryHowTheyStop) {
  const std::string user = "@Iteration(Mine, predicates: [Q], repetitions: 2);";
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"Path(x, y) :- Edge(x, y);\nPath(x, z) :- Path(x, y), Path(y, z);\n@Recursive(Path, 30);",
       "newest_levels"},
      {std::string(kClosure) + "@Recursive(Path, 30);", "new_rows"},
  };
  for (const auto& [program, stop] : cases) {
    auto parsed = parse_file(program + user);
    ASSERT_TRUE(parsed.ok()) << parsed.error().show_message();
    auto unfolded = unfold_recursion(parsed.value().at("rule").as_array(), false);
    ASSERT_TRUE(unfolded.ok()) << unfolded.error().message;
    std::vector<std::string> marks;
    for (const Json& rule : unfolded.value()) {
      if (head_name(rule) != "@Iteration") continue;
      const Json* mark = rule.get(kLoopStopKey);
      marks.emplace_back(mark ? mark->as_str() : "none");
    }
    // The user's loop first, as written; then the generated one.
    EXPECT_EQ(marks, (std::vector<std::string>{"none", stop})) << program;
  }
}

TEST(FunctorsUnfold, GeneratedTextThatDoesNotParseIsACompileError) {
  auto parsed = parse_rules("P_r0 := P_recursive_head(P_recursive: nil;");
  ASSERT_FALSE(parsed.ok());
  EXPECT_EQ(parsed.error().message.rfind("Failed to parse generated program: Parsing:\n", 0), 0u)
      << parsed.error().message;
  EXPECT_EQ(parsed.error().rule_text, "");
}

}  // namespace
}  // namespace mirtova
