#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "compiler/program/library_rules.h"
#include "compiler/type_inference/inference.h"
#include "parser/parse_file.h"
#include "support/engine_names.h"

namespace mirtova {
namespace {

// "P.col0: number; ..." for the listed predicates, or the compile error's
// message, for a program text.
std::string infer(const std::string& program, const std::vector<std::string>& predicates) {
  auto parsed = parse_file(program);
  if (!parsed.ok()) return "parse error: " + parsed.error().message;
  std::vector<const Json*> rules;
  for (const Json& rule : parsed.value().at("rule").as_array()) rules.push_back(&rule);
  auto types = infer_predicate_types(rules);
  if (!types.ok()) {
    EXPECT_EQ(types.error().rule_text, "") << program;
    return types.error().message;
  }
  std::string out;
  for (const std::string& p : predicates) {
    auto it = types.value().find(p);
    if (it == types.value().end()) {
      out += (out.empty() ? "" : "; ") + p + " missing";
      continue;
    }
    for (const auto& [column, type] : it->second) {
      if (column == "quoril_value" && p != "F") continue;
      out += (out.empty() ? "" : "; ") + p + "." + column + ": " + (type.is_open() ? "open " : "") +
             type.to_string();
    }
  }
  return out;
}

const std::string kError = "Type inference error: Type mismatch: cannot match ";

TEST(TypesOfProgramsTest, ParsedPrograms) {
  struct Case {
    std::string program;
    std::vector<std::string> predicates;
    std::string expected;
  };
  // clang-format off
  const std::vector<Case> cases = {
      {R"(P(x) :- x == 1; Q(y) :- P(y), y == "a";)", {}, kError + "number with string at (0, 0)"},
      {R"(F(x) = x + 1; G(u) :- u == F(1); H(v) :- v == F("a");)", {"F", "G"},
       "F.col0: number; F.quoril_value: number; G.col0: number"},
      {"I(y) :- x in [1, 2], y == x;", {"I"}, "I.col0: number"},
      {"R(r) :- r.a == 1;", {"R"}, "R.col0: open {a: number}"},
      {"N(x) :- x in 5;", {}, kError + "number with any at (0, 0)"},
      {"L(x) :- x == true, x < 3;", {}, kError + "bool with atomic at (0, 0)"},
      {"S(x) :- x == 1, x.a == 2;", {"S"}, "S.col0: number"},
      {"S(x) :- x.a == 2, x == 1;", {}, kError + "number with {} at (0, 0)"},
      {"W(x) :- x == 2, x == {a: 1};", {}, kError + "number with {a: number} at (0, 1)"},
      {"W(x) :- x == 2, x == [1];", {}, kError + "number with [number] at (0, 1)"},
      {R"(U(s, n) :- s == Upper("a") ++ ToString(1), n == Length(s), n > 2;)", {"U"},
       "U.col0: string; U.col1: number"},
      {"C(d, n? += 1) distinct :- E(d);", {"C"}, "C.col0: any; C.n: number"},
      {R"(M(x) :- x == (if y > 1 then "big" else "small");)", {"M"}, "M.col0: string"},
      {"V(r) :- r == {a: 1, b: [true]}; Z(q) :- V(p), q == p.b;", {"V", "Z"},
       "V.col0: {a: number, b: [bool]}; Z.col0: [bool]"},
      {R"(P(x, l) :- x == 1, l == ["a"]; Q(name: y, items: m) :- P(y, m);)", {"P", "Q"},
       "P.col0: number; P.col1: [string]; Q.items: [string]; Q.name: number"},
      {R"(J(l) :- x in l, x == "a";)", {"J"}, "J.col0: [string]"},
      {"M(m) :- row in m, x in row, x == true;", {"M"}, "M.col0: [[bool]]"},
      {"G(l) :- l == Range(n);", {"G"}, "G.col0: [number]"},
      {"O(a, b, c) :- c == a ++ b, d == (a == b);", {"O"}, "O.col0: string; O.col1: string; O.col2: string"},
      {R"(R(r) :- r == {a: 1}, r.a == "s";)", {}, kError + "number with string at (0, 0)"},
      // Each wildcard is a variable of its own.
      {R"(F(2, "a"); T(1); Q(c) :- T(c), F(_, _);)", {"F", "Q"}, "F.col0: number; F.col1: string; F.quoril_value: any; Q.col0: number"},
      // The subscript adds b to the closed record, which then no longer meets its literal.
      {R"(R(r) :- r == {a: 1}, r.b == "s";)", {}, kError + "{a: number, b: any} with {a: number} at (0, 1)"},
      // An aggregate that picks one of its values gives that value's type; one
      // that adds up gives a number.
      {R"(A(s? Min= x ++ "a") distinct :- E(x);)", {"A"}, "A.s: string"},
      {R"(B(s? AnyValue= x + 1, t? Max= [x + 1]) distinct :- E(x);)", {"B"}, "B.s: number; B.t: [number]"},
      {"C(s? Sum= x, m? Median= x) distinct :- E(x);", {"C"}, "C.m: number; C.s: number"},
      {R"(L(s? ++= [x ++ ""]) distinct :- E(x);)", {"L"}, "L.s: [string]"},
      {R"(D(s? Min= x) distinct :- E(x), x == 1; D(s? Min= x) distinct :- E(x), x == "a";)", {},
       kError + "number with string at (0, 0)"},
  };
  // clang-format on
  for (const Case& c : cases) EXPECT_EQ(infer(c.program, c.predicates), c.expected) << c.program;
}

// The variables of each rule, read off beside the columns; "x: number" per
// variable in name order, rules separated by " | ".
TEST(TypesOfProgramsTest, RuleVariables) {
  struct Case {
    std::string program;
    std::string expected;
  };
  // clang-format off
  const std::vector<Case> cases = {
      {"Q(s) :- x in [1.5, 2], s == ToString(x);", "s: string, x: number"},
      {R"(F(1); G(y, z) :- F(y), z == y + 1;)", " | y: number, z: number"},
      {R"(@OrderBy(Q, "col0"); Q(u) :- u == [_];)", " | u: [any]"},
      // A combine has its aggregate's type; its own variables stay apart from
      // the rule's and from another combine's of the same name.
      {R"(Q(a, b, c) :- ~E(a), b == Min{x + 1 :- E(x)}, c == Max{x ++ "" :- N(x)};)",
       "a: any, b: number, c: string"},
      {"Q(a, b) :- E(a), b == Min{a :- T(a)}, a == [1];", "a: [number], b: [number]"},
      {"Q(c) :- c == Avg{x :- E(x)}; R(d) :- d == Count{1 :- E(_)};", "c: number | d: number"},
  };
  // clang-format on
  for (const Case& c : cases) {
    auto parsed = parse_file(c.program);
    ASSERT_TRUE(parsed.ok()) << c.program;
    std::vector<const Json*> rules;
    for (const Json& rule : parsed.value().at("rule").as_array()) rules.push_back(&rule);
    auto types = infer_program_types(rules);
    ASSERT_TRUE(types.ok()) << c.program;
    std::string out;
    for (size_t i = 0; i < types.value().rule_variables.size(); ++i) {
      if (i > 0) out += " | ";
      std::string rule;
      for (const auto& [name, type] : types.value().rule_variables[i])
        rule += (rule.empty() ? "" : ", ") + name + ": " + type.to_string();
      out += rule;
    }
    EXPECT_EQ(out, c.expected) << c.program;
  }
}

// A value read from a host table's column has it as its source wherever
// inference carries the value, as long as its type stays undetermined;
// "x: T.col0" per variable ("+" joining the columns of a value met from
// several), "-" for no source, rules separated by " | ".
TEST(TypesOfProgramsTest, HostColumnsAreSources) {
  struct Case {
    std::string program;
    std::string expected;
  };
  // clang-format off
  const std::vector<Case> cases = {
      {"Q(y) :- T(x), y == x;", "x: T.col0, y: T.col0"},
      {"Q(y) :- T(a: x), x > 1, y == x;", "x: T.a, y: T.a"},
      {"Q(y) :- T(x), U(x), y == x;", "x: T.col0+U.col0, y: T.col0+U.col0"},
      {"Q(y) :- T(x), U(x), T(_, x), y == x;", "x: T.col0+T.col1+U.col0, y: T.col0+T.col1+U.col0"},
      {"Q(y) :- T(x), U(x), y == x, y == 1 + 1;", "x: -, y: -"},
      {"Q(y) :- T(x), y == x + 1;", "x: -, y: -"},
      {"P(x) :- T(x); Q(y) :- P(y);", "x: T.col0 | y: T.col0"},
      {"P(x) :- T(x); P(x) :- U(x); Q(y) :- P(y);", "x: T.col0+U.col0 | x: T.col0+U.col0 | y: T.col0+U.col0"},
      {"P(x) :- T(x); P(1); Q(y) :- P(y);", "x: - |  | y: -"},
  };
  // clang-format on
  const HostTables hosts = {{"T", "T"}, {"U", "U"}};
  for (const Case& c : cases) {
    auto parsed = parse_file(c.program);
    ASSERT_TRUE(parsed.ok()) << c.program;
    std::vector<const Json*> rules;
    for (const Json& rule : parsed.value().at("rule").as_array()) rules.push_back(&rule);
    auto types = infer_program_types(rules, hosts);
    ASSERT_TRUE(types.ok()) << c.program;
    std::string out;
    for (size_t i = 0; i < types.value().rule_variables.size(); ++i) {
      if (i > 0) out += " | ";
      std::string rule;
      for (const auto& [name, type] : types.value().rule_variables[i]) {
        const ColumnOrigin* origin = type.origin();
        std::string source = origin == nullptr ? "-"
                             : origin->several ? "several"
                                               : origin->table + "." + origin->column;
        if (origin != nullptr)
          for (const auto& [table, column] : origin->more) source += "+" + table + "." + column;
        rule += (rule.empty() ? "" : ", ") + name + ": " + source;
      }
      out += rule;
    }
    EXPECT_EQ(out, c.expected) << c.program;
  }
}

// The same program gives the same types, or the same one of its several
// conflicts, on every run.
TEST(TypesOfProgramsTest, SameOutcomeFiftyTimes) {
  const std::string accepted = R"(
    P(x, r) :- x == 1, r.k == "a";
    Q(a: y, b: s) :- P(y, s);
    F(x) = x + 1;
    G(u) :- u == F(1), Q(a: u);
  )";
  const std::string types = infer(accepted, {"P", "Q", "F", "G"});
  EXPECT_EQ(types,
            "P.col0: number; P.col1: open {k: string}; Q.a: number; Q.b: open {k: string}; "
            "F.col0: number; F.quoril_value: number; G.col0: number");
  const std::string program = R"(
    Zed(x) :- x == 1, x == true;
    Bee(x) :- x == "a", x == 2;
    Ant(r) :- r.a == 1, Bee(r.a);
  )";
  // Graphs are visited by name: Ant and Bee meet before Zed's bool is seen.
  const std::string expected = kError + "number with string at (0, 0)";
  for (int i = 0; i < 50; ++i) {
    ASSERT_EQ(infer(program, {}), expected);
    ASSERT_EQ(infer(accepted, {"P", "Q", "F", "G"}), types);
  }
}

