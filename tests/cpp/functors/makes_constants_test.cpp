// Reading make instructions into argument maps, and the constant predicates
// that literal arguments become.
#include <gtest/gtest.h>

#include "compiler/functors/functor_arguments.h"
#include "compiler/functors/make_instructions.h"
#include "compiler/functors/parse_rules.h"
#include "compiler/functors/run_makes.h"
#include "support/makes_support.h"

namespace mirtova {
namespace {

using makes_testing::rules_of;

struct PrepareCase {
  const char* name;
  std::string statements;             // functor statements, read in made-name order
  std::vector<std::string> prepared;  // "made=F(X->P, ...)" or the error message
  std::map<std::string, std::string> constants;
};

std::string shown(const PreparedMake& make) {
  std::string out = make.made + "=" + make.functor + "(";
  for (const auto& [argument, value] : make.arguments) {
    if (out.back() != '(') out += ", ";
    out += argument + "->" + value;
  }
  return out + ")";
}

TEST(FunctorArguments, ArgumentMapsAndConstantNames) {
  // clang-format off
  const std::vector<PrepareCase> cases = {
      {"predicates and nil", "A := F(X: G, Y: nil)", {"A=F(X->G, Y->nil)"}, {}},
      {"one constant shared across makes",
       "A := F(X: 5); B := F(X: 5)",
       {"A=F(X->QuorilCompilerConstant0)", "B=F(X->QuorilCompilerConstant0)"},
       {{"int:5", "QuorilCompilerConstant0"}}},
      {"a number and a text are two constants, numbered in argument order",
       "A := F(Y: \"5\", X: 5)",
       {"A=F(X->QuorilCompilerConstant0, Y->QuorilCompilerConstant1)"},
       {{"int:5", "QuorilCompilerConstant0"}, {"str:5", "QuorilCompilerConstant1"}}},
      {"signs, fractions and overflow",
       "A := F(X: -3, Y: +4, Z: 2.5, W: 99999999999999999999)",
       {"A=F(W->QuorilCompilerConstant0, X->QuorilCompilerConstant1, Y->QuorilCompilerConstant2, "
        "Z->QuorilCompilerConstant0)"},
       {{"int:0", "QuorilCompilerConstant0"}, {"int:-3", "QuorilCompilerConstant1"},
        {"int:4", "QuorilCompilerConstant2"}}},
      {"a variable or a call is not substituted", "A := F(X: y, Y: G(1), Z: [1])", {"A=F()"}, {}},
      {"a hand-written functor that is no predicate", "@Make(A, 5)", {"Bad @Make instruction for A"}, {}},
      {"no functor at all", "@Make(A)", {"Bad @Make instruction for A"}, {}},
  };
  // clang-format on
  for (const PrepareCase& c : cases) {
    Functors index(rules_of(c.statements));
    std::vector<std::string> prepared;
    for (const MakeInstruction& instruction : collect_make_instructions(index.rules)) {
      auto make = prepare_make(index, instruction);
      prepared.push_back(make.ok() ? shown(make.value()) : make.error().message);
      if (!make.ok()) {
        EXPECT_EQ(make.error().rule_text, "") << c.name;
      }
    }
    EXPECT_EQ(prepared, c.prepared) << c.name;
    EXPECT_EQ(index.constant_names, c.constants) << c.name;
  }
}

// Every text a user can pass must come back from the definition unchanged.
TEST(FunctorArguments, TextConstantsReadBackAsTheSameText) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"abc", R"(C() = "abc";)"},
      {"", R"(C() = "";)"},
      {"a\\b", R"(C() = "a\b";)"},
      {"it's", R"(C() = "it's";)"},
      {"a;b # c // d /* e", R"(C() = "a;b # c // d /* e";)"},
      {"say \"hi\"", R"(C() = 'say "hi"';)"},
      {"\"", R"(C() = '"';)"},
      {"quote \" and 'apostrophe' and \\", R"(C() = 'quote " and \'apostrophe\' and \\';)"},
      {"two\nlines\r", R"(C() = 'two\nlines\r';)"},
  };
  for (const auto& [text, statement] : cases) {
    EXPECT_EQ(constant_statement("C", "str:" + text), statement) << text;
    auto parsed = parse_rules(statement);
    ASSERT_TRUE(parsed.ok()) << statement;
    const Json& literal = parsed.value()
                              .at(0)
                              .at("head")
                              .at("record")
                              .at("field_value")
                              .as_array()
                              .at(0)
                              .at("value")
                              .at("expression")
                              .at("literal");
    EXPECT_EQ(literal.at("the_string").at("the_string").as_str(), text) << statement;
  }
  EXPECT_EQ(constant_statement("QuorilCompilerConstant3", "int:-3"), "QuorilCompilerConstant3() = -3;");
}

TEST(FunctorArguments, ConstantDefinitionsFollowTheCopiesInOrderOfFirstUse) {
  std::vector<Json> input = rules_of("F <- X; A := F(X: 7); B := F(X: 'say \"hi\"'); C := F(X: 7)");
  auto out = run_makes_with_deps(input);
  ASSERT_TRUE(out.ok()) << out.error().message;
  std::vector<std::string> tail;
  for (size_t i = out.value().size() - 2; i < out.value().size(); ++i) {
    const Json& rule = out.value()[i];
    tail.push_back(std::string(rule.at("head").at("predicate_name").as_str()) + " " +
                   std::string(rule.at("full_text").as_str()));
  }
  EXPECT_EQ(tail,
            (std::vector<std::string>{"QuorilCompilerConstant0 QuorilCompilerConstant0() = 7",
                                      "QuorilCompilerConstant1 QuorilCompilerConstant1() = 'say \"hi\"'"}));
}

}  // namespace
}  // namespace mirtova
