// Spark SQL refuses a sub-query anywhere inside a function that binds a lambda
// (TRANSFORM, FILTER, AGGREGATE, ...), even in an argument the lambda never
// reads; the same call reads a column of a derived table there.
#pragma once

#include <string>

namespace mirtova {

// `call`, the SQL of one function call, with the outermost sub-queries it holds
// read first when a lambda is written outside them: "(SELECT <call> FROM (q0)
// AS mirtova_q0(v) CROSS JOIN ...)", each distinct sub-query once and its
// places in the call reading mirtova_qN.v. Spark decorrelates a sub-query
// there as in the call itself. A sub-query of no rows gives the call's value
// no row, read as NULL: as the call gives for a NULL argument, since no such
// function of a lambda makes a value of NULL. Unchanged otherwise.
std::string subqueries_outside_lambdas(std::string call);

}  // namespace mirtova
