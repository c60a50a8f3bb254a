// The one walk over a syntax tree: an explicit stack, so that the depth of a tree
// never reaches the call stack, with visits before and after an object's values.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "parser/json.h"

namespace mirtova {

// What a visit before an object's values asks of the walk.
enum class Walk : uint8_t {
  Enter,  // walk the object's values next
  Skip,   // leave the object's values out
  Stop,   // end the whole walk
};

namespace tree_walk_detail {

// Visitors may take (node) or (node, key), and may return void (Enter) or Walk.
template <class Visit, class Node>
Walk call(Visit& visit, Node& node, std::string_view key) {
  if constexpr (std::is_invocable_v<Visit&, Node&, std::string_view>) {
    if constexpr (std::is_void_v<std::invoke_result_t<Visit&, Node&, std::string_view>>) {
      visit(node, key);
      return Walk::Enter;
    } else {
      return visit(node, key);
    }
  } else if constexpr (std::is_void_v<std::invoke_result_t<Visit&, Node&>>) {
    visit(node);
    return Walk::Enter;
  } else {
    return visit(node);
  }
}

// The values of a node, as the walk's constness asks.
inline const Json::ArrayType& items(const Json& node) { return node.as_array(); }
inline Json::ArrayType& items(Json& node) { return node.as_array_mut(); }
inline const Json::ObjectType& entries(const Json& node) { return node.as_object(); }
inline Json::ObjectType& entries(Json& node) { return node.as_object_mut(); }

struct NoVisit {
  template <class Node>
  void operator()(Node&) const {}
};

inline constexpr size_t kWalkStackRoom = 32;

template <class Node, class Before, class After>
bool walk(Node& root, Before& before, After& after) {
  // One frame per container being walked: the position of its next value and
  // the key it stands under. An array's items stand under the array's own key.
  struct Frame {
    Node* node;
    size_t next;
    std::string_view key;
  };
  // Rules are a few dozen levels deep: room for them at once spares the walk
  // the reallocations of a stack grown one doubling at a time.
  std::vector<Frame> stack;
  stack.reserve(kWalkStackRoom);
  // Inlined: it runs once per container, the walk's commonest step.
  auto open = [&](Node & node, std::string_view key) __attribute__((always_inline))->bool {
    if (node.is_array()) {
      stack.push_back(Frame{&node, 0, key});
      return true;
    }
    if (!node.is_object()) return true;
    Walk step = call(before, node, key);
    if (step == Walk::Stop) return false;
    // Looked at after the visit: what the visitor left there is walked.
    if (step == Walk::Enter && node.is_container()) stack.push_back(Frame{&node, 0, key});
    return true;
  };
  if (!open(root, std::string_view())) return false;
  while (!stack.empty()) {
    Frame& top = stack.back();
    Node& node = *top.node;
    const std::string_view key = top.key;
    if (node.is_array()) {
      auto& values = items(node);
      if (top.next == values.size()) {
        stack.pop_back();
        continue;
      }
      Node& item = values[top.next++];
      // Most values are leaves: only containers are worth the call.
      if (item.is_container() && !open(item, key)) return false;
      continue;
    }
    auto& values = entries(node);
    if (top.next == values.size()) {
      stack.pop_back();
      // The values are walked: the visitor may now replace the object itself.
      if (call(after, node, key) == Walk::Stop) return false;
      continue;
    }
    auto& entry = *(values.begin() + static_cast<std::ptrdiff_t>(top.next++));
    if (entry.second.is_container() && !open(entry.second, entry.first.view())) return false;
  }
  return true;
}

}  // namespace tree_walk_detail

// Visits every object of the tree in document order (an object's values in key
// order, an array's items in order), each before its values; arrays are passed
// through. `before(node)` or `before(node, key)`, with the key the object stands
// under (the enclosing array's key for an item, "" for the root), returns a Walk
// or nothing (Enter). Returns false when a visit stopped the walk.
template <class Before>
bool walk_tree(const Json& tree, Before&& before) {
  tree_walk_detail::NoVisit after;
  return tree_walk_detail::walk<const Json>(tree, before, after);
}

// The same, with `after(node)` or `after(node, key)` called for every entered
// object once its values are walked (not for skipped ones); it may return Stop.
template <class Before, class After>
bool walk_tree(const Json& tree, Before&& before, After&& after) {
  return tree_walk_detail::walk<const Json>(tree, before, after);
}

// The walk over a tree that the visitors change. A visit before an object may
// change its values, or replace it, and what it leaves is walked; a visit after
// may replace the object. No visit may add or remove values of an object or
// array that encloses the one visited: the stack points into them.
template <class Before>
bool walk_tree_mut(Json& tree, Before&& before) {
  tree_walk_detail::NoVisit after;
  return tree_walk_detail::walk<Json>(tree, before, after);
}

template <class Before, class After>
bool walk_tree_mut(Json& tree, Before&& before, After&& after) {
  return tree_walk_detail::walk<Json>(tree, before, after);
}

// The size of a tree: its nodes of every kind, and its depth (a leaf alone has
// depth 1). Measured without recursion, for trees that may be deeper than any
// recursive walk could go.
struct TreeExtent {
  size_t nodes = 0;
  size_t depth = 0;
};

// `on_key` sees every object key on the way, for a caller that wants to know
// more of the tree in the same pass.
template <class OnKey>
TreeExtent tree_extent(const Json& tree, OnKey&& on_key) {
  // Only containers go on the stack: a leaf, most of a tree, is counted where
  // its container lists it.
  TreeExtent extent{1, 1};
  if (!tree.is_container()) return extent;
  std::vector<std::pair<const Json*, size_t>> stack;
  stack.reserve(2 * tree_walk_detail::kWalkStackRoom);
  stack.emplace_back(&tree, 1);
  auto count = [&](const Json& child, size_t depth) {
    ++extent.nodes;
    extent.depth = std::max(extent.depth, depth);
    if (child.is_container()) stack.emplace_back(&child, depth);
  };
  while (!stack.empty()) {
    auto [node, depth] = stack.back();
    stack.pop_back();
    if (node->is_array()) {
      for (const Json& item : node->as_array()) count(item, depth + 1);
    } else {
      for (const auto& entry : node->as_object()) {
        on_key(entry.first);
        count(entry.second, depth + 1);
      }
    }
  }
  return extent;
}

inline TreeExtent tree_extent(const Json& tree) {
  return tree_extent(tree, [](const auto&) {});
}

}  // namespace mirtova
