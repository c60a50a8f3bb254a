#include <gtest/gtest.h>

#include "support/program_test_support.h"

namespace mirtova {
namespace {

using namespace trees;

const std::string kDuckSetup =
    "SET lambda_syntax = 'ENABLE_SINGLE_ARROW';\n"
    "create sequence if not exists eternal_logical_sequence;\n"
    "CREATE TYPE IF NOT EXISTS quorilrecord893574736 AS STRUCT(nirvana NUMERIC);\n\n";

Json parents() {
  return program({
      rule(head("Parent", {str("alice"), str("bob")}), {}),
      rule(head("Parent", {str("bob"), str("carol")}), {}),
      rule(head("Grandparent", {var("a"), var("c")}),
           {atom("Parent", {var("a"), var("b")}), atom("Parent", {var("b"), var("c")})}),
  });
}

// Scripts whose every line was run on DuckDB and SQLite against fixture tables.
TEST(ProgramCompileTest, ScriptsOfSmallPrograms) {
  Json dept = head("DeptSize", {}, {{"dept", var("dept")}});
  dept.at_mut("record").at_mut("field_value").push(aggregated("n", "Agg+", num(1)));
  struct Case {
    std::string what;
    Json tree;
    std::string predicate, engine, want;
    // clang-format off
  } cases[] = {
      {"facts and a join", parents(), "Grandparent", "duckdb",
       kDuckSetup +
           "WITH Parent AS (\n  SELECT 'alice' AS col0, 'bob' AS col1\n  UNION ALL\n  SELECT 'bob' AS col0, 'carol' "
           "AS col1\n)\nSELECT Parent.col0 AS col0, t_0_Parent.col1 AS col1\nFROM Parent AS Parent, Parent AS "
           "t_0_Parent\nWHERE t_0_Parent.col0 = Parent.col1;"},
      {"named columns and a condition",
       program({rule(head("Adult", {}, {{"name", var("name")}, {"age", var("age")}}),
                     {atom("Person", {}, {{"name", var("name")}, {"age", var("age")}}),
                      cond(">=", var("age"), num(18))})}),
       "Adult", "sqlite",
       "SELECT Person.name AS name, Person.age AS age\nFROM \"Person\" AS Person\nWHERE (Person.age >= 18);"},
      {"injection then elimination",
       program({rule(head("Link", {var("a"), var("b")}),
                     {atom("Edge", {var("a"), var("b")}), cond("!=", var("a"), var("b"))}),
                rule(head("TwoHop", {var("a"), var("c")}),
                     {atom("Link", {var("a"), var("b")}), atom("Link", {var("b"), var("c")})})}),
       "TwoHop", "sqlite",
       "SELECT Edge.col0 AS col0, t_0_Edge.col1 AS col1\nFROM \"Edge\" AS Edge, \"Edge\" AS t_0_Edge\nWHERE "
       "(Edge.col0 != Edge.col1) AND t_0_Edge.col0 = Edge.col1 AND (Edge.col1 != t_0_Edge.col1);"},
      {"injection inside a negation",
       program({rule(head("Link", {var("a"), var("b")}),
                     {atom("Edge", {var("a"), var("b")}), cond("!=", var("a"), var("b"))}),
                rule(head("Alone", {var("x")}),
                     {atom("Node", {var("x")}), negation({atom("Link", {var("x"), var("_")})})})}),
       "Alone", "sqlite",
       "SELECT Node.col0 AS col0\nFROM \"Node\" AS Node\nWHERE ((SELECT MIN(MagicalEntangle(1, t_0.value)) AS "
       "quoril_value\nFROM \"Edge\" AS Edge, JSON_EACH(JSON_ARRAY(0)) as t_0\nWHERE Edge.col0 = Node.col0 AND "
       "(Node.col0 != Edge.col1)) IS NULL);"},
      {"aggregating head, grouped by expression",
       program({rule(dept, {atom("Emp", {}, {{"name", var("name")}, {"dept", var("dept")}})}, "", true)}),
       "DeptSize", "sqlite", "SELECT Emp.dept AS dept, SUM(1) AS n\nFROM \"Emp\" AS Emp\nGROUP BY Emp.dept;"},
      {"aggregating head, grouped by position",
       program({rule(dept, {atom("Emp", {}, {{"name", var("name")}, {"dept", var("dept")}})}, "", true)}),
       "DeptSize", "presto", "SELECT Emp.dept AS dept, SUM(CAST(1 AS BIGINT)) AS n\nFROM \"Emp\" AS Emp\nGROUP BY 1;"},
      {"aggregating head, grouped by name",
       program({rule(dept, {atom("Emp", {}, {{"name", var("name")}, {"dept", var("dept")}})}, "", true)}),
       "DeptSize", "bigquery", "SELECT Emp.dept AS dept, SUM(1) AS n\nFROM `Emp` AS Emp\nGROUP BY dept;"},
      {"distinct", program({rule(head("Dept", {var("d")}), {atom("Emp", {}, {{"dept", var("d")}})}, "", true)}),
       "Dept", "sqlite", "SELECT DISTINCT Emp.dept AS col0\nFROM \"Emp\" AS Emp;"},
      {"negation",
       program({rule(head("Lonely", {var("x")}),
                     {atom("Person", {}, {{"name", var("x")}}), negation({atom("Friend", {var("x"), var("_")})})})}),
       "Lonely", "sqlite",
       "SELECT Person.name AS col0\nFROM \"Person\" AS Person\nWHERE ((SELECT MIN(MagicalEntangle(1, t_0.value)) AS "
       "quoril_value\nFROM \"Friend\" AS Friend, JSON_EACH(JSON_ARRAY(0)) as t_0\nWHERE Friend.col0 = Person.name) "
       "IS NULL);"},
      {"undecorated combine",
       program({rule(head("Total", {var("t")}),
                     {unify(var("t"), combine_expr("Agg+", var("x"), {atom("Sale", {}, {{"amount", var("x")}})}))})}),
       "Total", "bigquery", "SELECT (SELECT SUM(Sale.amount) AS quoril_value\nFROM `Sale` AS Sale) AS col0;"},
      {"inclusion",
       program({rule(head("Item", {var("x")}),
                     {atom("Basket", {}, {{"items", var("l")}}), includes(var("x"), var("l"))})}),
       "Item", "sqlite", "SELECT t_0.value AS col0\nFROM \"Basket\" AS Basket, JSON_EACH(Basket.items) as t_0;"},
      {"a dead rule is dropped",
       program({rule(head("F", {var("a")}), {atom("nil", {var("a")})}), rule(head("F", {var("a")}), {atom("G", {var("a")})})}),
       "F", "sqlite", "SELECT G.col0 AS col0\nFROM \"G\" AS G;"},
      {"only dead rules give no rows",
       program({rule(head("F", {var("a")}), {atom("nil", {var("a")})}), rule(head("F", {var("a")}), {atom("nil", {var("a")})}, "x")}),
       "F", "sqlite", "SELECT NULL AS col0\nFROM (SELECT 1 AS mirtova_unused) AS UNUSED_TABLE_NAME\nWHERE 1 = 0;"},
      {"a function proven empty, called in a value, gives no rows",
       program({rule(head("F", {var("x"), var("d")}),
                     {atom("T", {var("x")}), unify(op("+", call("nil", {var("x")}), num(1)), var("d"))})}),
       "F", "sqlite", "SELECT T.col0 AS col0, ((NULL) + (1)) AS col1\nFROM \"T\" AS T\nWHERE 1 = 0;"},
      {"a function proven empty, unified, gives no rows",
       program({rule(head("F", {var("d")}), {atom("T", {var("x")}), unify(call("nil", {var("x")}), var("d"))})}),
       "F", "sqlite", "SELECT NULL AS col0\nFROM \"T\" AS T\nWHERE 1 = 0;"},
      {"constant in a call and a zero-column head",
       program({rule(head("Any", {}), {atom("T", {num(1)})})}), "Any", "sqlite",
       "SELECT 1 AS mirtova_unit\nFROM \"T\" AS T\nWHERE T.col0 = 1;"},
      {"a distinct predicate of two rules, read as a clause",
       program({rule(head("Dept", {var("d")}), {atom("Emp", {}, {{"dept", var("d")}})}, "", true),
                rule(head("Dept", {var("d")}), {atom("Old", {}, {{"dept", var("d")}})}, "", true),
                rule(head("Big", {var("d")}), {atom("Dept", {var("d")}), atom("Large", {var("d")})})}),
       "Big", "sqlite",
       "WITH Dept AS (\n  SELECT DISTINCT * FROM (\n    SELECT DISTINCT Emp.dept AS col0\n    FROM \"Emp\" AS Emp\n"
       "    UNION ALL\n    SELECT DISTINCT Old.dept AS col0\n    FROM \"Old\" AS Old\n  ) AS mirtova_distinct\n)\n"
       "SELECT Dept.col0 AS col0\nFROM Dept AS Dept, \"Large\" AS Large\nWHERE Large.col0 = Dept.col0;"},
      {"clauses whose texts hold line breaks",
       program({rule(head("P", {str("a\nb")}), {}), rule(head("P", {str("c")}), {}),
                rule(head("Q", {var("x")}), {atom("P", {var("x")}), atom("T", {var("x")})}),
                rule(head("Q", {var("x")}), {atom("T", {var("x")})}),
                rule(head("R", {var("x")}), {atom("Q", {var("x")}), atom("P", {var("x")})})}),
       "R", "sqlite",
       "WITH P AS (\n  SELECT 'a\nb' AS col0\n  UNION ALL\n  SELECT 'c' AS col0\n),\nQ AS (\n  SELECT P.col0 AS col0\n"
       "  FROM P AS P, \"T\" AS T\n  WHERE T.col0 = P.col0\n  UNION ALL\n  SELECT t_0_T.col0 AS col0\n"
       "  FROM \"T\" AS t_0_T\n)\nSELECT Q.col0 AS col0\nFROM Q AS Q, P AS t_1_P\nWHERE t_1_P.col0 = Q.col0;"},
  };
  // clang-format on
  for (const Case& c : cases) {
    auto r = compile(c.tree, c.predicate, c.engine);
    ASSERT_TRUE(r.ok()) << c.what << ": " << r.error().message;
    EXPECT_EQ(r.value(), c.want) << c.what;
  }
}

TEST(ProgramCompileTest, EveryRuleOfAPredicateInOneColumnOrder) {
  Json tree = program({
      rule(head("P", {}, {{"a", num(1)}, {"b", num(2)}}), {}),
      rule(head("P", {}, {{"b", num(3)}, {"a", num(4)}}), {}),
      rule(head("D", {var("x")}), {atom("T", {var("x")})}, "", true),
      rule(head("D", {var("x")}), {atom("U", {var("x")})}, "", true),
  });
  auto p = compile(tree, "P", "sqlite");
  ASSERT_TRUE(p.ok()) << p.error().message;
  EXPECT_EQ(p.value(), "SELECT 1 AS a, 2 AS b\nUNION ALL\nSELECT 4 AS a, 3 AS b;");
  auto d = compile(tree, "D", "sqlite");
  ASSERT_TRUE(d.ok()) << d.error().message;
  EXPECT_EQ(d.value(),
            "SELECT DISTINCT * FROM (\n  SELECT DISTINCT T.col0 AS col0\n  FROM \"T\" AS T\n  UNION ALL\n"
            "  SELECT DISTINCT U.col0 AS col0\n  FROM \"U\" AS U\n) AS mirtova_distinct;");
}

TEST(ProgramCompileTest, EachPredicateCompilesAloneOrInTurn) {
  Json tree = parents();
  auto program = build_program(tree, "duckdb");
  ASSERT_TRUE(program.ok());
  EXPECT_EQ(program.value()->user_defined_predicates(), (std::vector<std::string>{"Grandparent", "Parent"}));
  for (const std::string& p : program.value()->user_defined_predicates()) {
    auto in_turn = program.value()->formatted_predicate_sql_impl(p, {}, std::nullopt);
    auto alone = compile(tree, p);
    ASSERT_TRUE(in_turn.ok() && alone.ok());
    EXPECT_EQ(in_turn.value(), alone.value()) << p;
  }
}

}  // namespace
}  // namespace mirtova

