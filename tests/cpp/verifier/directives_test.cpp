// The directive checks: each row a program and the findings it must give, in order.
#include "verifier/directives.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/verifier_programs.h"

namespace mirtova::verifier {
namespace {

std::vector<std::string> directive_findings(const std::string& source) {
  Json program = parsed_program(source);
  std::vector<std::string> texts;
  for (const DirectiveError& error : check_directives(rule_lists(program).full))
    texts.push_back(error.text());
  return texts;
}

std::string undefined_flag(const std::string& flag) {
  return "Undefined flag '" + flag + "': define it with @DefineFlag(\"" + flag + "\", value)";
}
std::string needs_predicate(const std::string& directive) {
  return directive + " needs the predicate it is about as its first argument";
}
std::string not_defined(const std::string& directive, const std::string& p) {
  return directive + "(" + p + ") is about '" + p + "', which the program does not define";
}
std::string bad_limit(const std::string& p) {
  return "@Limit(" + p + "): the limit must be a whole number of rows, 0 or more";
}
std::string bad_depth(const std::string& p) {
  return "@Recursive(" + p +
         "): the depth is a whole number of steps, 1 or more, or -1 to recurse until nothing changes";
}
std::string too_many(const std::string& p) {
  return "@Recursive(" + p + "): takes the predicate and its depth only";
}
std::string not_a_column_name(const std::string& p) {
  return "@OrderBy(" + p + "): each argument is a column name, as a string";
}
std::string malformed_item(const std::string& p, const std::string& item) {
  return "@OrderBy(" + p + "): '" + item +
         "' is not a column to order by: write a column name, optionally followed by ASC or DESC";
}
std::string no_column(const std::string& p, const std::string& column, const std::string& columns) {
  return "@OrderBy(" + p + "): '" + p + "' has no column '" + column + "' (its columns: " + columns + ")";
}
const std::string kCopyToFile = "@Ground: copy_to_file is not supported: a program writes no file";
const std::string kAttach =
    "@AttachDatabase is not supported: a program reads the tables of the database it runs on, not files";
std::string bad_dataset(const std::string& name) {
  return "@Dataset: '" + name +
         "' is not a schema name: write names of letters, digits, '_' and '-', joined by '.'";
}

void expect_rows(const std::vector<FindingRow>& rows) { expect_findings(rows, directive_findings); }

const std::string kP = "P(a: 1, b: 2);";

TEST(DirectiveChecks, Limit) {
  expect_rows({
      {"no annotations", kP + " Q(x:) :- P(a: x);", {}},
      {"a limit", "@Limit(P, 10);" + kP, {}},
      {"limit 0", "@Limit(P, 0);" + kP, {}},
      {"no limit", "@Limit(P);" + kP, {bad_limit("P")}},
      {"negative", "@Limit(P, -1);" + kP, {bad_limit("P")}},
      {"a text", "@Limit(P, \"10\");" + kP, {bad_limit("P")}},
      {"a fraction", "@Limit(P, 1.5);" + kP, {bad_limit("P")}},
      {"undefined predicate: the limit is not looked at",
       "@Limit(Q, -1);" + kP,
       {not_defined("@Limit", "Q")}},
      {"a text is no predicate", "@Limit(\"P\", 10);" + kP, {needs_predicate("@Limit")}},
      {"no argument", "@Limit();" + kP, {needs_predicate("@Limit")}},
      {"defined later", kP + "@Limit(P, 3);", {}},
      {"called only", "Q(x:) :- R(x:); @Limit(R, 3);", {not_defined("@Limit", "R")}},
      {"made by a functor", "B(x:) :- P(a: x); M := B(P: P); @Limit(M, 3);" + kP, {}},
      {"a reserved predicate", "@Limit(Today, 3);", {}},
  });
}

TEST(DirectiveChecks, Recursive) {
  const std::string path = "Path(a:, b:) :- Edge(a:, b:); Path(a:, b:) :- Path(a:, b: c), Edge(a: c, b:);";
  expect_rows({
      {"no depth", "@Recursive(Path);" + path, {}},
      {"a depth", "@Recursive(Path, 3);" + path, {}},
      {"until nothing changes", "@Recursive(Path, -1);" + path, {}},
      {"written apart", "@Recursive(Path, - 1);" + path, {}},
      {"infinity, as the compiler takes it", "@Recursive(Path, \u221e);" + path, {}},
      {"zero", "@Recursive(Path, 0);" + path, {bad_depth("Path")}},
      {"minus two", "@Recursive(Path, -2);" + path, {bad_depth("Path")}},
      {"a text", "@Recursive(Path, \"3\");" + path, {bad_depth("Path")}},
      {"too many", "@Recursive(Path, 3, 4);" + path, {too_many("Path")}},
      // Named options of the unfolding, never read as the depth.
      {"a depth and a stop signal", "@Recursive(Path, 20, stop: Path);" + path, {}},
      {"a stop signal alone", "@Recursive(Path, stop: Path);" + path, {}},
      {"an ignition", "@Recursive(Path, 9, ignition: 0);" + path, {}},
      {"an ignition alone", "@Recursive(Path, ignition: -3);" + path, {}},
      {"an unknown option", "@Recursive(Path, 3, fuel: 4);" + path, {too_many("Path")}},
      {"a bad depth beside an option", "@Recursive(Path, 0, stop: Path);" + path, {bad_depth("Path")}},
      {"undefined", "@Recursive(Walk, 3);" + path, {not_defined("@Recursive", "Walk")}},
      {"no predicate", "@Recursive(3);" + path, {needs_predicate("@Recursive")}},
  });
}

TEST(DirectiveChecks, OrderBy) {
  expect_rows({
      {"column and direction", "@OrderBy(P, \"a DESC\");" + kP, {}},
      {"a bare name", "@OrderBy(P, a);" + kP, {}},
      {"nulls last", "@OrderBy(P, \"b asc nulls last\");" + kP, {}},
      {"the predicate alone", "@OrderBy(P);" + kP, {}},
      {"a direction alone", "@OrderBy(P, \"DESC\");" + kP, {}},
      {"unknown column", "@OrderBy(P, \"c\");" + kP, {no_column("P", "c", "a, b")}},
      {"columns compare by case", "@OrderBy(P, \"A desc\");" + kP, {no_column("P", "A", "a, b")}},
      {"a number", "@OrderBy(P, 5);" + kP, {not_a_column_name("P")}},
      {"three words", "@OrderBy(P, \"a b c\");" + kP, {malformed_item("P", "a b c")}},
      {"one finding per bad item, in order",
       "@OrderBy(P, \"c\", 5, \"a\", \"d desc\");" + kP,
       {no_column("P", "c", "a, b"), not_a_column_name("P"), no_column("P", "d", "a, b")}},
      {"positional columns give no schema", "@OrderBy(Q, \"zz\"); Q(1, 2);", {}},
      {"a row passed on gives no schema", "@OrderBy(Q, \"zz\"); Q(..r) :- P(..r);" + kP, {}},
      {"a predicate without columns", "@OrderBy(Q, \"a\"); Q() :- P();" + kP, {no_column("Q", "a", "")}},
      {"undefined: the items are not looked at", "@OrderBy(R, 5);" + kP, {not_defined("@OrderBy", "R")}},
  });
}

TEST(DirectiveChecks, GroundAttachAndDataset) {
  expect_rows({
      {"ground", "@Ground(P);" + kP, {}},
      {"ground into a file", "@Ground(P, copy_to_file: \"x\");" + kP, {kCopyToFile}},
      {"ground into a file, undefined",
       "@Ground(Q, copy_to_file: \"x\");" + kP,
       {kCopyToFile, not_defined("@Ground", "Q")}},
      {"ground without a predicate", "@Ground(\"P\");" + kP, {needs_predicate("@Ground")}},
      {"attach, every time",
       "@AttachDatabase(P, \"x.db\"); @AttachDatabase(\"y\");" + kP,
       {kAttach, kAttach}},
      {"dataset", "@Dataset(\"my-project.data_set\");" + kP, {}},
      {"dataset without argument", "@Dataset();" + kP, {}},
      {"empty part", "@Dataset(\"a..b\");" + kP, {bad_dataset("a..b")}},
      {"leading dash", "@Dataset(\"-a\");" + kP, {bad_dataset("-a")}},
      {"source text of a name", "@Dataset(x + 1);" + kP, {bad_dataset("x + 1")}},
      {"other annotations say nothing here", "@Engine(\"duckdb\"); @NoInject(Q); @With(Q);" + kP, {}},
  });
}

TEST(DirectiveChecks, Flags) {
  const std::string reads = "Q(x:) :- P(a: x), x == FlagValue(\"f\");";
  expect_rows({
      {"defined", "@DefineFlag(\"f\", 1);" + reads + kP, {}},
      {"undefined", reads + kP, {undefined_flag("f")}},
      {"read three times, reported once",
       reads + "R(x:) :- P(a: x), x == FlagValue(\"f\"); S(x: FlagValue(\"f\"));" + kP,
       {undefined_flag("f")}},
      {"a bare name defines nothing", "@DefineFlag(f, 1);" + reads + kP, {undefined_flag("f")}},
      {"no arguments define nothing", "@DefineFlag();" + reads + kP, {undefined_flag("f")}},
      {"in byte order, before every statement's findings",
       "@Limit(P);" + kP + "Q(x: FlagValue(\"b\")); R(x: FlagValue(\"a\"));",
       {undefined_flag("a"), undefined_flag("b"), bad_limit("P")}},
      {"read by an annotation", "@Limit(P, FlagValue(\"n\"));" + kP, {undefined_flag("n"), bad_limit("P")}},
      {"a name that is no text reads no flag", "Q(x: FlagValue(y)) :- P(a: y);" + kP, {}},
      {"inside a combine",
       "Q(x:) :- P(a: x), x > Max{y :- P(a: y), y < FlagValue(\"g\")};" + kP,
       {undefined_flag("g")}},
  });
}

// The unknown columns of one ordering share one list of the columns, so that
// n of them against n columns take memory in proportion to n, not to n * n.
TEST(DirectiveChecks, UnknownColumnsShareTheList) {
  Json program = parsed_program("@OrderBy(P, \"x\", \"y desc\", a, \"z\"); P(a: 1, b: 2);");
  const std::vector<DirectiveError> found = check_directives(rule_lists(program).full);
  ASSERT_EQ(found.size(), 3u);
  EXPECT_EQ(found[1].text(), "@OrderBy(P): 'P' has no column 'y' (its columns: a, b)");
  for (const DirectiveError& error : found) EXPECT_EQ(&error.tail.str(), &found.front().tail.str());
}

}  // namespace
}  // namespace mirtova::verifier
