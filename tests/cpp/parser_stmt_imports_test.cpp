#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>

#include "parser/names.h"
#include "parser/parse_file.h"

namespace mirtova {
namespace {

namespace fs = std::filesystem;

// A fresh directory per test, removed afterwards.
class ImportsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "mirtova_imports_XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { fs::remove_all(dir_); }

  void write(const std::string& relative, const std::string& text) {
    fs::path path = dir_ / relative;
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
  }
  std::string root(const std::string& relative = "") const { return (dir_ / relative).string(); }

  ParseResult<Json> parse(const std::string& text, std::vector<std::string> roots) {
    return parse_file(text, std::nullopt, std::move(roots));
  }

  fs::path dir_;
};

struct ErrorCase {
  const char* name;
  std::string program;
  std::string message;
  std::string excerpt;  // the text the error's span covers
};

void expect_error(const ParseResult<Json>& result, const ErrorCase& c) {
  ASSERT_FALSE(result.ok()) << c.name << ": " << result.value().compact();
  EXPECT_EQ(result.error().message, c.message) << c.name;
  EXPECT_EQ(result.error().span.to_string(), c.excerpt) << c.name;
}

TEST_F(ImportsTest, StatementAndFileErrors) {
  write("lib/cycle_a.l", "import lib.cycle_b.X");
  write("lib/cycle_b.l", "import lib.cycle_a.Y");
  write("lib/dir.l/keep", "");
  write("lib/bad.l", "Q() = \"\xff\"");
  const ErrorCase cases[] = {
      {"two as", "import a.b.P as X as Y", "Too many as", "a.b.P as X as Y"},
      {"lower-case predicate", "import a.b.p", "One import per predicate please.", "a.b.p"},
      {"file key only", "import a.b", "One import per predicate please.", "a.b"},
      {"empty predicate", "import a.b.", "One import per predicate please.", "a.b."},
      {"missing file", "import a.b.P", "Imported file not found: a/b.l", "import a.b.<PREDICATE>"},
      {"circular", "import lib.cycle_a.Z", "Circular imports are not allowed: main->lib.cycle_a->lib.cycle_b->lib.cycle_a",
       "lib.cycle_a"},
      {"a directory", "import lib.dir.P", "Failed to read file: Is a directory", root("lib/dir.l")},
      {"not UTF-8", "import lib.bad.Q", "Failed to read file: the file is not valid UTF-8 text", root("lib/bad.l")},
  };
  for (const auto& c : cases) expect_error(parse(c.program, {root()}), c);
}

TEST_F(ImportsTest, NeverReadsOutsideTheRoot) {
  // Each of these would reach secret.l beside the root if the path were taken as written.
  write("secret.l", "Secret(1)");
  ASSERT_EQ(root().find('.'), std::string::npos) << "the test spells this path with dots";
  std::string absolute_key;
  for (const auto& part : fs::path(root("secret"))) {
    if (part != "/") absolute_key += "." + part.string();
  }
  const std::string secret = root("secret");
  const ErrorCase cases[] = {
      {"absolute through a slash", "import " + secret + ".Secret", "Imported file not found: " + secret + ".l",
       "import " + secret + ".<PREDICATE>"},
      {"absolute through empty components", "import " + absolute_key + ".Secret",
       "Imported file not found: " + secret + ".l", "import " + absolute_key + ".<PREDICATE>"},
      {"empty middle component", "import a..b.P", "Imported file not found: a//b.l", "import a..b.<PREDICATE>"},
      {"NUL byte", std::string("import a\0b.P", 12), std::string("Imported file not found: a\0b.l", 30),
       std::string("import a\0b.<PREDICATE>", 22)},
  };
  for (const auto& c : cases) {
    expect_error(parse(c.program, {root("root")}), c);
    expect_error(parse(c.program, {}), c);
  }
}

}  // namespace
}  // namespace mirtova
