// The least that the scripts of compile_all not yet written can take. Along a
// chain each script carries the WITH clauses of every predicate below it, so
// their total grows with the square of the chain: the bound on that total
// should refuse once it is certain to be passed, not after the scripts that
// pass it have been written. Each script written shows the size of the
// clauses it carries; a predicate's script carries at least the clauses along
// its longest chain of calls.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "compiler/functors/dependency_graph.h"

namespace mirtova {

// The least a clause's text takes wherever it stands: its table aliases are
// numbered per script ("t_97_E" where another script may write "E"), so each
// numbered alias counts as its shortest form.
size_t least_clause_bytes(std::string_view sql);

class ScriptsBound {
 public:
  // `calls`: each predicate with those its rules call; `scripts`: the
  // predicates in the order their scripts are written.
  ScriptsBound(const DependencyGraph& calls, const std::vector<std::string>& scripts);

  // The scripts no other predicate's script carries, those heading the
  // longest chains of calls first: written ahead of the others, they show
  // the sizes of the clauses the others carry.
  const std::vector<size_t>& heads() const { return heads_; }
  // A script written ahead of its turn, counted with those written.
  void write_ahead(size_t script);

  // The WITH clauses (predicate, text) of a script just written.
  void learn(const std::vector<std::pair<std::string, std::string_view>>& clauses);
  // Whether the first `done` scripts (and the one written ahead), `written`
  // bytes, with the least the others take, pass `bound`.
  bool passes(size_t done, size_t written, size_t bound);

 private:
  void measure();

  const DependencyGraph& calls_;
  std::vector<size_t> scripts_;    // node of each script's predicate
  std::vector<size_t> order_;      // nodes, each after those it calls
  std::vector<size_t> component_;  // of each node
  std::vector<size_t> least_;      // of each node's clause, 0 until seen
  std::vector<size_t> rest_;       // the least of scripts i.. together, when measured
  std::vector<size_t> heads_;
  std::vector<bool> ahead_;
  std::vector<size_t> ahead_since_;    // written ahead since measured
  std::vector<size_t> chain_;          // of each node when measured
  size_t known_ = 0, unmeasured_ = 0;  // bytes of clauses seen; of those since measured
};

}  // namespace mirtova
