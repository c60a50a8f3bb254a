// The readers of statements and arguments, on trees the parser writes.
#include "parser/tree_access.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "parser/forms.h"
#include "parser/parse_file.h"
#include "parser/tree_build.h"

namespace mirtova {
namespace {

Json expression(const std::string& text) {
  auto parsed = parse_expression(SpanString(text));
  EXPECT_TRUE(parsed.ok()) << text;
  return parsed.ok() ? parsed.value() : Json();
}

Json first_statement(const std::string& program) {
  auto parsed = parse_file(program);
  EXPECT_TRUE(parsed.ok()) << program;
  return parsed.ok() ? parsed.value().at("rule").as_array().at(0) : Json();
}

TEST(TreeAccess, ReadsArguments) {
  const std::optional<std::string> none;
  struct Row {
    Json expression;
    std::optional<std::string> predicate, text, literal;
  };
  const Row rows[] = {
      {expression("x"), "x", none, none},
      {expression("Parent"), "Parent", none, "Parent"},
      {expression("\"Parent\""), none, "Parent", none},
      {expression("\"a, b\""), none, "a, b", none},
      {expression("12"), none, none, none},
      {expression("F(x)"), none, none, none},
      {make_variable(Json(3)), "3", none, none},
      // A string literal whose "the_string" is the text itself.
      {make_object("literal", make_object("the_string", Json("plain"))), none, "plain", none},
      // A predicate literal whose name is no text names nothing.
      {make_object("literal", make_object("the_predicate", make_object("predicate_name", Json(1)))), none,
       none, none},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(predicate_name(row.expression), row.predicate) << row.expression.compact();
    EXPECT_EQ(string_literal(row.expression), row.text) << row.expression.compact();
    EXPECT_EQ(predicate_literal_name(row.expression), row.literal) << row.expression.compact();
  }
}

TEST(TreeAccess, ReadsStatements) {
  const std::optional<std::string> none;
  struct Row {
    const char* program;
    std::string text;
    std::optional<std::string> made;
  };
  const Row rows[] = {
      {"Copy := Functor(A: B);", "Copy := Functor(A: B)", "Copy"},
      {"@Make(Copy, Functor, {});", "@Make(Copy, Functor, {})", "Copy"},
      {"@Make(x, Functor, {});", "@Make(x, Functor, {})", "x"},
      {"@Make(\"Copy\", Functor);", "@Make(\"Copy\", Functor)", none},
      {"@Make();", "@Make()", none},
      {"P(1);", "P(1)", none},
  };
  for (const Row& row : rows) {
    Json statement = first_statement(row.program);
    EXPECT_EQ(rule_text(statement), row.text) << row.program;
    EXPECT_EQ(made_predicate(statement), row.made) << row.program;
  }
  EXPECT_EQ(rule_text(make_object("head", make_call("P", Json::array()))), "<unknown>");
  EXPECT_EQ(made_predicate(Json::object()), none);
}

}  // namespace
}  // namespace mirtova
