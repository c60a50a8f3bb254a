#include <gtest/gtest.h>

#include "common/internal_fault.h"
#include "parser/names.h"

namespace mirtova {
namespace {

Json program_with(Json names) {
  return Json::object({{"rule", Json::array()}, {"predicate_names", std::move(names)}});
}

TEST(PredicateNamesTest, WrittenReplacesWholeWordsOnly) {
  PredicateNames names = PredicateNames::of(program_with(Json::object({{"B_x", "A"}, {"C_y", "Y"}})));
  struct Case {
    std::string in, out;
    // clang-format off
  } cases[] = {
      {"B_x failed", "A failed"},
      {"B_xy failed", "B_xy failed"},
      {"B_x2 failed", "B_x2 failed"},
      {"(B_x)", "(A)"},
      {"B_x.B_x", "A.A"},
      {"B_x,C_y", "A,Y"},
      {"aB_x", "aB_x"},
      {"B_x\xc3\xa9", "B_x\xc3\xa9"},          // é continues the word
      {"\xc3\xa9 B_x", "\xc3\xa9 A"},
      {"B_x\xd9\xa3", "B_x\xd9\xa3"},          // Arabic-Indic digit three (Nd)
      {"B_x\xe2\x85\xa0", "B_x\xe2\x85\xa0"},  // Roman numeral one (Nl)
      {"B_x\xc2\xb2", "B_x\xc2\xb2"},          // superscript two (No)
      {"B_x\xe2\x82\x81", "B_x\xe2\x82\x81"},  // subscript one (No)
      {"B_x\xe2\x86\x92", "A\xe2\x86\x92"},    // an arrow is a symbol, so it separates
      {"B_x-1", "A-1"},
      {"", ""},
      {"\xff" "B_x", "\xff" "A"},  // a byte that is no UTF-8 separates words
  };
  // clang-format on
  for (const auto& c : cases) EXPECT_EQ(names.written(c.in), c.out) << c.in;
}

TEST(PredicateNamesTest, InternalPicksFirstInByteOrder) {
  PredicateNames names =
      PredicateNames::of(program_with(Json::object({{"Z_p", "P"}, {"A_p", "P"}, {"Q_", "Q"}, {"Skip", 5}})));
  ASSERT_EQ(names.pairs().size(), 3u);
  struct Case {
    std::string in, out;
  } cases[] = {{"P", "A_p"}, {"Q", "Q_"}, {"R", "R"}, {"5", "5"}, {"Skip", "Skip"}};
  for (const auto& c : cases) EXPECT_EQ(names.internal(c.in), c.out) << c.in;
}

TEST(PredicateNamesTest, FromPairsKeepsTheFirstPairOfANameInByteOrder) {
  const PredicateNames names =
      PredicateNames::from_pairs({{"Q_f2", "R"}, {"P_r1", "P"}, {"Q_f2", "Q"}, {"P_r10", ""}, {"", "E"}});
  using Pairs = std::vector<std::pair<std::string, std::string>>;
  EXPECT_EQ(names.pairs(), (Pairs{{"", "E"}, {"P_r1", "P"}, {"P_r10", ""}, {"Q_f2", "Q"}}));
  EXPECT_EQ(names.written("P_r1 and P_r10 read Q_f2."), "P and  read Q.");
  EXPECT_EQ(names.internal("Q"), "Q_f2");
  EXPECT_EQ(names.internal("R"), "R");
}

TEST(PredicateNamesTest, ProgramsWithoutNames) {
  for (const Json& program : {Json::object({{"rule", Json::array()}}), program_with("not an object"),
                              program_with(Json::object({{"X", Json::array()}}))}) {
    PredicateNames names = PredicateNames::of(program);
    EXPECT_TRUE(names.pairs().empty());
    EXPECT_EQ(names.written("X failed"), "X failed");
    EXPECT_EQ(names.internal("X"), "X");
  }
  EXPECT_THROW(PredicateNames::of(Json::array()), InternalFault);
}

}  // namespace
}  // namespace mirtova
