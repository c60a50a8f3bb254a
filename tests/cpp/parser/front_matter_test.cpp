#include "parser/front_matter.h"

#include <gtest/gtest.h>

namespace mirtova {
namespace {

TEST(FrontMatterTest, Opening) {
  struct Case {
    std::string text;
    bool opens;
    // clang-format off
  } cases[] = {
      {"---\nname: x\n---\n", true}, {"---  \r\nx", true}, {"\xEF\xBB\xBF---\n", true},
      {"  ---\n", false},            {"", false},          {"----\n", false},
      {"---", true},
  };
  // clang-format on
  for (const auto& c : cases) EXPECT_EQ(opens_front_matter(c.text), c.opens) << c.text;
}

TEST(FrontMatterTest, BlockContentAndLineCount) {
  auto block = front_matter("---\nname: x\ndescription: y\n--- \nQ(1);\n");
  ASSERT_TRUE(block);
  EXPECT_EQ(block->content, "name: x\ndescription: y\n");
  EXPECT_EQ(block->line_count, 4u);
  EXPECT_FALSE(front_matter("---\nname: x\n"));
  auto empty = front_matter("---\n---\n");
  ASSERT_TRUE(empty);
  EXPECT_EQ(empty->content, "");
  EXPECT_EQ(empty->line_count, 2u);
}

TEST(FrontMatterTest, NameAndDescription) {
  struct Case {
    std::string text;
    std::optional<std::string> name;
    size_t line;
    std::optional<std::string> description;
  } cases[] = {
      {"---\ntitle: t\nname:  Q \n---\n", "Q", 3, std::nullopt},
      {"---\nname: 12\n---\n", std::nullopt, 0, std::nullopt},
      {"---\nname: '12'\ndescription:\n---\n", "12", 2, ""},
      {"---\nname: ''\ndescription: ' d '\n---\n", std::nullopt, 0, "d"},
      {"---\ndescription: [1]\n---\n", std::nullopt, 0, std::nullopt},
      {"---\n- a\n---\n", std::nullopt, 0, std::nullopt},
      // Values the core schema reads as numbers, booleans or null are no strings.
      {"---\nname: 0x1F\ndescription: -1.5e+3\n---\n", std::nullopt, 0, std::nullopt},
      {"---\nname: 0o17\ndescription: .5\n---\n", std::nullopt, 0, std::nullopt},
      {"---\nname: +.inf\ndescription: 1.\n---\n", std::nullopt, 0, std::nullopt},
      {"---\nname: TRUE\ndescription: ~\n---\n", std::nullopt, 0, ""},
      {"---\nname: 1e\ndescription: 0x\n---\n", "1e", 2, "0x"},
      {"---\nname: .\ndescription: 1.2.3\n---\n", ".", 2, "1.2.3"},
      {"---\nname: \"12\"\ndescription: |\n  block\n---\n", "12", 2, "block"},
      {"---\nq: &n Q\nname: *n\n---\n", "Q", 3, std::nullopt},
  };
  for (const auto& c : cases) {
    auto block = front_matter(c.text);
    ASSERT_TRUE(block) << c.text;
    auto name = front_matter_name(*block);
    EXPECT_EQ(name.has_value(), c.name.has_value()) << c.text;
    if (name && c.name) {
      EXPECT_EQ(name->name, *c.name);
      EXPECT_EQ(name->line, c.line);
    }
    EXPECT_EQ(front_matter_description(*block), c.description) << c.text;
  }
}

TEST(FrontMatterTest, YamlErrorLineCountsTheWholeText) {
  auto block = front_matter("---\na: 1\nb: [\n---\n");
  ASSERT_TRUE(block);
  auto error = check_front_matter(*block);
  ASSERT_TRUE(error);
  EXPECT_FALSE(error->message.empty());
  EXPECT_LE(error->line, block->line_count);
  EXPECT_GE(error->line, 2u);
  EXPECT_FALSE(check_front_matter(*front_matter("---\na: 1\n---\n")));
}

TEST(FrontMatterTest, MalformedYamlIsRefusedNotRunAway) {
  // A lone ",", an unclosed quote, a duplicate key: each is an error with its
  // line, found at once.
  struct Case {
    std::string text;
    size_t line;
  } cases[] = {
      {"---\n,\n---\nP(1);", 2},
      {"---\nname: \"unclosed\n---\n", 2},
      {"---\na: 1\na: 2\n---\n", 3},
      {"---\na: [\n\n---\n", 4},
      // Bytes that are no UTF-8, in a directive, once made the reader loop.
      {"---\nname: Q\n%x: [1, 2]\xfe\xff\n---\nQ(1);", 3},
      {"---\na: \xe9\n---\n", 2},
  };
  for (const auto& c : cases) {
    auto block = front_matter(c.text);
    ASSERT_TRUE(block) << c.text;
    auto error = check_front_matter(*block);
    ASSERT_TRUE(error) << c.text;
    EXPECT_FALSE(error->message.empty()) << c.text;
    EXPECT_EQ(error->line, c.line) << c.text;
  }
}

TEST(FrontMatterTest, LongValuesAndDeepAliasesStayCheap) {
  // Long plain values are read by a linear scan; a chain of aliases that would
  // expand to 10^30 nodes is never expanded.
  std::string digits(200000, '7');
  auto block = front_matter("---\nname: " + digits + "\ndescription: x" + digits + "\n---\n");
  ASSERT_TRUE(block);
  EXPECT_FALSE(front_matter_name(*block));
  EXPECT_EQ(front_matter_description(*block), "x" + digits);
  std::string laughs = "---\na0: &a0 [x, x, x, x, x, x, x, x, x, x]\n";
  for (int i = 1; i < 30; ++i) {
    std::string previous = "*a" + std::to_string(i - 1);
    laughs += "a" + std::to_string(i) + ": &a" + std::to_string(i) + " [" + previous;
    for (int j = 1; j < 10; ++j) laughs += ", " + previous;
    laughs += "]\n";
  }
  laughs += "name: *a29\n---\n";
  block = front_matter(laughs);
  ASSERT_TRUE(block);
  EXPECT_FALSE(check_front_matter(*block));
  EXPECT_FALSE(front_matter_name(*block));
}

TEST(FrontMatterTest, BlankingKeepsLineNumbers) {
  EXPECT_EQ(blank_front_matter("\xEF\xBB\xBF---\na: 1\n---\nQ(1);"), "\n\n\nQ(1);");
  EXPECT_EQ(blank_front_matter("Q(1);"), "Q(1);");
  EXPECT_EQ(blank_front_matter("---\nunclosed"), "---\nunclosed");
}

}  // namespace
}  // namespace mirtova
