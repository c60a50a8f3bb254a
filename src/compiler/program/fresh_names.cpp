#include "compiler/program/fresh_names.h"

#include <algorithm>
#include <new>
#include <span>

#include "parser/tree_walk.h"

namespace mirtova {

namespace {

// The name node of a variable object ({"variable": {"var_name": ...}}), else nullptr.
[[gnu::always_inline]] inline const Json* variable_name_node(const Json& node) {
  const Json* variable = node.get("variable");
  return variable != nullptr ? variable->get("var_name") : nullptr;
}

// A container's copy starts empty and is filled when the walk reaches it.
[[gnu::always_inline]] inline Json shell(const Json& node) {
  if (node.is_array()) return Json(Json::ArrayType());
  if (node.is_object()) return Json(Json::ObjectType());
  return node;
}

// A copy of an object with the value of `key`, one of its keys, replaced.
Json replacing(const Json& object, std::string_view key, Json value) {
  const Json::ObjectType& entries = object.as_object();
  Json out{Json::ObjectType()};
  Json::ObjectType::value_type* room = out.as_object_mut().make_room(entries.size());
  for (const auto& [name, old] : entries) {
    if (name.view() == key)
      ::new (static_cast<void*>(room++)) Json::ObjectType::value_type(name, std::move(value));
    else
      ::new (static_cast<void*>(room++)) Json::ObjectType::value_type(name, old);
  }
  return out;
}

// The extent of a variable object copied whole, its root at `depth`: it is
// an object of a few leaves and one object of leaves, counted without a walk;
// anything deeper is measured.
TreeExtent variable_extent(const Json& variable, size_t depth) {
  TreeExtent extent{1, depth};
  for (const auto& entry : variable.as_object()) {
    const Json& value = entry.second;
    ++extent.nodes;
    extent.depth = std::max(extent.depth, depth + 1);
    if (!value.is_object()) {
      if (value.is_array()) {
        const TreeExtent inner = tree_extent(value);
        extent.nodes += inner.nodes - 1;
        extent.depth = std::max(extent.depth, depth + inner.depth);
      }
      continue;
    }
    for (const auto& inner_entry : value.as_object()) {
      const Json& leaf = inner_entry.second;
      if (leaf.is_container()) {
        const TreeExtent inner = tree_extent(leaf);
        extent.nodes += inner.nodes;
        extent.depth = std::max(extent.depth, depth + 1 + inner.depth);
      } else {
        ++extent.nodes;
        extent.depth = std::max(extent.depth, depth + 2);
      }
    }
  }
  return extent;
}

// Whether a var_name node is "_", which keeps its name; a number never is.
[[gnu::always_inline]] inline bool is_anonymous_name(const Json& name) {
  return name.is_str() && name.as_str() == "_";
}

}  // namespace

const Json& FreshNames::renamed(const Json& name) {
  // A callee has a few variables, met many times: a scan finds them.
  if (name.is_str()) {
    const std::string_view text = name.as_str();
    for (const auto& [old_name, fresh] : given_)
      if (old_name == text) return fresh;
  } else {
    for (const auto& [old_name, fresh] : given_)
      if (name.var_name_is(old_name)) return fresh;
  }
  given_.emplace_back(name.as_var_name(), Json(fresh_()));
  return given_.back().second;
}

void FreshNames::name(const Json& tree) {
  walk_tree(tree, [&](const Json& node) {
    const Json* name = variable_name_node(node);
    if (name == nullptr) return Walk::Enter;
    if (!is_anonymous_name(*name)) renamed(*name);
    return Walk::Skip;
  });
}

Json FreshNames::copy(const Json& tree, const Probe* probe, TreeExtent* extent) {
  bool probing = probe != nullptr;
  // What the probe is shown of an object copied whole: its values but the variable.
  auto probe_all = [&](const Json& node) {
    if (node.has("call")) probing = !(*probe)(node);
    for (const auto& [key, value] : node.as_object()) {
      if (!probing) return;
      if (key.view() == "variable" || !value.is_container()) continue;
      walk_tree(value, [&](const Json& inner, std::string_view inner_key) {
        if (inner_key == "variable") return Walk::Skip;
        if (inner.has("call")) probing = !(*probe)(inner);
        return probing ? Walk::Enter : Walk::Stop;
      });
    }
  };
  // Nodes are counted as their shells are made, each container's values at
  // one below it; a variable copied whole is counted at once.
  TreeExtent counted{1, 1};
  auto count = [&](size_t depth, size_t nodes) {
    counted.nodes += nodes;
    counted.depth = std::max(counted.depth, depth);
  };
  Json out = shell(tree);
  if (!tree.is_container()) {
    if (extent != nullptr) *extent = counted;
    return out;
  }
  std::vector<Frame>& stack = stack_;
  stack.push_back(Frame{&tree, &out, probing, 1});
  while (!stack.empty()) {
    const Frame frame = stack.back();
    stack.pop_back();
    const Json& from = *frame.from;
    if (from.is_array()) {
      const Json::ArrayType& items = from.as_array();
      Json::ArrayType& to = frame.to->as_array_mut();
      to.reserve(items.size());
      for (const Json& item : items) to.push_back(shell(item));
      if (!items.empty()) count(frame.depth + 1, items.size());
      for (size_t i = items.size(); i-- > 0;)
        if (items[i].is_container()) stack.push_back(Frame{&items[i], &to[i], frame.probed, frame.depth + 1});
      continue;
    }
    if (const Json* name = variable_name_node(from)) {
      if (extent != nullptr) {
        const TreeExtent whole = variable_extent(from, frame.depth);
        count(whole.depth, whole.nodes - 1);
      }
      if (is_anonymous_name(*name))
        *frame.to = from;
      else
        *frame.to = replacing(from, "variable", replacing(*from.get("variable"), "var_name", renamed(*name)));
      if (frame.probed && probing) probe_all(from);
      continue;
    }
    if (frame.probed && probing && from.has("call")) probing = !(*probe)(from);
    const Json::ObjectType& entries = from.as_object();
    if (entries.empty()) continue;
    const size_t count_of = entries.size();
    // Every entry is made at once, in key order; the values are filled below.
    Json::ObjectType::value_type* room = frame.to->as_object_mut().make_room(count_of);
    for (const auto& [key, value] : entries)
      ::new (static_cast<void*>(room++)) Json::ObjectType::value_type(key, shell(value));
    count(frame.depth + 1, count_of);
    const Json::ObjectType::value_type* source = entries.end();
    for (size_t i = count_of; i-- > 0;) {
      --room;
      --source;
      if (source->second.is_container())
        stack.push_back(Frame{&source->second, &room->second,
                              frame.probed && source->first.view() != "variable", frame.depth + 1});
    }
  }
  if (extent != nullptr) *extent = counted;
  return out;
}

}  // namespace mirtova
