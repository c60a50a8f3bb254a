#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "compiler/dialects/dialect.h"
#include "compiler/dialects/library/library_program.h"
#include "compiler/program/library_rules.h"
#include "parser/parse_file.h"
#include "support/engine_names.h"

namespace mirtova {
namespace {

struct EngineHeads {
  std::string engine;
  std::vector<std::string> heads;  // head predicate names, in text order
};

const std::vector<std::string> kPrestoTrinoHeads = {"->",      "=",       "ArgMin", "ArgMax",
                                                    "ArgMaxK", "ArgMinK", "Array"};

// clang-format off
const std::vector<EngineHeads> kEngines = {
    {"duckdb",
     {"->", "=", "Arrow", "ArgMin", "ArgMax", "ArgMaxK", "ArgMinK", "Array", "RecordAsJson", "Fingerprint", "Chr",
      "Ord", "Num", "Str", "Epoch", "TimeDiffSeconds", "ToTime", "NaturalHash", "UnsafeToUseUniqueNumber",
      "UniqueNumber", "MergeList", "ProverChoice"}},
    {"databricks", {"->", "ArgMin", "ArgMax", "ArgMaxK", "ArgMinK", "RMatch", "RExtract", "Array"}},
    {"presto", kPrestoTrinoHeads},
    {"trino", kPrestoTrinoHeads},
    {"psql",
     {"->", "=", "ArgMin", "ArgMax", "ArgMaxK", "ArgMinK", "Array", "RecordAsJson", "Fingerprint", "Chr", "Num",
      "Str"}},
    {"sqlite",
     {"->", "=", "Arrow", "ArgMin", "ArgMax", "ArgMinK", "ArgMaxK", "Array", "Fingerprint", "AssembleRecord",
      "DisassembleRecord", "Char"}},
    {"bigquery", {"->", "=", "ArgMin", "ArgMax", "ArgMaxK", "ArgMinK", "Array"}},
};
// clang-format on

std::vector<std::string> head_names(const std::vector<Json>& rules) {
  std::vector<std::string> names;
  for (const Json& rule : rules) names.emplace_back(rule.at("head").at("predicate_name").as_str());
  return names;
}

std::string dump(const std::vector<Json>& rules) {
  std::string out;
  for (const Json& rule : rules) out += rule.compact() + "\n";
  return out;
}

TEST(LibraryRulesTest, EveryProgramParses) {
  for (const EngineHeads& e : kEngines) {
    auto program = parse_file(std::string(library_program_text(engine_of(e.engine))));
    ASSERT_TRUE(program.ok()) << e.engine << "\n" << program.error().show_message();
    std::vector<Json> rules = program.value().at("rule").as_array();
    EXPECT_EQ(head_names(rules), e.heads) << e.engine;
    for (const Json& rule : rules) EXPECT_TRUE(rule.has("full_text")) << e.engine;
  }
}

TEST(LibraryRulesTest, CachedRulesAreTheParsedProgram) {
  for (const EngineHeads& e : kEngines) {
    auto rules = library_rules(engine_of(e.engine));
    ASSERT_TRUE(rules.ok()) << e.engine << "\n" << rules.error().message;
    auto program = parse_file(std::string(library_program_text(engine_of(e.engine))));
    ASSERT_TRUE(program.ok()) << e.engine;
    EXPECT_EQ(dump(*rules.value()), dump(program.value().at("rule").as_array())) << e.engine;
  }
}

TEST(LibraryRulesTest, OneParsePerThreadAndEngine) {
  for (const EngineHeads& e : kEngines) {
    auto first = library_rules(engine_of(e.engine));
    auto again = library_rules(engine_of(e.engine));
    auto dialect = Dialect::get(engine_of(e.engine));
    ASSERT_TRUE(first.ok() && again.ok()) << e.engine;
    auto through_dialect = library_rules(*dialect);
    ASSERT_TRUE(through_dialect.ok()) << e.engine;
    EXPECT_EQ(first.value().get(), again.value().get()) << e.engine;
    EXPECT_EQ(first.value().get(), through_dialect.value().get()) << e.engine;
  }
  // Two engines with one text still have an entry each.
  EXPECT_NE(library_rules(Engine::kPresto).value().get(), library_rules(Engine::kTrino).value().get());
}

TEST(LibraryRulesTest, EachThreadParsesItsOwnEqualCopy) {
  constexpr int kThreads = 8;
  struct Seen {
    std::vector<const std::vector<Json>*> pointers;
    std::vector<std::string> dumps;
    bool all_ok = true;
  };
  std::vector<Seen> seen(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&seen, t] {
      for (const EngineHeads& e : kEngines) {
        auto rules = library_rules(engine_of(e.engine));
        auto again = library_rules(engine_of(e.engine));
        if (!rules.ok() || !again.ok() || rules.value() != again.value()) {
          seen[t].all_ok = false;
          continue;
        }
        seen[t].pointers.push_back(rules.value().get());
        seen[t].dumps.push_back(dump(*rules.value()));
      }
    });
  }
  for (std::thread& thread : threads) thread.join();

  for (size_t i = 0; i < kEngines.size(); ++i) {
    auto here = library_rules(engine_of(kEngines[i].engine));
    ASSERT_TRUE(here.ok());
    for (int t = 0; t < kThreads; ++t) {
      ASSERT_TRUE(seen[t].all_ok) << "thread " << t;
      ASSERT_EQ(seen[t].pointers.size(), kEngines.size());
      EXPECT_NE(seen[t].pointers[i], here.value().get()) << kEngines[i].engine << " thread " << t;
      EXPECT_EQ(seen[t].dumps[i], dump(*here.value())) << kEngines[i].engine << " thread " << t;
    }
  }
}

TEST(LibraryRulesTest, Failures) {
  struct Case {
    Engine engine;
    std::string text;  // parsed without the cache
    std::string message;
  };
  const std::string broken = "A(1);\nB(2;\n";
  auto parse_error = parse_file(broken);
  ASSERT_FALSE(parse_error.ok());
  // clang-format off
  const std::vector<Case> cases = {
      {Engine::kSqlite, broken,
       "Failed to parse the library program of sqlite: " + parse_error.error().show_message()},
  };
  // clang-format on
  for (const Case& c : cases) {
    auto result = parse_library_program(c.engine, c.text);
    ASSERT_FALSE(result.ok()) << c.engine;
    EXPECT_EQ(result.error().message, c.message) << c.engine;
    EXPECT_EQ(result.error().rule_text, "") << c.engine;
  }
  // The message carries the parse error's display text, source excerpt included.
  EXPECT_NE(cases[0].message.find("Parsing:\n"), std::string::npos);
  EXPECT_NE(cases[0].message.find("[ Error ] Parenthesis matches nothing."), std::string::npos);
}

}  // namespace
}  // namespace mirtova
