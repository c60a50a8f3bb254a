// Copies of a callee's parts with every variable under a fresh name.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "parser/json.h"
#include "parser/tree_walk.h"

namespace mirtova {

// The fresh names of one callee's variables, handed out in document order: a
// variable takes the next name where it is first met, by copy or by name(),
// as rename_variables hands them out. "_" stays as it is.
class FreshNames {
 public:
  explicit FreshNames(std::function<std::string()> fresh) : fresh_(std::move(fresh)) {
    // Room for a callee's variables and a conjunct's levels at once.
    given_.reserve(kNames);
    stack_.reserve(kLevels);
  }

  // Sees an object of a copied tree that holds a call (the key "call"); true
  // once it has seen what it looks for.
  using Probe = std::function<bool(const Json&)>;

  // A copy of `tree` with its variables renamed, made in one pass instead of
  // a copy walked again. `probe` sees every object of the tree that holds a
  // call, in document order, except what stands under the key "variable",
  // until it answers true.
  // `extent`, when given, is told the copy's extent, counted as it is made.
  Json copy(const Json& tree, const Probe* probe = nullptr, TreeExtent* extent = nullptr);
  // Names the variables of `tree` where a copy would, without copying.
  void name(const Json& tree);

 private:
  const Json& renamed(const Json& name);

  // A node of the copy still to fill: its copy is an empty container.
  struct Frame {
    const Json* from;
    Json* to;
    bool probed;   // the probe sees the objects of this node
    size_t depth;  // of the node in the copy, its root at 1
  };

  static constexpr size_t kNames = 8, kLevels = 16;

  std::function<std::string()> fresh_;
  std::vector<std::pair<std::string, Json>> given_;
  // Kept from copy to copy: a callee is copied a conjunct at a time.
  std::vector<Frame> stack_;
};

}  // namespace mirtova
