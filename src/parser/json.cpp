#include "parser/json.h"

#include <algorithm>
#include <charconv>

#include "common/internal_fault.h"

namespace mirtova {

std::string_view kind_name(Json::Kind kind) {
  switch (kind) {
    case Json::Kind::Null:
      return "null";
    case Json::Kind::Bool:
      return "bool";
    case Json::Kind::Int:
      return "int";
    case Json::Kind::Str:
      return "string";
    case Json::Kind::Array:
      return "array";
    case Json::Kind::Object:
      return "object";
  }
  return "null";
}

namespace {

[[noreturn]] void kind_mismatch(std::string_view expected, Json::Kind found) {
  std::string message = "expected ";
  message += expected;
  message += ", got \"";
  message += kind_name(found);
  message += "\"";
  throw InternalFault(message);
}

void append_int(std::string& out, int64_t v) {
  char buf[24];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v);
  out.append(buf, end);
}

void append_blanks(std::string& out, size_t n) { out.append(n, ' '); }

}  // namespace

bool Json::as_bool() const {
  if (auto* b = std::get_if<bool>(&v_)) return *b;
  kind_mismatch("bool", kind());
}

int64_t Json::as_int() const {
  if (auto* i = std::get_if<int64_t>(&v_)) return *i;
  kind_mismatch("int", kind());
}

const std::string& Json::as_str() const {
  if (auto* s = std::get_if<std::string>(&v_)) return *s;
  if (auto* shared = std::get_if<kShared>(&v_)) return **shared;
  kind_mismatch("string", kind());
}

const Json::ArrayType& Json::as_array() const {
  if (auto* a = std::get_if<ArrayType>(&v_)) return *a;
  if (v_.index() == kSubtree) return plain().as_array();
  kind_mismatch("array", kind());
}

const Json::ObjectType& Json::as_object() const {
  if (auto* o = std::get_if<ObjectType>(&v_)) return *o;
  if (v_.index() == kSubtree) return plain().as_object();
  kind_mismatch("object", kind());
}

std::string Json::as_var_name() const {
  if (auto* i = std::get_if<int64_t>(&v_)) {
    std::string out;
    append_int(out, *i);
    return out;
  }
  if (is_str()) return as_str();
  kind_mismatch("string or int var_name", kind());
}

bool Json::var_name_is(std::string_view name) const {
  if (is_str()) return as_str() == name;
  if (auto* i = std::get_if<int64_t>(&v_)) {
    char buf[24];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, *i);
    return std::string_view(buf, static_cast<size_t>(end - buf)) == name;
  }
  kind_mismatch("string or int var_name", kind());
}

Json::ArrayType& Json::as_array_mut() {
  if (auto* a = std::get_if<ArrayType>(&v_)) return *a;
  if (v_.index() == kSubtree) {
    own();
    return as_array_mut();
  }
  throw InternalFault("expected array");
}

Json::ObjectType& Json::as_object_mut() {
  if (auto* o = std::get_if<ObjectType>(&v_)) return *o;
  if (v_.index() == kSubtree) {
    own();
    return as_object_mut();
  }
  throw InternalFault("expected object");
}

Json::Kind Json::shared_kind() const { return std::get<kSubtree>(v_)->kind(); }

const Json* Json::shared_get(std::string_view key) const {
  return v_.index() == kSubtree ? plain().get(key) : nullptr;
}

void Json::own() {
  Json copy = *std::get<kSubtree>(v_);
  v_ = std::move(copy.v_);
}

Json Json::shared_tree(Json tree) {
  // Leaves first, each container shared once its values are: a frame per
  // container on the way down, so that the depth of a tree never reaches the
  // call stack.
  struct Frame {
    Json* node;
    size_t next;
  };
  auto plain_container = [](const Json& node) {
    return node.v_.index() == static_cast<size_t>(Kind::Array) ||
           node.v_.index() == static_cast<size_t>(Kind::Object);
  };
  if (!plain_container(tree)) return tree;
  std::vector<Frame> stack{{&tree, 0}};
  while (!stack.empty()) {
    Frame& top = stack.back();
    Json& node = *top.node;
    const size_t count = node.size();
    if (top.next < count) {
      const size_t at = top.next++;
      Json* value = node.is_array()
                        ? &std::get<ArrayType>(node.v_)[at]
                        : &(std::get<ObjectType>(node.v_).begin() + static_cast<ptrdiff_t>(at))->second;
      if (plain_container(*value)) stack.push_back(Frame{value, 0});
      continue;
    }
    node.v_ = std::make_shared<const Json>(std::move(node));
    stack.pop_back();
  }
  return tree;
}

