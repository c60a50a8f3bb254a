// Recursion analysis: the recursive components of the dependency graph, the
// main predicate, depth and unfolding style of each, and the driver that hands
// each component to the writer of its style.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "compiler/functors/functors.h"

namespace mirtova {

// The strongly connected sets of recursive predicates, each found from its
// smallest member that is not an auxiliary predicate, in the order of those
// seeds. A component of auxiliary predicates only is never found.
std::vector<NameSet> recursive_components(const Functors& index);

// True when the direct calls inside the component hold a cycle that avoids
// `main`.
bool has_cycle_avoiding(const Functors& index, const std::string& main, const NameSet& component);

struct UnfoldingChoice {
  std::string main;
  NameSet component;
  std::string style;  // "vertical", "horizontal" or "iterative_horizontal"
};

// One choice per component, ordered by main predicate. An infinite depth (-1)
// of a main predicate is replaced in `recursion_args` by 1000000000.
// `most_references` is the engine's bound on one statement's references to a
// table: a component gets the iterative form where its unfolded levels would
// reference some table more than a quarter of it, or more than half of it
// counted once for each time one statement may read the component.
std::vector<UnfoldingChoice> choose_unfoldings(const Functors& index, RecursionArgs& recursion_args,
                                               bool iterative, uint64_t most_references = UINT64_MAX);

// How many times the script form of `component`, each member unfolded `depth`
// levels deep, references the table it references most (a name outside the
// component), once the levels are expanded into one statement: level k of a
// member reads each such name as often as its rules mention it, and each
// member's level k - 1 as often as they mention that member. Stops counting
// past `cap`.
uint64_t unfolded_table_references(const Functors& index, const NameSet& component, int64_t depth,
                                   uint64_t cap);

// The depth option "1" of a predicate: its number, else 8.
int64_t recursion_depth(const RecursionArgs& recursion_args, const std::string& predicate);

// The number of flat levels written before an iteration takes over; its parity
// differs from the depth's, so the loop covers the rest exactly.
int64_t default_ignition(size_t component_size, int64_t depth);

}  // namespace mirtova
