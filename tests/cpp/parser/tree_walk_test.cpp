// The one tree walk: document order, keys, skipping, stopping, changes made by
// the visits, and trees deeper than a call stack would take.
#include "parser/tree_walk.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "parser/tree_build.h"

namespace mirtova {
namespace {

// {"b": [{"x": 1}, {"y": {"z": 2}}], "a": {"c": {}}}; objects keep keys in byte order.
Json sample() {
  return make_object("b", make_array(make_object("x", 1), make_object("y", make_object("z", 2))), "a",
                     make_object("c", Json::object()));
}

// The visits as "<key" before and ">key" after, with "." standing for the root.
std::vector<std::string> visits(const Json& tree, std::string_view skip_key, std::string_view stop_key) {
  std::vector<std::string> seen;
  auto shown = [](std::string_view key) { return key.empty() ? std::string(".") : std::string(key); };
  walk_tree(
      tree,
      [&](const Json&, std::string_view key) {
        seen.push_back("<" + shown(key));
        if (key == stop_key) return Walk::Stop;
        return key == skip_key ? Walk::Skip : Walk::Enter;
      },
      [&](const Json&, std::string_view key) { seen.push_back(">" + shown(key)); });
  return seen;
}

TEST(TreeWalk, VisitsObjectsInDocumentOrder) {
  struct Row {
    const char* skip;
    const char* stop;
    std::vector<std::string> want;
  };
  const Row rows[] = {
      {"-", "-", {"<.", "<a", "<c", ">c", ">a", "<b", ">b", "<b", "<y", ">y", ">b", ">."}},
      {"a", "-", {"<.", "<a", "<b", ">b", "<b", "<y", ">y", ">b", ">."}},
      {"b", "-", {"<.", "<a", "<c", ">c", ">a", "<b", "<b", ">."}},
      {"-", "y", {"<.", "<a", "<c", ">c", ">a", "<b", ">b", "<b", "<y"}},
      {"-", "", {"<."}},
  };
  for (const Row& row : rows)
    EXPECT_EQ(visits(sample(), row.skip, row.stop), row.want) << row.skip << row.stop;
}

TEST(TreeWalk, ReportsWhetherItRanToTheEnd) {
  EXPECT_TRUE(walk_tree(sample(), [](const Json&) {}));
  EXPECT_FALSE(
      walk_tree(sample(), [](const Json& node) { return node.has("z") ? Walk::Stop : Walk::Enter; }));
  // Arrays and scalars at the root are walked through; only objects are visited.
  int objects = 0;
  EXPECT_TRUE(walk_tree(make_array(1, make_object("a", 1), make_array(make_object())),
                        [&](const Json&) { ++objects; }));
  EXPECT_EQ(objects, 2);
  EXPECT_TRUE(walk_tree(Json(7), [&](const Json&) { ++objects; }));
  EXPECT_EQ(objects, 2);
}

TEST(TreeWalk, WalksWhatTheVisitsLeave) {
  // Before: {"old": ...} becomes {"new": {"inner": {}}}, whose values are walked next.
  // After: {"leaf": ...} becomes the text "gone" once its own values are walked.
  Json tree =
      make_object("p", make_object("old", 1), "q", make_array(make_object("leaf", make_object("old", 2))));
  std::vector<std::string> entered;
  walk_tree_mut(
      tree,
      [&](Json& node, std::string_view key) {
        entered.emplace_back(key);
        if (node.has("old")) node = make_object("new", make_object("inner", Json::object()));
      },
      [&](Json& node) {
        if (node.has("leaf")) node = Json("gone");
      });
  EXPECT_EQ(tree.compact(), R"({"p":{"new":{"inner":{}}},"q":["gone"]})");
  EXPECT_EQ(entered, (std::vector<std::string>{"", "p", "new", "inner", "q", "leaf", "new", "inner"}));
}

TEST(TreeWalk, ExtentCountsNodesOfEveryKindAndTheDeepestLevel) {
  struct Case {
    Json tree;
    size_t nodes, depth, keys;
  } cases[] = {
      {Json(1), 1, 1, 0},
      {Json::object(), 1, 1, 0},
      {make_array(1, make_array(), "x"), 4, 2, 0},
      {sample(), 9, 5, 6},
  };
  for (const Case& c : cases) {
    size_t keys = 0;
    const TreeExtent extent = tree_extent(c.tree, [&](const auto&) { ++keys; });
    EXPECT_EQ(extent.nodes, c.nodes) << c.tree.compact();
    EXPECT_EQ(extent.depth, c.depth) << c.tree.compact();
    EXPECT_EQ(keys, c.keys) << c.tree.compact();
  }
}

TEST(TreeWalk, DeepTreesDoNotReachTheCallStack) {
  constexpr int kDepth = 100000;
  Json tree = make_object("leaf", true);
  for (int i = 0; i < kDepth; ++i) tree = make_object("down", make_array(std::move(tree)));
  int objects = 0, afters = 0;
  walk_tree(
      tree, [&](const Json&) { ++objects; }, [&](const Json&) { ++afters; });
  EXPECT_EQ(objects, kDepth + 1);
  EXPECT_EQ(afters, kDepth + 1);
  // Taken apart from the top: destroying the tree whole would recurse.
  while (Json* down = tree.get_mut("down")) {
    Json inner = std::move(down->as_array_mut()[0]);
    tree = std::move(inner);
  }
}

}  // namespace
}  // namespace mirtova
