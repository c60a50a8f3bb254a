// The vertical style: a component whose cycles all pass through its main
// predicate becomes a chain of functor applications of its rules' template.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/compile_error.h"
#include "common/result.h"
#include "compiler/functors/functors.h"
#include "compiler/functors/generated_names.h"
#include "parser/json.h"

namespace mirtova {

// Turns the component's rules into the template (heads "{0}_recursive_head",
// calls of the main predicate "{0}_recursive") and renames the annotations
// that name a member, except those that keep naming it (see
// renames_within_annotation).
// The names made are built on each member's stem (its own name by default).
void rename_for_vertical(std::vector<Json>& rules, const std::string& main, const NameSet& component,
                         const Stems& stems = {});

// The same, visiting only the rules at `positions`, which must hold every rule
// the rename changes (see RewriteCandidates).
void rename_for_vertical(std::vector<Json>& rules, const std::vector<size_t>& positions,
                         const std::string& main, const NameSet& component, const Stems& stems = {});

// The chain: copies 0 to depth of the template, each reading the one before,
// and the main predicate as the last.
std::string vertical_chain_text(const std::string& main, int64_t depth, const Stems& stems = {});

// The statement that makes another member read the finished main predicate.
std::string vertical_member_text(const std::string& member, const std::string& main, const Stems& stems = {});

// The whole vertical unfolding of one component: rename, then append the
// parsed chain and member statements (members in byte order). The names it
// makes are built on stems that keep them apart from every name `names` holds,
// and are then taken there.
Result<Unit, CompileError> unfold_vertical(std::vector<Json>& rules, const std::string& main,
                                           const NameSet& component, int64_t depth);

// The same, renaming only within the rules at `positions`, as above.
Result<Unit, CompileError> unfold_vertical(std::vector<Json>& rules, const std::vector<size_t>& positions,
                                           const std::string& main, const NameSet& component, int64_t depth,
                                           GeneratedNames& names);

}  // namespace mirtova
