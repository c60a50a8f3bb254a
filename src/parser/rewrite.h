// The three passes that every parsed file's rule list goes through, in this
// order: disjunctive normal form, multi-body aggregation, aggregations as calls.
#pragma once

#include "parser/rewrite/aggregations_as_calls.h"
#include "parser/rewrite/dnf.h"
#include "parser/rewrite/multi_body_aggregation.h"
