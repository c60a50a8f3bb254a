// Inputs that once crashed, hung or ran away, through parse and compile with the
// engine's library, on the main thread and on threads with small stacks. The
// sanitizer builds (scripts/sanitize.sh) run them too.
#include <gtest/gtest.h>
#include <pthread.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "compiler/program/universe.h"
#include "parser/parse_file.h"
#include "support/engine_names.h"

namespace mirtova {
namespace {

std::string repeat(const std::string& piece, size_t n, const std::string& separator = "") {
  std::string out;
  for (size_t i = 0; i < n; ++i) out += (i > 0 ? separator : "") + piece;
  return out;
}

// Stored tables G0 .. G(n-1) ending in Q, each reading the one before.
std::string stored_chain(size_t n) {
  std::string text = "@Ground(G0); G0(x) :- E(x);";
  for (size_t i = 1; i < n; ++i)
    text += "@Ground(G" + std::to_string(i) + "); G" + std::to_string(i) + "(x) :- G" +
            std::to_string(i - 1) + "(x);";
  return text + "Q(x) :- G" + std::to_string(n - 1) + "(x);";
}

// "" when the program compiles, else the parse or compile error's message.
std::string compile_outcome(const std::string& text, const std::string& predicate,
                            const std::string& engine) {
  auto tree = parse_file(text);
  if (!tree.ok()) return tree.error().message;
  auto program = QuorilProgram::new_with_engine(std::move(tree).value(), {}, {}, engine_of(engine));
  if (!program.ok()) return program.error().message;
  auto sql = program.value()->formatted_predicate_sql_impl(predicate, PageWindow{}, std::nullopt);
  return sql.ok() ? std::string() : sql.error().message;
}

// Runs `work` on a new thread whose whole stack is `bytes`.
void on_stack(size_t bytes, const std::function<void()>& work) {
  pthread_attr_t attr;
  pthread_attr_init(&attr);
  pthread_attr_setstacksize(&attr, bytes);
  pthread_t thread;
  auto run = [](void* arg) -> void* {
    (*static_cast<const std::function<void()>*>(arg))();
    return nullptr;
  };
  ASSERT_EQ(pthread_create(&thread, &attr, run, const_cast<std::function<void()>*>(&work)), 0);
  pthread_join(thread, nullptr);
  pthread_attr_destroy(&attr);
}

struct Input {
  const char* what;
  std::string text;
  const char* predicate;
  std::optional<std::string> message;  // nothing for a program that compiles; "" for any error
};

std::vector<Input> inputs() {
  std::string checks;
  for (int k = 0; k < 1000; ++k) checks += ", x != " + std::to_string(100000 + k);
  std::string fanout = "P0(1); P0(2);";
  for (int i = 0; i < 12; ++i)
    fanout +=
        "P" + std::to_string(i + 1) + "(x) :- " + repeat("P" + std::to_string(i) + "(x)", 3, ", ") + ";";
  return {
      {"aggregation over a function call in a function argument",
       "T(1, 2); F(x) = x + 1; G(x) = y :- T(x, y); Q(v) :- v == F(Sum{G(z) :- z in [1, 2]});", "Q",
       std::nullopt},
      {"2,000 element indices", "A([1]); Q(y) :- A(a), y == a[" + repeat("0", 2000, ", ") + "];", "Q",
       "Program is nested too deeply."},
      {"a long subscript chain", "A({a: 1}); Q(y) :- A(a), y == a" + repeat(".a", 100000) + ";", "Q",
       "Program is nested too deeply."},
      {"field accesses whose type flows through a recursive predicate",
       "F(1, nu" + repeat(".a", 240) + "); F(0, n + y) :- F(x, y);", "F", "is not given a value"},
      {"front matter of one comma", "---\n,\n---\nP(1);", "P", "Invalid front matter YAML: "},
      {"a long front-matter name", "---\nname: " + std::string(30000, '7') + "\n---\nP(1);", "P",
       std::nullopt},
      {"a function that holds itself in a combine", "U()=r(\"\", z{U()=r(\"\",{})});", "U", ""},
      {"calls that fan out three ways at each of twelve levels", fanout, "P12", std::nullopt},
      {"600 stored tables, each read by the next", stored_chain(600), "Q", std::nullopt},
      {"999 steps of a long recursive rule, unrolled",
       "P0(1); P(x) distinct :- P0(x); P(x) distinct :- P(y), x == y + 1" + checks + "; @Recursive(P, 999);",
       "P", "that one script may hold; use plan()"},
  };
}

void expect_answers(const Input& input) {
  const std::string outcome = compile_outcome(input.text, input.predicate, "duckdb");
  if (!input.message)
    EXPECT_EQ(outcome, "") << input.what;
  else
    EXPECT_NE(outcome.find(*input.message), std::string::npos) << input.what << ": " << outcome;
}

TEST(HostileInputs, AnswerWithAResultOrAnError) {
  for (const Input& input : inputs()) expect_answers(input);
}

TEST(HostileInputs, DeepProgramsOnSmallStacks) {
  // Nested as deeply as the parser allows on the main thread: on a small stack
  // each is compiled or refused as nested too deeply, never overflows it.
  const size_t depth = 240;
  const std::vector<std::string> programs = {
      "Q(x) :- x == " + std::string(depth, '(') + "1" + std::string(depth, ')') + ";",
      "A(1); Q(x) :- A(x), " + repeat("~(", depth) + "A(x)" + std::string(depth, ')') + ";",
      "A(1); Q(x) :- x == " + repeat("Sum{", depth) + "1" + repeat(" :- A(y)}", depth) + ";",
      "F(x) = x + 1; Q(y) :- y == " + repeat("F(", depth) + "1" + std::string(depth, ')') + ";",
      "Q(x) :- x == " + repeat("{a: ", depth) + "1" + std::string(depth, '}') + ";",
      // Not nested at all: stored tables, each read by the next.
      stored_chain(600),
  };
  for (size_t stack : {size_t{512} * 1024, size_t{1024} * 1024}) {
    for (const std::string& program : programs) {
      for (const char* engine : {"duckdb", "psql"}) {
        std::string outcome = "not run";
        on_stack(stack, [&] { outcome = compile_outcome(program, "Q", engine); });
        EXPECT_TRUE(outcome.empty() || outcome == "Program is nested too deeply.")
            << stack << " " << engine << ": " << outcome << "\n"
            << program.substr(0, 60);
      }
    }
  }
}

TEST(HostileInputs, ShallowProgramsStillCompileOnSmallStacks) {
  std::string outcome = "not run";
  on_stack(512 * 1024, [&] {
    outcome = compile_outcome("Q(x) :- x == " + std::string(30, '(') + "1" + std::string(30, ')') + ";", "Q",
                              "duckdb");
  });
  EXPECT_EQ(outcome, "");
}

}  // namespace
}  // namespace mirtova
