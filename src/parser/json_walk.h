// Walks over every object of a syntax tree with an explicit stack, so that the
// depth of a tree never reaches the call stack.
#pragma once

#include <algorithm>
#include <cstddef>
#include <utility>
#include <vector>

#include "parser/json.h"

namespace mirtova {

// Calls visit(object) for every object node, parents before their children.
// The visitor may change the object's values in place; what it leaves there is
// walked next. Objects are map nodes and arrays are not resized by the walk,
// so the pointers on the stack stay valid.
template <class Visit>
void for_each_object_mut(Json& tree, Visit&& visit) {
  std::vector<Json*> stack{&tree};
  while (!stack.empty()) {
    Json* node = stack.back();
    stack.pop_back();
    if (node->is_array()) {
      for (Json& item : node->as_array_mut())
        if (item.is_array() || item.is_object()) stack.push_back(&item);
    } else if (node->is_object()) {
      visit(*node);
      for (auto& entry : node->as_object_mut())
        if (entry.second.is_array() || entry.second.is_object()) stack.push_back(&entry.second);
    }
  }
}

// The size of a tree: its nodes of every kind, and its depth (a leaf alone has
// depth 1). Measured without recursion, for trees that may be deeper than any
// recursive walk could go.
struct TreeExtent {
  size_t nodes = 0;
  size_t depth = 0;
};

inline TreeExtent tree_extent(const Json& tree) {
  TreeExtent extent;
  std::vector<std::pair<const Json*, size_t>> stack{{&tree, 1}};
  while (!stack.empty()) {
    auto [node, depth] = stack.back();
    stack.pop_back();
    ++extent.nodes;
    extent.depth = std::max(extent.depth, depth);
    if (node->is_array()) {
      for (const Json& item : node->as_array()) stack.emplace_back(&item, depth + 1);
    } else if (node->is_object()) {
      for (const auto& entry : node->as_object()) stack.emplace_back(&entry.second, depth + 1);
    }
  }
  return extent;
}

}  // namespace mirtova
