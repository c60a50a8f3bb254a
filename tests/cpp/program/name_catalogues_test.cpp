// The catalogues of built-in function names and reserved predicate names.
#include "compiler/program/name_catalogues.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace mirtova {
namespace {

TEST(NameCatalogues, BuiltinFunctionNames) {
  std::vector<std::string> names = builtin_function_names().sorted();
  ASSERT_EQ(names.size(), 331u);
  EXPECT_EQ(std::vector<std::string>(names.begin(), names.begin() + 15),
            (std::vector<std::string>{"!", "!=", "%", "&&", "*", "+", "++", "-", "/", "1", "<",
                                      "<=", "==", ">", ">="}));
  EXPECT_EQ(std::vector<std::string>(names.end() - 5, names.end()),
            (std::vector<std::string>{"^", "in", "is", "is not", "||"}));
  EXPECT_EQ(builtin_predicate_names().sorted(), names);
}

TEST(NameCatalogues, ReservedPredicateNames) {
  EXPECT_EQ(reserved_predicate_names().sorted(), (std::vector<std::string>{"->",
                                                                           "=",
                                                                           "ArgMax",
                                                                           "ArgMaxK",
                                                                           "ArgMin",
                                                                           "ArgMinK",
                                                                           "Array",
                                                                           "Arrow",
                                                                           "AssembleRecord",
                                                                           "Char",
                                                                           "Chr",
                                                                           "DisassembleRecord",
                                                                           "Epoch",
                                                                           "Fingerprint",
                                                                           "MergeList",
                                                                           "NaturalHash",
                                                                           "Now",
                                                                           "Num",
                                                                           "Ord",
                                                                           "ProverChoice",
                                                                           "RExtract",
                                                                           "RMatch",
                                                                           "RecordAsJson",
                                                                           "Str",
                                                                           "TimeDiffSeconds",
                                                                           "ToTime",
                                                                           "Today",
                                                                           "UniqueNumber",
                                                                           "UnsafeToUseUniqueNumber"}));
}

TEST(NameCatalogues, MembershipIsExact) {
  struct Row {
    const char* name;
    bool builtin, reserved;
  };
  const Row rows[] = {
      {"Array", true, true},
      {"ILike", true, false},
      {"ProverChoice", false, true},
      {"is not", true, false},
      {"1", true, false},
      {"SqlExpr", true, false},
      {"MagicalEntangle", true, false},
      {"Today", false, true},
      {"today", false, false},
      {"argmin", false, false},
      {"Argmin", false, false},
      {"->", false, true},
      {"=", false, true},
      {"Upper ", false, false},
      {"", false, false},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(builtin_function_names().contains(row.name), row.builtin) << row.name;
    EXPECT_EQ(builtin_predicate_names().contains(row.name), row.builtin) << row.name;
    EXPECT_EQ(reserved_predicate_names().contains(row.name), row.reserved) << row.name;
  }
}

TEST(NameCatalogues, EightThreadsSeeTheSameNames) {
  constexpr int kThreads = 8;
  std::vector<std::vector<std::string>> builtins(kThreads), reserved(kThreads);
  std::atomic<int> ready{0};
  std::vector<std::thread> threads;
  for (int i = 0; i < kThreads; ++i) {
    threads.emplace_back([&, i] {
      // Start together, so that first uses meet.
      ready.fetch_add(1);
      while (ready.load() < kThreads) std::this_thread::yield();
      reserved[i] = reserved_predicate_names().sorted();
      builtins[i] = builtin_predicate_names().sorted();
    });
  }
  for (std::thread& t : threads) t.join();
  for (int i = 0; i < kThreads; ++i) {
    EXPECT_EQ(builtins[i].size(), 331u);
    EXPECT_EQ(reserved[i].size(), 29u);
    EXPECT_EQ(builtins[i], builtins[0]);
    EXPECT_EQ(reserved[i], reserved[0]);
  }
}

}  // namespace
}  // namespace mirtova
