#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "parser/tree_build.h"
#include "support/verifier_programs.h"
#include "verifier/assertions.h"

namespace mirtova::verifier {
namespace {

std::string entries_text(const Json& statement) {
  std::vector<assertion::AssertionError> errors;
  std::string out;
  for (const assertion::Entry& e : read_annotation(statement, "@Assert", errors))
    out +=
        (out.empty() ? "" : " | ") + e.predicate + "." + e.name + " " + e.statement + " [" + e.source + "]";
  for (const assertion::AssertionError& e : errors) out += (out.empty() ? "" : " | ") + e.text();
  return out;
}

TEST(AssertionAnnotationTest, NamedArgumentsAreAssertions) {
  const std::string usage = "expected @Assert(Predicate, name: \"...\")";
  struct Case {
    std::string statement, read;
  } cases[] = {
      {"@Assert(P, a: \"1 < 2\", b: \"P 1\");", "P.a 1 < 2 [1 < 2] | P.b P 1 [P 1]"},
      {"@Assert(p, a: \"x\");", "p.a x [x]"},
      {"@Assert(P);", "Malformed @Assert: no named argument; " + usage},
      {"@Assert(a: \"x\");", "Malformed @Assert: the first argument must be a predicate; " + usage},
      {"@Assert(1, a: \"x\");", "Malformed @Assert: the first argument must be a predicate; " + usage},
      {"@Assert(P, Q, a: \"x\");", "Malformed @Assert: unexpected positional argument; " + usage},
      // An argument's fault wins over the tests made after the last argument.
      {"@Assert(a: \"x\", b: 2);", "Malformed @Assert: 'b' must be a string"},
      {"@Assert(P, a: \"x\", b: 2, c: \"y\");", "Malformed @Assert: 'b' must be a string"},
  };
  for (const Case& c : cases) {
    const Json program = parsed_program(c.statement);
    EXPECT_EQ(entries_text(program.at("rule").as_array()[0]), c.read) << c.statement;
  }
}

// Import renaming keeps the statement as written beside the rewritten one, in
// the string's object or, for a plain text, in the literal itself.
TEST(AssertionAnnotationTest, TheSourceIsTheStatementAsWritten) {
  auto annotation = [](Json literal) {
    Json::ArrayType fields;
    fields.push_back(make_field(Json(int64_t{0}), make_predicate_literal("Lib_P")));
    fields.push_back(make_field(Json("a"), make_object("literal", std::move(literal))));
    return make_object("head", make_object("predicate_name", "@Assert", "record",
                                           make_object("field_value", Json(std::move(fields)))));
  };
  EXPECT_EQ(entries_text(annotation(
                make_object("the_string", make_object("the_string", "Lib_P 1", "statement_source", "P 1")))),
            "Lib_P.a Lib_P 1 [P 1]");
  EXPECT_EQ(entries_text(annotation(make_object("the_string", "Lib_P 1", "statement_source", "P 1"))),
            "Lib_P.a Lib_P 1 [P 1]");
}

TEST(AssertionCheckTest, TheFirstStatementOfAPairIsTranslated) {
  const Json program = parsed_program(
      "P(a: 1); @Assert(P, a: \"\u2200 x, P x \u2192 x < 3\"); @Assert(P, a: \"\u2200 x, P x \u2192 x < 9\");"
      "@Assert(Q, b: \"Zed 1\"); @Assert(P, c: \"(\"); @Assert(P, d: \"\u2200 x, P x\");");
  const RuleLists lists = rule_lists(program);
  auto found = assertion_check(lists.full, "P", "a");
  ASSERT_TRUE(found.ok()) << found.error();
  EXPECT_EQ(found.value().program, "Assert_P_a(x: x) distinct :- P(a: x), x >= 3;");
  struct Case {
    const char *predicate, *name, *refusal;
  } cases[] = {
      {"P", "zz", "No assertion 'P.zz'"},
      {"Q", "b", "Assertion 'Q.b' is pending: waiting for Zed"},
      {"P", "c",
       "Invalid assertion 'P.c': expected a formula, found the end of the statement (at character 2)"},
      {"P", "d",
       "Assertion 'P.d' cannot be checked: "
       "variable 'x' is not bound by a predicate, so it has no values to check"},
  };
  for (const Case& c : cases) {
    auto refused = assertion_check(lists.full, c.predicate, c.name);
    ASSERT_FALSE(refused.ok()) << c.name;
    EXPECT_EQ(refused.error(), c.refusal);
  }
  const AssertionFindings findings = check_assertions(lists.full);
  std::vector<std::string> reports, errors;
  for (const auto& r : findings.reports)
    reports.push_back(r.predicate + "." + r.name + " " + assertion::status_text(r.status) + " " +
                      r.detail.value_or("-"));
  for (const auto& e : findings.errors) errors.push_back(e.text());
  EXPECT_EQ(reports,
            (std::vector<std::string>{
                "P.a unchecked -", "Q.b pending waiting for Zed", "P.c unsupported -",
                "P.d unsupported variable 'x' is not bound by a predicate, so it has no values to check"}));
  EXPECT_EQ(
      errors,
      (std::vector<std::string>{
          "Duplicate assertion 'P.a': it is stated more than once",
          "Invalid assertion 'P.c': expected a formula, found the end of the statement (at character 2)"}));
}

}  // namespace
}  // namespace mirtova::verifier
