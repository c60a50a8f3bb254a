// The semi-naive loop for a linear, distinct recursion: the test that picks it
// and the program text it writes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "compiler/functors/functors.h"
#include "compiler/functors/generated_names.h"
#include "parser/json.h"

namespace mirtova {

namespace semi_naive_fields {

// Counts the mentions of `names` in `tree` into `count`, and sets `in_combine`
// when one of them lies below a "combine" key.
void references(const Json& tree, const NameSet& names, bool inside_combine, uint64_t& count,
                bool& in_combine);

}  // namespace semi_naive_fields

// The head field list of `predicate` (the component's only visible member)
// when every rule of the component calls it at most once, never from inside a
// combine, and every rule of the predicate is distinct, unaggregated and has
// the same head fields; nothing otherwise.
std::optional<Json::ArrayType> semi_naive_head_fields(const NameSet& component, const std::string& predicate,
                                                      const std::vector<Json>& rules);

// The same, reading only the rules at `positions` (ascending), which must hold
// every rule headed by a member.
std::optional<Json::ArrayType> semi_naive_head_fields(const NameSet& component, const std::string& predicate,
                                                      const std::vector<Json>& rules,
                                                      const std::vector<size_t>& positions);

// " | {0}_sn_t{i}({1})" for i from first to last; empty when first > last.
std::string semi_naive_disjunction(const std::string& name, const std::string& arguments, uint64_t first,
                                   uint64_t last);

// The loop text: delta and full tables, the empty chain, the new and back
// steps and the @Iteration line.
// The names made are built on the predicate's stem (its own name by default).
std::string get_semi_naive_recursion_functor(const std::string& name, const Json::ArrayType& head_fields,
                                             int64_t depth, const Stems& stems = {});

}  // namespace mirtova
