#include "parser/parse_file.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "parser/file_statements.h"
#include "parser/tree_walk.h"

namespace mirtova {
namespace {

std::string error_of(const std::string& text) {
  auto r = parse_file(text);
  return r.ok() ? "<ok>" : r.error().message;
}

TEST(ParseFileTest, EmptyPrograms) {
  for (std::string text : {"", "  \n\t", "# only a comment\n;;", "/* block */ ;"}) {
    auto r = parse_file(text);
    ASSERT_TRUE(r.ok()) << text;
    EXPECT_EQ(r.value().compact(),
              R"({"file_name":"main","imported_predicates":[],"predicates_prefix":"","rule":[]})")
        << text;
  }
}

TEST(ParseFileTest, FrontMatterErrors) {
  EXPECT_EQ(error_of("---\nQ(1);"),
            "Front matter opened with `---` on the first line is never closed: end it with a `---` line.");
  auto unclosed = parse_file("---\nQ(1);");
  EXPECT_EQ(unclosed.error().span.to_string(), "---");
  auto invalid = parse_file("---\nname: [\n---\n");
  ASSERT_FALSE(invalid.ok());
  EXPECT_EQ(invalid.error().message.rfind("Invalid front matter YAML: ", 0), 0u);
  EXPECT_EQ(invalid.error().message.back(), '.');
  EXPECT_EQ(error_of("---\nname: Q\n---\n"),
            "Front matter names 'Q', which this file does not define (it defines nothing).");
}

TEST(ParseFileTest, FrontMatterKeyOnlyForMain) {
  auto r = parse_file("---\ntitle: t\n---\n");
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(r.value().at("front_matter").compact(), R"({"description":null,"name":null})");
  auto imported = parse_file("---\ntitle: t\n---\n", std::string("lib"));
  ASSERT_TRUE(imported.ok());
  EXPECT_FALSE(imported.value().has("front_matter"));
}

// The names a file's statements repeat take no memory beyond their nodes:
// each short one is held in the node that names it, through every rewrite.
TEST(ParseFileTest, ShortNamesLiveInTheirNodes) {
  auto r = parse_file(
      "P(x) :- Edge(x, y), Edge(y, x); Q(x) :- Edge(x, x) | ~Edge(x, 1); Q15CharsLonger_(x) :- P(x)");
  ASSERT_TRUE(r.ok());
  size_t names = 0;
  walk_tree(r.value(), [&](const Json& node) {
    if (const Json* name = node.get("predicate_name")) {
      const auto* bytes = reinterpret_cast<const char*>(name);
      EXPECT_TRUE(name->as_str().data() >= bytes && name->as_str().data() < bytes + sizeof(Json))
          << name->as_str();
      ++names;
    }
  });
  EXPECT_GE(names, 8u);
}

TEST(ParseFileTest, ErrorsInsideAStatementShowOnlyThatStatement) {
  auto r = parse_file("A(1) :- B(1) :- C(1);\nD(4);");
  ASSERT_FALSE(r.ok());
  EXPECT_EQ(r.error().message, "Too many :- in a rule. Did you forget semicolon?");
  EXPECT_EQ(r.error().span.source(), "A(1) :- B(1) :- C(1)");
}

TEST(ParseFileTest, UnclosedBracketDoesNotSwallowTheRest) {
  auto r = parse_file("A(1);\nB(2;\nC(3);");
  ASSERT_FALSE(r.ok());
  EXPECT_EQ(r.error().message, "Parenthesis matches nothing.");
  EXPECT_EQ(r.error().span.to_string(), "(");
}

// A text's statements read once and then more added after them give the tree
// of the two texts joined: the passes over the whole list (normal forms, the
// rules of many distinct bodies, front matter) see every statement.
TEST(ParseFileTest, MoreStatementsAfterTheTextGiveTheJoinedTree) {
  const std::string more =
      "M(x) distinct :- A(x); M(x) distinct :- B(x), (x > 1 | x < 0); N(s? += x) distinct :- M(x)";
  const std::string texts[] = {
      "A(1); B(2)",
      "A(1); B(2); D(x) distinct :- A(x); D(x) distinct :- B(x);",
      "---\nname: A\n---\nA(1); B(x) :- A(x), (x == 1 | x == 2)",
      "A(1); # a comment without its line's end",
      "",
  };
  for (const std::string& text : texts) {
    ParseSession session;
    auto read = read_statements(text, "main", session, {});
    ASSERT_TRUE(read.ok()) << text;
    FileStatements statements = std::move(read).value();
    ASSERT_TRUE(read_more_statements(more, statements).ok()) << text;
    auto added = finish_file(std::move(statements), "main", session);
    auto joined = parse_file(text + "\n;\n" + more + "\n");
    ASSERT_TRUE(added.ok() && joined.ok()) << text;
    EXPECT_EQ(added.value(), joined.value()) << text;
  }
}

TEST(LineBoundsTest, Table) {
  std::string text = "ab\r\ncd\n\nef";
  EXPECT_EQ(line_bounds(text, 1), (std::pair<size_t, size_t>(0, 2)));
  EXPECT_EQ(line_bounds(text, 2), (std::pair<size_t, size_t>(4, 6)));
  EXPECT_EQ(line_bounds(text, 3), (std::pair<size_t, size_t>(7, 7)));
  EXPECT_EQ(line_bounds(text, 4), (std::pair<size_t, size_t>(8, 10)));
  EXPECT_EQ(line_bounds(text, 5), (std::pair<size_t, size_t>(0, 0)));
  EXPECT_EQ(line_bounds(text, 0), (std::pair<size_t, size_t>(0, 0)));
}

}  // namespace
}  // namespace mirtova

namespace mirtova {
namespace {

TEST(ParseFileTest, DeepBracketsAreRefusedQuickly) {
  for (std::string open : {"[", "(", "{"}) {
    std::string close = open == "[" ? "]" : open == "(" ? ")" : "}";
    std::string text = "Q(" + std::string(100000 * 1, open[0]) + std::string(100000, close[0]) + ");";
    auto r = parse_file(text);
    ASSERT_FALSE(r.ok()) << open;
    EXPECT_EQ(r.error().message, "Program is nested too deeply.");
  }
}

}  // namespace
}  // namespace mirtova
