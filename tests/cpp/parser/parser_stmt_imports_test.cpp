#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

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
  // clang-format off
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
  // clang-format on
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
  // clang-format off
  const ErrorCase cases[] = {
      {"absolute through a slash", "import " + secret + ".Secret", "Imported file not found: " + secret + ".l",
       "import " + secret + ".<PREDICATE>"},
      {"absolute through empty components", "import " + absolute_key + ".Secret",
       "Imported file not found: " + secret + ".l", "import " + absolute_key + ".<PREDICATE>"},
      {"empty middle component", "import a..b.P", "Imported file not found: a//b.l", "import a..b.<PREDICATE>"},
      {"NUL byte", std::string("import a\0b.P", 12), std::string("Imported file not found: a\0b.l", 30),
       std::string("import a\0b.<PREDICATE>", 22)},
  };
  // clang-format on
  for (const auto& c : cases) {
    expect_error(parse(c.program, {root("root")}), c);
    expect_error(parse(c.program, {}), c);
  }
}

TEST_F(ImportsTest, ReadsOnlyRegularFilesUnderTheRoot) {
  // A link out of the root, a pipe that no one writes, a device without end
  // and a file past the size bound: each is refused at once, and nothing of
  // what lies behind it is shown.
  write("outside.l", "Secret(\"the secret\")");
  write("root/lib/inside.l", "Inside(1)");
  fs::create_symlink(root("outside.l"), root("root/lib/linked_out.l"));
  fs::create_symlink(root("root/lib/inside.l"), root("root/lib/linked_in.l"));
  fs::create_symlink("/dev/zero", root("root/lib/zero.l"));
  ASSERT_EQ(mkfifo(root("root/lib/pipe.l").c_str(), 0600), 0);
  {
    std::ofstream big(root("root/lib/big.l"), std::ios::binary);
    big << "Big(1);";
    big.seekp(17 * 1024 * 1024);
    big << "\n";
  }
  // clang-format off
  const ErrorCase cases[] = {
      {"link out of the root", "import lib.linked_out.Secret; Q() :- Secret();",
       "Failed to read file: the file lies outside the import root", root("root/lib/linked_out.l")},
      {"link to a device", "import lib.zero.Z; Q() :- Z();",
       "Failed to read file: the file lies outside the import root", root("root/lib/zero.l")},
      {"pipe", "import lib.pipe.P; Q() :- P();", "Failed to read file: not a regular file", root("root/lib/pipe.l")},
      {"too large", "import lib.big.Big; Q() :- Big();", "Failed to read file: the file is larger than 16777216 bytes",
       root("root/lib/big.l")},
  };
  // clang-format on
  for (const auto& c : cases) expect_error(parse(c.program, {root("root")}), c);
  // A link that stays under the root is followed.
  auto linked = parse("import lib.linked_in.Inside; Q() :- Inside();", {root("root")});
  ASSERT_TRUE(linked.ok()) << linked.error().message;
}

std::vector<std::string> heads(const Json& tree) {
  std::vector<std::string> out;
  for (const Json& r : tree.at("rule").as_array())
    out.emplace_back(r.at("head").at("predicate_name").as_str());
  return out;
}

// The predicates each rule's body calls, in order, joined by blanks.
std::vector<std::string> calls(const Json& tree) {
  std::vector<std::string> out;
  for (const Json& r : tree.at("rule").as_array()) {
    std::string text;
    if (const Json* body = r.get("body")) {
      for (const Json& c : body->at("conjunction").at("conjunct").as_array()) {
        if (!text.empty()) text += " ";
        text += c.at("predicate").at("predicate_name").as_str();
      }
    }
    out.push_back(text);
  }
  return out;
}