void Json::missing_key(std::string_view key) {
  throw InternalFault("missing key \"" + std::string(key) + "\"");
}

Json& Json::at_mut(std::string_view key) {
  auto& o = as_object_mut();
  auto it = o.find(key);
  if (it == o.end()) throw InternalFault("missing key \"" + std::string(key) + "\"");
  return it->second;
}

Json& Json::set(JsonKey key, Json value) {
  if (is_null()) v_ = ObjectType{};
  auto& o = as_object_mut();
  auto [it, inserted] = o.insert_or_assign(std::move(key), std::move(value));
  return it->second;
}

Json& Json::push(Json value) {
  if (is_null()) v_ = ArrayType{};
  auto& a = as_array_mut();
  a.push_back(std::move(value));
  return a.back();
}

size_t Json::size() const {
  if (v_.index() == kSubtree) return plain().size();
  if (auto* a = std::get_if<ArrayType>(&v_)) return a->size();
  if (auto* o = std::get_if<ObjectType>(&v_)) return o->size();
  return 0;
}

int key_priority(std::string_view key) {
  if (key == "head" || key == "field" || key == "expression" || key == "field_value" ||
      key == "conjunction" || key == "predicate_name")
    return 0;
  if (key == "body" || key == "value" || key == "record" || key == "literal" || key == "conjunct") return 1;
  if (key == "variable") return 2;
  if (key == "predicate") return 3;
  if (key == "full_text") return 99;
  return 50;
}

void append_json_escaped(std::string& out, std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  size_t run = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (c >= 0x20 && c != '"' && c != '\\') continue;
    out.append(text.data() + run, i - run);
    run = i + 1;
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        out += "\\u00";
        out += kHex[c >> 4];
        out += kHex[c & 0xF];
    }
  }
  out.append(text.data() + run, text.size() - run);
}

void Json::dump(std::string& out, bool pretty, size_t depth) const {
  if (v_.index() == kSubtree) return plain().dump(out, pretty, depth);
  switch (kind()) {
    case Kind::Null:
      out += "null";
      return;
    case Kind::Bool:
      out += std::get<bool>(v_) ? "true" : "false";
      return;
    case Kind::Int:
      append_int(out, std::get<int64_t>(v_));
      return;
    case Kind::Str:
      out += '"';
      append_json_escaped(out, as_str());
      out += '"';
      return;
    case Kind::Array: {
      const auto& a = std::get<ArrayType>(v_);
      out += '[';
      if (a.empty()) {
        out += ']';
        return;
      }
      if (pretty) out += '\n';
      for (size_t i = 0; i < a.size(); ++i) {
        if (pretty) append_blanks(out, depth + 1);
        a[i].dump(out, pretty, depth + 1);
        if (i + 1 < a.size()) out += ',';
        if (pretty) out += '\n';
      }
      if (pretty) append_blanks(out, depth);
      out += ']';
      return;
    }
    case Kind::Object: {
      const auto& o = std::get<ObjectType>(v_);
      out += '{';
      if (o.empty()) {
        out += '}';
        return;
      }
      if (pretty) out += '\n';
      std::vector<const ObjectType::value_type*> entries;
      entries.reserve(o.size());
      for (const auto& e : o) entries.push_back(&e);
      // The map is already in byte order, so a stable sort by rank alone keeps
      // byte order among equal ranks.
      std::stable_sort(entries.begin(), entries.end(),
                       [](auto* a, auto* b) { return key_priority(a->first) < key_priority(b->first); });
      for (size_t i = 0; i < entries.size(); ++i) {
        if (pretty) append_blanks(out, depth + 1);
        out += '"';
        // Keys are escaped like values so that no key can break the text.
        append_json_escaped(out, entries[i]->first);
        out += "\":";
        if (pretty) out += ' ';
        entries[i]->second.dump(out, pretty, depth + 1);
        if (i + 1 < entries.size()) out += ',';
        if (pretty) out += '\n';
      }
      if (pretty) append_blanks(out, depth);
      out += '}';
      return;
    }
  }
}

std::string Json::to_string_fmt(bool pretty) const {
  std::string out;
  out.reserve(4096);
  dump(out, pretty, 0);
  return out;
}

}  // namespace mirtova