// Types travel one predicate per pass along a chain whose rules come in the
// opposite order; after the last of the 1000 passes inference stops without
// error, and the predicates the types did not reach stay any.
TEST(TypesOfProgramsTest, PassesRunOut) {
  std::string program;
  for (int i = 0; i < 1200; ++i)
    program += "P" + std::to_string(10000 + i) + "(x) :- P" + std::to_string(10001 + i) + "(x);\n";
  program += "P11200(x) :- x == 1;";
  auto parsed = parse_file(program);
  ASSERT_TRUE(parsed.ok());
  std::vector<const Json*> rules;
  for (const Json& rule : parsed.value().at("rule").as_array()) rules.push_back(&rule);
  auto types = infer_predicate_types(rules);
  ASSERT_TRUE(types.ok());
  EXPECT_EQ(types.value().at("P11199").at("col0").to_string(), "number");
  EXPECT_EQ(types.value().at("P10000").at("col0").to_string(), "any");
}

// Every program is compiled together with its engine's library, so the
// library itself must type-check.
TEST(TypesOfProgramsTest, EngineLibrariesAreAccepted) {
  for (Engine engine : kEngines) {
    auto rules = library_rules(engine);
    ASSERT_TRUE(rules.ok()) << engine << ": " << rules.error().message;
    std::vector<const Json*> pointers;
    for (const Json& rule : *rules.value()) pointers.push_back(&rule);
    auto types = infer_predicate_types(pointers);
    EXPECT_TRUE(types.ok()) << engine << ": " << types.error().message;
  }
}

}  // namespace
}  // namespace mirtova