TEST_F(ImportsTest, ImportedRulesJoinTheTopFile) {
  write("r1/a/b.l", "P(x) :- R(x); R(1)");
  auto result = parse("import a.b.P;\nQ(x) :- P(x)", {root("r1")});
  ASSERT_TRUE(result.ok()) << result.error().show_message();
  const Json& tree = result.value();
  EXPECT_EQ(heads(tree), (std::vector<std::string>{"Q", "B_P", "B_R"}));
  EXPECT_EQ(calls(tree), (std::vector<std::string>{"B_P", "B_R", ""}));
  EXPECT_EQ(tree.at("imported_predicates"),
            Json::array({Json::object({{"file", "a.b"}, {"predicate_name", "P"}, {"synonym", nullptr}})}));
  EXPECT_EQ(tree.at("predicates_prefix").as_str(), "");
  EXPECT_EQ(tree.at("predicate_names"), Json::object({{"B_P", "P"}, {"B_R", "R"}}));

  // Messages about internal names read as the user wrote them.
  PredicateNames names = PredicateNames::of(tree);
  EXPECT_EQ(names.written("B_P failed, see B_R."), "P failed, see R.");
  EXPECT_EQ(names.internal("P"), "B_P");
}

TEST_F(ImportsTest, SynonymsAndRoots) {
  write("r2/a/b.l", "P(x) :- R(x); R(1)");
  write("r3/a/b.l", "Other(1)");
  struct Case {
    const char* name;
    std::string program;
    std::vector<std::string> roots;
    Json names;
    // clang-format off
  } cases[] = {
      {"synonym", "import a.b.P as R; Q(x) :- R(x)", {root("r1"), root("r2")},
       // R is the top file's name for B_P, so B_R keeps no written name.
       Json::object({{"B_P", "R"}})},
      {"second root", "import a.b.P; Q(x) :- P(x)", {root("r1"), root("r2"), root("r3")},
       Json::object({{"B_P", "P"}, {"B_R", "R"}})},
      {"same file twice", "import a.b.P; import a.b.R; Q(x) :- P(x), R(x)", {root("r2")},
       Json::object({{"B_P", "P"}, {"B_R", "R"}})},
  };
  // clang-format on
  for (const auto& c : cases) {
    auto result = parse(c.program, c.roots);
    ASSERT_TRUE(result.ok()) << c.name << result.error().show_message();
    EXPECT_EQ(heads(result.value()), (std::vector<std::string>{"Q", "B_P", "B_R"})) << c.name;
    EXPECT_EQ(result.value().at("predicate_names"), c.names) << c.name;
  }
}

TEST_F(ImportsTest, NestedImportsMergeEveryFileOnce) {
  write("lib/graph.l", "import lib.util.Edge; Path(x, y) :- Edge(x, y); Node(x) :- Edge(x, _)");
  write("lib/util.l", "Edge(1, 2); Helper(3)");
  auto result =
      parse("import lib.graph.Path; import lib.util.Edge; Q(x) :- Path(x, y), Edge(y, x)", {root()});
  ASSERT_TRUE(result.ok()) << result.error().show_message();
  const Json& tree = result.value();
  EXPECT_EQ(heads(tree),
            (std::vector<std::string>{"Q", "Graph_Path", "Graph_Node", "Util_Edge", "Util_Helper"}));
  EXPECT_EQ(calls(tree),
            (std::vector<std::string>{"Graph_Path Util_Edge", "Util_Edge", "Util_Edge", "", ""}));
  EXPECT_EQ(tree.at("predicate_names"), Json::object({{"Graph_Node", "Node"},
                                                      {"Graph_Path", "Path"},
                                                      {"Util_Edge", "Edge"},
                                                      {"Util_Helper", "Helper"}}));
}

TEST_F(ImportsTest, PrefixedNamesStayApart) {
  // Renaming A and then Utils_A one after the other would fold both into one predicate.
  write("utils.l", "A(1); Utils_A(2); B(x) :- A(x), Utils_A(x)");
  auto result = parse("import utils.B; Q(x) :- B(x)", {root()});
  ASSERT_TRUE(result.ok()) << result.error().show_message();
  EXPECT_EQ(heads(result.value()), (std::vector<std::string>{"Q", "Utils_A", "Utils_Utils_A", "Utils_B"}));
  EXPECT_EQ(calls(result.value()).back(), "Utils_A Utils_Utils_A");
  EXPECT_EQ(result.value().at("predicate_names"),
            Json::object({{"Utils_A", "A"}, {"Utils_B", "B"}, {"Utils_Utils_A", "Utils_A"}}));
}

