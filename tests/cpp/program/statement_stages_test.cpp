#include "compiler/program/statement_stages.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace mirtova {
namespace {

// Per statement: its measure, and per clause "alias reads stages".
TEST(StatementStagesTest, ClausesCountOnceForEachRead) {
  struct Row {
    std::string statement;
    uint64_t total;
    std::vector<std::string> clauses;
  };
  const std::vector<Row> rows = {
      {"SELECT 1 AS x", 1, {}},
      {"SELECT T.col0 AS col0\nFROM \"T\" AS T", 2, {}},
      // A clause read twice, and one read by it: each read is the clause's whole measure, and their join one
      // more.
      {"WITH A AS (\n  SELECT \"T\".col0 AS col0\n  FROM \"T\" AS T\n),\nB AS (\n  SELECT A.col0 AS col0\n"
       "  FROM A AS A, A AS t_1_A\n)\nSELECT B.col0 AS col0\nFROM B AS B",
       7,
       {"A 2 2", "B 1 6"}},
      // As Presto plans them: a join of three tables, a DISTINCT, a union, and a sub-query of outer values
      // carried by a DISTINCT of their own joined to the table it reads.
      {"SELECT T.c AS c FROM \"T\" AS T, \"E\" AS E, \"D\" AS D WHERE T.c = E.c AND D.c = E.d", 6, {}},
      {"SELECT DISTINCT T.c AS c FROM \"T\" AS T", 3, {}},
      {"SELECT T.c AS c FROM \"T\" AS T UNION ALL SELECT E.c AS c FROM \"E\" AS E", 3, {}},
      {"SELECT T.c AS c FROM \"T\" AS T WHERE ((SELECT MIN(1) AS v FROM \"N\" AS N, (SELECT DISTINCT T.c AS "
       "c0, "
       "json_format(CAST(ROW(T.c) AS JSON)) AS k FROM \"T\" AS T) AS o WHERE o.k = json_format(CAST(ROW(T.c) "
       "AS "
       "JSON)) AND N.c = o.c0) IS NULL)",
       8,
       {}},
      // Neither a comparison by DISTINCT nor a comma or quote in a name is a join or a gathering.
      {"SELECT f(T.c, 1) AS \"a,\"\"(\" FROM \"T\" AS T WHERE T.c IS NOT DISTINCT FROM f(T.c, 2)", 2, {}},
      // A text that merely holds a clause's name, or a column read from it, is no read.
      {"WITH A AS (\n  SELECT 1 AS col0\n)\nSELECT 'A AS b' AS c, t.A AS d\nFROM A AS t", 2, {"A 1 1"}},
      // A step that drops a table and creates it again from a query is measured by the query.
      {"DROP TABLE IF EXISTS \"S\";\nCREATE TABLE \"S\" AS\nWITH A AS (\n  SELECT 1 AS col0\n)\n"
       "SELECT A.col0 AS col0\nFROM A AS A, A AS t_1_A",
       4,
       {"A 2 1"}},
  };
  for (const Row& row : rows) {
    StatementStages got = statement_stages(row.statement);
    EXPECT_EQ(got.total, row.total) << row.statement;
    std::vector<std::string> clauses;
    for (const ClauseStages& c : got.clauses)
      clauses.push_back(c.alias + " " + std::to_string(c.reads) + " " + std::to_string(c.stages));
    EXPECT_EQ(clauses, row.clauses) << row.statement;
  }
}

}  // namespace
}  // namespace mirtova
