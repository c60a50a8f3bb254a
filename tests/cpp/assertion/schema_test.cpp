#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "assertion/schema.h"
#include "parser/parse_file.h"

namespace mirtova::assertion {
namespace {

// Every entry as "Name(col, col)", in byte order of names.
std::string schema_text(const std::string& program) {
  ParseResult<Json> tree = parse_file(program);
  if (!tree.ok()) return "parse error: " + tree.error().message;
  const Schema entries = schema(tree.value().at("rule").as_array());
  std::vector<std::string> lines;
  for (const auto& [name, columns] : entries) {
    std::string line = name + "(";
    for (size_t i = 0; i < columns.size(); ++i) line += (i ? ", " : "") + columns[i];
    lines.push_back(line + ")");
  }
  std::sort(lines.begin(), lines.end());
  std::string out;
  for (const std::string& line : lines) out += (out.empty() ? "" : " ") + line;
  return out;
}

TEST(ColumnSchemaTest, ColumnsComeFromTheFirstRuleWithNamedFields) {
  struct Case {
    const char* program;
    const char* schema;
  } cases[] = {
      {"Person(name: n, age: a) :- People(n, a);", "Person(name, age)"},
      {"R(x) :- Q(x);", ""},  // positional heads give no entry
      {"P(x) :- Q(x); P(a: x) :- Q(x);", "P(a)"},
      {"P(a: x) :- Q(x); P(b: x) :- Q(x);", "P(a)"},
      {"P(a: x, a: y) :- Q(x, y);", "P(a, a)"},
      {"P() :- Q(x); P(a: x) :- Q(x);", "P()"},
      {"F(x) = x + 1 :- Q(x);", ""},
      {"F(k: x) = x + 1 :- Q(x);", "F(k, quoril_value)"},
      {"Total(total? += x) distinct :- Q(x);", "Total(total)"},
      {"@OrderBy(P, \"a\"); @Limit(P, 3); P(a: 1);", "P(a)"},
  };
  for (const auto& c : cases) EXPECT_EQ(schema_text(c.program), c.schema) << c.program;
}

TEST(ColumnSchemaTest, MadePredicatesCopyTheirSourceColumns) {
  struct Case {
    const char* program;
    const char* schema;
  } cases[] = {
      // A chain listed against its order still reaches its end.
      {"A := B(); B := C(); C(v: x) :- Q(x);", "A(v) B(v) C(v)"},
      {"C(v: x) :- Q(x); B := C(); A := B();", "A(v) B(v) C(v)"},
      {"A(z: 1); A := B(); B(y: 1);", "A(z) B(y)"},
      {"A := B(); B(x) :- Q(x);", ""},
      {"@Make(A, B, {}); B(y: 1);", "A(y) B(y)"},
      // M's first chance comes from S3 within the first pass, before S1 has
      // columns to give in the second.
      {"M := S1(); S1 := S2(); M := S3(); S2(a: 1); S3(b: 1);", "M(b) S1(a) S2(a) S3(b)"},
      {"M := S1(); M := S2(); S1(a: 1); S2(b: 1);", "M(a) S1(a) S2(b)"},
      {"A := A(); A(k: 1);", "A(k)"},
  };
  for (const auto& c : cases) EXPECT_EQ(schema_text(c.program), c.schema) << c.program;
}

// A "@Make" written by hand with arguments that are no predicate literals
// gives no pair rather than stopping.
TEST(ColumnSchemaTest, MalformedMakeGivesNoPair) {
  auto field = [](int i, Json expression) {
    return Json::object({{"field", i}, {"value", Json::object({{"expression", std::move(expression)}})}});
  };
  auto literal = [](const char* name) {
    return Json::object(
        {{"literal", Json::object({{"the_predicate", Json::object({{"predicate_name", name}})}})}});
  };
  auto make = [](Json::ArrayType fields) {
    return Json::object(
        {{"head", Json::object({{"predicate_name", "@Make"},
                                {"record", Json::object({{"field_value", Json(std::move(fields))}})}})}});
  };
  Json::ArrayType rules;
  rules.push_back(make(
      {field(0, literal("A")), field(1, Json::object({{"variable", Json::object({{"var_name", "b"}})}}))}));
  rules.push_back(make({field(0, literal("C"))}));
  rules.push_back(make({field(0, literal("D")), field(1, literal("B"))}));
  rules.push_back(Json::object(
      {{"head", Json::object(
                    {{"predicate_name", "B"},
                     {"record", Json::object({{"field_value", Json::array({Json::object(
                                                                  {{"field", "k"}, {"value", 1}})})}})}})}}));
  const Schema entries = schema(rules);
  EXPECT_FALSE(entries.contains("A"));
  EXPECT_FALSE(entries.contains("C"));
  ASSERT_TRUE(entries.contains("D"));
  EXPECT_EQ(entries.at("D"), std::vector<std::string>{"k"});
}

}  // namespace
}  // namespace mirtova::assertion
