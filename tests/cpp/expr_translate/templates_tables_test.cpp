#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "compiler/dialects/dialect.h"
#include "compiler/expr_translate/basis_functions.h"
#include "compiler/expr_translate/expr_translator.h"
#include "compiler/expr_translate/template_tables.h"
#include "support/engine_names.h"

namespace mirtova {
namespace {

std::unique_ptr<Dialect> dialect_of(std::string_view engine) { return Dialect::get(engine_of(engine)); }

const std::vector<std::string_view> kAllEngines = {"duckdb", "databricks", "presto",  "trino",
                                                   "psql",   "sqlite",     "bigquery"};

TEST(TemplateTables, CamelCase) {
  struct Case {
    std::string_view snake, camel;
  };
  for (const Case& c : std::vector<Case>{{"array_concat_agg", "ArrayConcatAgg"},
                                         {"a__b", "AB"},
                                         {"x", "X"},
                                         {"already_Camel", "AlreadyCamel"},
                                         {"", ""},
                                         {"_lead", "Lead"},
                                         {"log10", "Log10"},
                                         {"st_asgeojson", "StAsgeojson"}}) {
    EXPECT_EQ(to_camel_case(c.snake), c.camel) << c.snake;
  }
}

TEST(TemplateTables, Catalogue) {
  const TemplateMap& catalogue = plain_sql_functions();
  EXPECT_EQ(catalogue.size(), 269u);
  EXPECT_EQ(&catalogue, &plain_sql_functions());
  struct Case {
    std::string_view name, sql;
  };
  for (const Case& c : std::vector<Case>{{"Abs", "ABS(%s)"},
                                         {"NetIpFromString", "NET.IP_FROM_STRING(%s)"},
                                         {"HllCountMergePartial", "HLL_COUNT.MERGE_PARTIAL(%s)"},
                                         {"StAsgeojson", "ST_ASGEOJSON(%s)"},
                                         {"Log10", "LOG10(%s)"},
                                         {"VarSamp", "VAR_SAMP(%s)"}}) {
    auto found = catalogue.find(std::string(c.name));
    ASSERT_NE(found, catalogue.end()) << c.name;
    EXPECT_EQ(found->second, c.sql);
  }
}

TEST(TemplateTables, BaseTableSizes) {
  EXPECT_EQ(base_infix_operators().size(), 18u);
  EXPECT_EQ(base_built_in_functions().size(), 68u);
  std::set<std::string_view> names;
  for (const TemplateRow& row : base_built_in_functions()) names.insert(row.name);
  EXPECT_EQ(names.size(), 68u) << "a base function row is listed twice";
}

// (engine, kind, name) -> template, or none when the engine has no such name.
struct Lookup {
  std::string_view engine;
  bool op;
  std::string_view name;
  std::optional<std::string_view> sql;
};

TEST(TemplateTables, MergedLookups) {
  const std::vector<Lookup> cases = {
      {"bigquery", false, "Count", "COUNT(DISTINCT {0})"},
      {"trino", false, "Count", "COUNT(DISTINCT %s)"},
      {"duckdb", false, "Count", "COUNT(DISTINCT {0})"},
      {"psql", false, "Count", "COUNT(DISTINCT {0})"},
      {"sqlite", false, "Count", "COUNT(DISTINCT {0})"},
      {"sqlite", false, "Concat", "JSON(MIRTOVA_ARRAY_CONCAT({0}, {1}))"},
      {"duckdb", false, "Concat", "(({0}) || ({1}))"},
      {"databricks", false, "ArrayConcat", "FLATTEN(ARRAY({0}, {1}, ARRAY()))"},
      {"presto", false, "ArrayConcat",
       "element_at(transform(ARRAY[ARRAY[{0}, {1}]], mirtova_p -> (CASE WHEN cardinality(filter(mirtova_p, "
       "mirtova_e -> mirtova_e IS NULL)) > 0 THEN NULL ELSE flatten(mirtova_p) END)), 1)"},
      {"psql", false, "ArrayConcat",
       "(SELECT CASE WHEN mirtova_a IS NULL OR mirtova_b IS NULL THEN NULL ELSE mirtova_a || mirtova_b END "
       "FROM "
       "(SELECT {0} AS mirtova_a, {1} AS mirtova_b OFFSET 0) AS mirtova_s)"},
      {"duckdb", false, "ArrayConcat", "(({0}) || ({1}))"},
      {"bigquery", false, "ArrayConcat", "ARRAY_CONCAT(%s)"},
      {"psql", false, "NetHost", kNotOnThisEngine},
      {"bigquery", false, "NetIpFromString", "NET.IP_FROM_STRING({0})"},
      {"databricks", false, "ILike", "(CAST({0} AS STRING) ILIKE {1} ESCAPE '\\\\')"},
      {"duckdb", false, "ILike", std::nullopt},
      {"bigquery", false, "ILike", std::nullopt},
      {"duckdb", false, "Log", "LN(%s)"},
      {"psql", false, "Log", "LN(%s)"},
      {"presto", false, "Log", "LN({0})"},
      {"trino", false, "Log", "LN({0})"},
      {"databricks", false, "Log", "LOG(%s)"},
      {"sqlite", false, "Log", "LN(%s)"},
      {"bigquery", false, "Log", "LOG({0}, {1})"},
      {"bigquery", false, "Log/1", "LOG({0})"},
      {"bigquery", false, "Coalesce/0", kNotOnThisEngine},
      {"presto", false, "ToString", "CAST(%s AS VARCHAR)"},
      {"duckdb", false, "tostring", std::nullopt},
      {"duckdb", false, "NoSuchThing", std::nullopt},
      {"bigquery", false, "Like", "({0} LIKE {1})"},
      {"duckdb", false, "Like", "({0} LIKE {1} ESCAPE '\\')"},
      {"databricks", false, "Split", "SPLIT({0}, REGEXP_REPLACE({1}, '([^a-zA-Z0-9])', '\\\\\\\\$1'))"},
      {"duckdb", false, "-", "- %s"},
      {"duckdb", true, "-", "(%s) - (%s)"},
      {"duckdb", true, "in",
       "(CASE WHEN list_contains({1}, {0}) THEN true WHEN {0} IS NULL OR {1} IS NULL OR list_count({1}) < "
       "len({1}) THEN "
       "NULL ELSE false END)"},
      {"psql", true, "in", "%s = ANY(%s)"},
      {"presto", true, "/", "CAST(%s AS DOUBLE) / NULLIF(%s, 0)"},
      {"trino", true, "/", "CAST(%s AS DOUBLE) / NULLIF(%s, 0)"},
      {"bigquery", true, "/", "(%s) / NULLIF(%s, 0)"},
      {"bigquery", true, "++", "%s || %s"},
      {"databricks", true, "in", "ARRAY_CONTAINS({1}, {0})"},
      {"sqlite", true, "%",
       "(WITH mirtova_once(mirtova_a0, mirtova_a1) AS (VALUES ({0}, {1})) SELECT (CASE WHEN (mirtova_a1) = "
       "-1 "
       "THEN (mirtova_a0) - CAST((mirtova_a0) AS INTEGER) ELSE (mirtova_a0) - (mirtova_a1) * "
       "CAST((mirtova_a0) / NULLIF(mirtova_a1, 0) AS INTEGER) END) FROM mirtova_once)"},
      {"duckdb", true, "is not", "%s IS NOT %s"},
      {"duckdb", true, "Max", std::nullopt},
  };
  for (const Lookup& c : cases) {
    auto dialect = dialect_of(c.engine);
    DialectTables tables = dialect_tables(*dialect);
    const TemplateMap& map = c.op ? *tables.operators : *tables.functions;
    auto found = map.find(std::string(c.name));
    if (!c.sql) {
      EXPECT_EQ(found, map.end()) << c.engine << " " << c.name;
      continue;
    }
    ASSERT_NE(found, map.end()) << c.engine << " " << c.name;
    EXPECT_EQ(found->second, *c.sql) << c.engine << " " << c.name;
  }
}

// SQLite's LIKE ignores the case of ASCII letters: its Like matches through GLOB.
TEST(TemplateTables, SqliteLikeKeepsCase) {
  DialectTables tables = dialect_tables(*dialect_of("sqlite"));
  EXPECT_NE(tables.functions->at("Like").find("(mirtova_a0 GLOB (WITH RECURSIVE mirtova_l"),
            std::string::npos);
}

TEST(TemplateTables, EveryEngineHasEveryBaseName) {
  for (std::string_view engine : kAllEngines) {
    auto dialect = dialect_of(engine);
    DialectTables tables = dialect_tables(*dialect);
    for (const TemplateRow& row : base_built_in_functions()) {
      EXPECT_EQ(tables.functions->count(std::string(row.name)), 1u) << engine << " " << row.name;
    }
    for (const auto& [name, sql] : plain_sql_functions()) {
      EXPECT_EQ(tables.functions->count(name), 1u) << engine << " " << name;
    }
    // Rows for one kind of left operand are not operators of their own.
    EXPECT_EQ(std::count_if(tables.operators->begin(), tables.operators->end(),
                            [](const auto& row) { return row.first.find('@') == std::string::npos; }),
              18)
        << engine;
    for (const TemplateRow& row : dialect->built_in_functions()) {
      EXPECT_EQ(tables.functions->at(std::string(row.name)), row.sql) << engine << " " << row.name;
    }
    for (const TemplateRow& row : dialect->infix_operators()) {
      EXPECT_EQ(tables.operators->at(std::string(row.name)), row.sql) << engine << " " << row.name;
    }
  }
}

TEST(TemplateTables, EngineRowCounts) {
  struct Case {
    std::string_view engine;
    size_t functions, operators;
  };
  // Own rows, the catalogue functions the engine refuses included.
  for (const Case& c : std::vector<Case>{{"duckdb", 241, 3},
                                         {"databricks", 245, 2},
                                         {"presto", 253, 5},
                                         {"trino", 251, 5},
                                         {"psql", 254, 6},
                                         {"sqlite", 271, 4},
                                         {"bigquery", 2155, 2}}) {
    auto dialect = dialect_of(c.engine);
    EXPECT_EQ(dialect->built_in_functions().size(), c.functions) << c.engine;
    EXPECT_EQ(dialect->infix_operators().size(), c.operators) << c.engine;
  }
}

TEST(TemplateTables, PrestoAndTrinoDifferWhereOneLacksWhatTheOtherHas) {
  auto presto = dialect_of("presto");
  auto trino = dialect_of("trino");
  DialectTables p = dialect_tables(*presto);
  DialectTables t = dialect_tables(*trino);
  EXPECT_EQ(*p.operators, *t.operators);
  std::set<std::string> differing;
  for (const auto& [name, sql] : *p.functions) {
    auto other = t.functions->find(name);
    if (other == t.functions->end() || other->second != sql) differing.insert(name);
  }
  for (const auto& [name, sql] : *t.functions) {
    if (p.functions->count(name) == 0) differing.insert(name);
  }
  // Presto has no sinh nor format, and writes a ROW's JSON without its names.
  EXPECT_EQ(differing, (std::set<std::string>{"Sinh", "ToJsonString", "ToJsonString@record", "ToString"}));
}

TEST(TemplateTables, SharedPerEngine) {
  auto duck1 = dialect_of("duckdb");
  auto duck2 = dialect_of("duckdb");
  auto lite = dialect_of("sqlite");
  FlagMap flags;
  ExprTranslator a({}, *duck1, flags);
  ExprTranslator b({}, *duck2, flags);
  ExprTranslator c({}, *lite, flags);
  EXPECT_EQ(a.functions, b.functions);
  EXPECT_EQ(a.operators, b.operators);
  EXPECT_NE(a.functions, c.functions);
  EXPECT_EQ(basis_functions(*duck1).get(), basis_functions(*duck2).get());
}

TEST(TemplateTables, ReadFromEightThreads) {
  // Every thread asks for every engine's maps at once; all must see the same
  // maps, each built once, with the same contents.
  std::vector<std::vector<const TemplateMap*>> seen(8);
  std::vector<std::vector<std::string>> looked_up(8);
  std::vector<std::thread> threads;
  for (size_t t = 0; t < 8; ++t) {
    threads.emplace_back([t, &seen, &looked_up] {
      for (int round = 0; round < 20; ++round) {
        for (size_t e = 0; e < kAllEngines.size(); ++e) {
          std::string_view engine = kAllEngines[(e + t) % kAllEngines.size()];
          auto dialect = Dialect::get(engine_of(engine));
          DialectTables tables = dialect_tables(*dialect);
          if (round == 0) {
            seen[t].push_back(tables.functions.get());
            looked_up[t].push_back(std::string(engine) + ":" + tables.functions->at("Count"));
          }
          (void)basis_functions(*dialect);
        }
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (size_t t = 1; t < 8; ++t) {
    std::set<const TemplateMap*> a(seen[0].begin(), seen[0].end());
    std::set<const TemplateMap*> b(seen[t].begin(), seen[t].end());
    EXPECT_EQ(a, b);
    std::set<std::string> x(looked_up[0].begin(), looked_up[0].end());
    std::set<std::string> y(looked_up[t].begin(), looked_up[t].end());
    EXPECT_EQ(x, y);
  }
  EXPECT_EQ(std::set<const TemplateMap*>(seen[0].begin(), seen[0].end()).size(), kAllEngines.size());
}

TEST(TemplateTables, BasisFunctions) {
  std::set<std::string> all;
  for (std::string_view engine : kAllEngines) {
    auto dialect = dialect_of(engine);
    auto names = basis_functions(*dialect);
    all.insert(names->begin(), names->end());
    EXPECT_EQ(names->count("SqlExpr"), 1u);
    EXPECT_EQ(names->count("is not"), 1u);
    EXPECT_EQ(names->count("ILike"), engine == "databricks" ? 1u : 0u) << engine;
  }
  EXPECT_EQ(all.size(), 331u);
  EXPECT_EQ(*all.begin(), "!");
  EXPECT_EQ(*all.rbegin(), "||");
}

}  // namespace
}  // namespace mirtova
