// How many stages an engine that plans a query in stages (and bounds their
// number) may give one statement: every WITH clause is expanded where it is
// read, and each SELECT, table read, join, DISTINCT and GROUP BY stands for
// about one stage (a union's branches share their reader's). A
// measure from the statement's text as the compiler writes it ("WITH name AS
// (", its body indented, closed by a line ")" or "),").
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace mirtova {

struct ClauseStages {
  std::string alias;
  uint64_t reads = 0;   // how many times the expanded statement holds the clause
  uint64_t stages = 0;  // the clause's own measure, every clause it reads expanded
};

struct StatementStages {
  uint64_t total = 0;
  std::vector<ClauseStages> clauses;  // in the statement's order
};

StatementStages statement_stages(std::string_view statement);

}  // namespace mirtova