TEST_F(ImportsTest, FilesWithTheSameLastComponentGetLongerPrefixes) {
  write("x/util.l", "P(1)");
  write("y/util.l", "P(2)");
  write("z/y/util.l", "P(3)");
  auto result = parse(
      "import x.util.P; import y.util.P as P2; import z.y.util.P as P3; Q() :- P(), P2(), P3()", {root()});
  ASSERT_TRUE(result.ok()) << result.error().show_message();
  EXPECT_EQ(calls(result.value()).front(), "Util_P yUtil_P zyUtil_P");

  // p.q.r tries R_, qR_ and pqR_, which the files before it have taken.
  for (const char* file : {"r.l", "x/q/r.l", "pq/r.l", "p/q/r.l"}) write(file, "R(1)");
  auto clash = parse(
      "import r.R; import x.q.r.R as R2; import pq.r.R as R3; import p.q.r.R as R4; "
      "Q() :- R(), R2(), R3(), R4()",
      {root()});
  ASSERT_FALSE(clash.ok());
  EXPECT_EQ(clash.error().message, "Import paths equal modulo _ and /.");
  EXPECT_EQ(clash.error().span.to_string(), "pqR_");
}

TEST_F(ImportsTest, ImportChecks) {
  write("a/b.l", "P(1); Q(1)");
  write("main.l", "P(1)");
  const ErrorCase cases[] = {
      {"not used", "import a.b.P; Q(1)", "Predicate imported but not used.", "a.b -> P"},
      {"not defined", "import a.b.Z; Q(x) :- Z(x)", "Predicate imported but not defined.", "a.b -> Z"},
      {"not defined and not used", "import a.b.Z; Q(1)", "Predicate imported but not defined.", "a.b -> Z"},
      {"overridden by the importer", "import a.b.P; P(2); R(x) :- P(x)",
       "Predicate from file is overridden by importer.", "B_P"},
      {"file named main", "import main.P; R(x) :- P(x)", "Empty import prefix", "main"},
  };
  for (const auto& c : cases) expect_error(parse(c.program, {root()}), c);
}

TEST_F(ImportsTest, ImportChainsAreBounded) {
  // f0 imports f1, which imports f2, ...; the last file defines P outright.
  struct Case {
    int files;
    bool ok;
  } cases[] = {{40, true}, {300, false}};
  for (const auto& c : cases) {
    fs::remove_all(dir_ / "chain");
    for (int i = 0; i + 1 < c.files; ++i)
      write("chain/f" + std::to_string(i) + ".l",
            "import chain.f" + std::to_string(i + 1) + ".P as Q; P(x) :- Q(x)");
    write("chain/f" + std::to_string(c.files - 1) + ".l", "P(1)");
    auto result = parse("import chain.f0.P; Top(x) :- P(x)", {root()});
    ASSERT_EQ(result.ok(), c.ok) << c.files;
    if (!c.ok) {
      EXPECT_EQ(result.error().message, "Program is nested too deeply.");
    }
  }
}

TEST_F(ImportsTest, AnotherFileNameAtTheTopIsPrefixed) {
  write("dep.l", "D(1)");
  auto result = parse_file("import dep.D; P(x) :- D(x)", std::string("lib.tools"), {root()});
  ASSERT_TRUE(result.ok()) << result.error().show_message();
  EXPECT_EQ(result.value().at("predicates_prefix").as_str(), "Tools_");
  EXPECT_EQ(heads(result.value()), std::vector<std::string>{"Tools_P"});
  EXPECT_EQ(calls(result.value()), std::vector<std::string>{"Dep_D"});
  EXPECT_FALSE(result.value().has("predicate_names"));
}

}  // namespace
}  // namespace mirtova
