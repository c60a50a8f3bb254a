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

TEST(FrontMatterTest, BlankingKeepsLineNumbers) {
  EXPECT_EQ(blank_front_matter("\xEF\xBB\xBF---\na: 1\n---\nQ(1);"), "\n\n\nQ(1);");
  EXPECT_EQ(blank_front_matter("Q(1);"), "Q(1);");
  EXPECT_EQ(blank_front_matter("---\nunclosed"), "---\nunclosed");
}

}  // namespace
}  // namespace mirtova
