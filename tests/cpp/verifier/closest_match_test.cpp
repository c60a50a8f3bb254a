// Edit distances and the choice of a "did you mean" name.
#include "verifier/closest_match.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "parser/utf8.h"

namespace mirtova::verifier {
namespace {

TEST(ClosestMatch, BoundedDistance) {
  struct Row {
    const char* a;
    const char* b;
    size_t bound, distance;
  };
  const Row rows[] = {
      {"", "", 3, 0},
      {"abc", "abc", 1, 0},
      {"Fooo", "Foo", 1, 1},
      {"Lenght", "Length", 2, 2},  // no transposition step
      {"kitten", "sitting", 3, 3},
      {"kitten", "sitting", 2, 3},  // past the bound: bound + 1
      {"abcdef", "", 6, 6},
      {"abcdef", "", 5, 6},
      {"Saturday", "Sunday", 3, 3},
      {"xabcdefgh", "abcdefghx", 2, 2},
      {"xabcdefgh", "abcdefghx", 1, 2},
      {"\u00c9t\u00e9", "Ete", 2, 2},  // characters, not bytes
      {"ab", "ba", 5, 2},
  };
  for (const Row& row : rows) {
    size_t cells = 0;
    EXPECT_EQ(bounded_distance(to_code_points(row.a), to_code_points(row.b), row.bound, cells), row.distance)
        << row.a << " / " << row.b << " within " << row.bound;
    EXPECT_EQ(bounded_distance(to_code_points(row.b), to_code_points(row.a), row.bound, cells), row.distance)
        << row.b << " / " << row.a << " within " << row.bound;
  }
}

TEST(ClosestMatch, Suggestions) {
  struct Row {
    const char* name;
    std::vector<std::string_view> candidates;
    std::optional<std::string> suggestion;
  };
  const Row rows[] = {
      {"Fooo", {"Bar", "Foo", "Fo"}, "Foo"},
      {"Lenght", {"Length", "Substr", "Upper"}, "Length"},
      // Two characters allow one edit: candidates two edits away are no match.
      {"Ab", {"Cd", "Ba", "AbCd"}, std::nullopt},
      {"Ab", {"Cd", "Abc"}, "Abc"},
      // A name is never its own suggestion.
      {"Foo", {"Foo"}, std::nullopt},
      {"Foo", {"Foo", "Fog"}, "Fog"},
      // Of equally close names the byte-smallest, whatever their order.
      {"Zat", {"Hat", "Cat", "Bat"}, "Bat"},
      {"Zat", {"Bat", "Hat", "Cat"}, "Bat"},
      {"Zat", {"Hat", "Zap", "Cat"}, "Cat"},
      // A closer name wins over a smaller one.
      {"Grandparent", {"Aranparent", "Grandparents"}, "Grandparents"},
      // Lengths by thirds: 9 characters allow 3 edits, 8 only 2.
      {"Abcdefghi", {"Abcdefxyz"}, "Abcdefxyz"},
      {"Abcdefgh", {"Abcdexyz"}, std::nullopt},
      {"Abcdefgh", {"Abcdefxy"}, "Abcdefxy"},
      // Lengths far apart are not compared.
      {"Abcdef", {"Abc"}, std::nullopt},
      {"\u00c9t\u00e9", {"Ete", "\u00c9te"}, "\u00c9te"},
      {"P", {"=", "->", "Q"}, "="},
      {"X", {}, std::nullopt},
  };
  for (const Row& row : rows) {
    Suggester suggester(row.candidates);
    EXPECT_EQ(suggester.closest_match(row.name), row.suggestion) << row.name;
  }
}

// The whole table, for comparison.
size_t full_distance(const std::string& a, const std::string& b) {
  std::vector<std::vector<size_t>> d(a.size() + 1, std::vector<size_t>(b.size() + 1));
  for (size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
  for (size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
  for (size_t i = 1; i <= a.size(); ++i)
    for (size_t j = 1; j <= b.size(); ++j)
      d[i][j] =
          std::min({d[i - 1][j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1), d[i - 1][j] + 1, d[i][j - 1] + 1});
  return d[a.size()][b.size()];
}

// Thousands of names alike but for their digits, misspelt by one or two edits:
// every one is found, and at once, which the far search would not manage.
TEST(ClosestMatch, EveryNearNameOfAFamily) {
  std::vector<std::string> names;
  for (int i = 0; i < 3000; ++i) names.push_back("Pred" + std::to_string(100000 + i));
  Suggester suggester(std::vector<std::string_view>(names.begin(), names.end()), 0);
  for (int i = 0; i < 3000; i += 11) {
    const std::string digits = std::to_string(100000 + i);
    ASSERT_EQ(suggester.closest_match("Perd" + digits), "Pred" + digits);
    ASSERT_EQ(suggester.closest_match("Prd" + digits), "Pred" + digits);
  }
}

TEST(ClosestMatch, AgreesWithTheWholeTable) {
  // Names over three letters, so that many are close; one suggester answers
  // many names, so that rows left from one name cannot leak into the next.
  std::mt19937 random(24);
  auto word = [&] {
    std::string w(random() % 13, 'a');
    for (char& c : w) c = static_cast<char>('a' + random() % 3);
    return w;
  };
  for (int round = 0; round < 40; ++round) {
    std::vector<std::string> names;
    for (int i = 0; i < 30; ++i) names.push_back(word());
    Suggester suggester(std::vector<std::string_view>(names.begin(), names.end()));
    for (int k = 0; k < 30; ++k) {
      const std::string name = word();
      const size_t limit = std::max<size_t>(name.size() / 3, 1);
      std::optional<std::string> expected;
      size_t best = limit + 1;
      for (const std::string& candidate : names) {
        const size_t d = full_distance(name, candidate);
        if (d == 0 || d > limit) continue;
        if (d < best || (d == best && candidate < *expected)) {
          best = d;
          expected = candidate;
        }
        size_t cells = 0;
        ASSERT_EQ(bounded_distance(to_code_points(name), to_code_points(candidate), limit, cells), d);
      }
      ASSERT_EQ(suggester.closest_match(name), expected) << name;
    }
  }
}

// Only the far search, for a name that allows three edits or more and has no
// candidate within two, has a budget; the near ones never run out.
TEST(ClosestMatch, NoFarSuggestionOnceTheBudgetIsSpent) {
  const std::vector<std::string_view> names = {"Alphabetic", "Betagamma", "Abcdefxyz"};
  EXPECT_EQ(Suggester(names, 1).closest_match("Abcdefghi"), std::nullopt);
  EXPECT_EQ(Suggester(names, 0).closest_match("Alpabetic"), "Alphabetic");
  EXPECT_EQ(Suggester(names, 0).closest_match("Alpabetc"), "Alphabetic");
  // The budget is one for every name asked.
  Suggester suggester(names, 200);
  EXPECT_EQ(suggester.closest_match("Abcdefghi"), "Abcdefxyz");
  for (int i = 0; i < 100; ++i) suggester.closest_match("Abcdefghi");
  EXPECT_EQ(suggester.closest_match("Abcdefghi"), std::nullopt);
  EXPECT_EQ(suggester.closest_match("Betagama"), "Betagamma");
}

}  // namespace
}  // namespace mirtova::verifier