namespace mirtova {
namespace {

using namespace trees;

TEST(ProgramCompileTest, PostgresNamesTheRecordTypesItWrites) {
  Json record = Json::object(
      {{"record", Json::object({{"field_value", Json(fields({}, {{"a", str("k")}, {"b", var("x")}}))}})}});
  Json tree = program({rule(head("T", {var("t")}),
                            {unify(var("t"), combine_expr("List", record, {atom("Measure", {var("x")})}))})});
  auto sql = compile(tree, "T", "psql");
  ASSERT_TRUE(sql.ok()) << sql.error().message;
  const std::string& s = sql.value();
  size_t cast = s.find(")::quorilrecord");
  ASSERT_NE(cast, std::string::npos) << s;
  size_t digits = cast + 3 + std::string_view("quorilrecord").size();
  std::string type_name = s.substr(cast + 3, s.find_first_not_of("0123456789", digits) - cast - 3);
  // The set-up step declares the type before the query uses it (b by the
  // type of the column it is read from).
  size_t declared =
      s.find("WHERE typname = '" + type_name + "') THEN EXECUTE 'CREATE TYPE " + type_name + " AS (");
  EXPECT_LT(declared, cast) << s;
  // The list is of the type its records were written with: the syntax does not
  // show the type of b, so no other is named for it.
  EXPECT_EQ(s.find("CAST((SELECT"), std::string::npos) << s;
  EXPECT_EQ(compile(tree, "T", "duckdb").value().find("CAST((SELECT"), std::string::npos);
}

}  // namespace
}  // namespace mirtova
