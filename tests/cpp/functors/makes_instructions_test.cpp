// Reading functor statements into make instructions.
#include <gtest/gtest.h>

#include "compiler/functors/make_instructions.h"
#include "support/makes_support.h"

namespace mirtova {
namespace {

using makes_testing::rules_of;

struct InstructionCase {
  const char* name;
  std::string program;
  // "made=object" per instruction, in the order make_all receives them.
  std::vector<std::string> instructions;
};

std::vector<std::string> shown(const std::vector<MakeInstruction>& instructions) {
  std::vector<std::string> out;
  for (const MakeInstruction& i : instructions) out.push_back(i.made + "=" + i.object.compact());
  return out;
}

TEST(MakeInstructions, ReadFromMakeRules) {
  // clang-format off
  const std::vector<InstructionCase> cases = {
      {"no functor statements", "F <- X; @Ground(F)", {}},
      {"no arguments", "A := F()", {R"(A={"1":{"predicate_name":"F"}})"}},
      {"positional argument", "A := F(G)", {R"(A={"1":{"predicate_name":"F"},"2":{"0":{"predicate_name":"G"}}})"}},
      {"a number argument stays an expression for later",
       "A := F(P: G, N: 7)",
       {R"(A={"1":{"predicate_name":"F"},"2":{"N":{"literal":{"the_number":{"number":"7"}},)"
        R"("expression_heritage":"7"},"P":{"predicate_name":"G"}}})"}},
      {"byte order of made names, stable among equals",
       "Zed := F(); Ab := G(); AB := H(); Ab := K()",
       {R"(AB={"1":{"predicate_name":"H"}})", R"(Ab={"1":{"predicate_name":"G"}})",
        R"(Ab={"1":{"predicate_name":"K"}})", R"(Zed={"1":{"predicate_name":"F"}})"}},
      {"the head must be exactly @Make", "@make(A, F); @Makes(A, F)", {}},
      {"a made name that is no predicate is passed over", "@Make(x, F); @Make(5, F); @Make(\"A\", F); @Make()", {}},
      {"a functor that is no predicate is kept for the reading to refuse", "@Make(A, 5)", {R"(A={"1":"5"})"}},
      {"a call argument that is no record gives no arguments", "@Make(A, F, 7)", {R"(A={"1":{"predicate_name":"F"}})"}},
  };
  // clang-format on
  for (const InstructionCase& c : cases) {
    EXPECT_EQ(shown(collect_make_instructions(rules_of(c.program))), c.instructions) << c.name;
  }
}

}  // namespace
}  // namespace mirtova
