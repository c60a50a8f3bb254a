// Json: the one value type of the syntax tree, and its printed JSON text.
#pragma once

#include <algorithm>
#include <concepts>
#include <cstdint>
#include <cstring>

#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "parser/json_key.h"

namespace mirtova {

struct JsonEntry;
struct JsonItem;
class Json;

// The entries of a Json object, kept sorted by byte order of keys in one
// vector. Syntax-tree objects hold a handful of keys, so a flat vector copies
// with one allocation and finds a key faster than a node-based map would.
// Whether n bytes at a and b are equal. Keys are short words: a few word
// loads (overlapping at the end) compare them without a library call.
inline bool same_bytes(const char* a, const char* b, size_t n) {
  auto load8 = [](const char* p) {
    uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
  };
  auto load4 = [](const char* p) {
    uint32_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
  };
  if (n >= 8) {
    for (size_t i = 0; i + 8 < n; i += 8)
      if (load8(a + i) != load8(b + i)) return false;
    return load8(a + n - 8) == load8(b + n - 8);
  }
  if (n >= 4) return load4(a) == load4(b) && load4(a + n - 4) == load4(b + n - 4);
  for (size_t i = 0; i < n; ++i)
    if (a[i] != b[i]) return false;
  return true;
}

class JsonObject {
 public:
  using value_type = std::pair<JsonKey, Json>;
  using Entries = std::vector<value_type>;
  using iterator = Entries::iterator;
  using const_iterator = Entries::const_iterator;

  // Bodies that touch the entries follow Json, which they need complete.
  iterator begin();
  iterator end();
  const_iterator begin() const;
  const_iterator end() const;
  size_t size() const;
  bool empty() const;
  void reserve(size_t count);

  iterator find(std::string_view key);
  const_iterator find(std::string_view key) const;
  bool contains(std::string_view key) const;
  size_t count(std::string_view key) const { return contains(key) ? 1 : 0; }
  size_t erase(std::string_view key);
  iterator erase(const_iterator at);
  // Replaces the value of an existing key; the bool says whether it was new.
  std::pair<iterator, bool> insert_or_assign(JsonKey key, Json value);
  // Keeps the value of an existing key, as std::map::try_emplace does.
  std::pair<iterator, bool> try_emplace(JsonKey key, Json value);
  Json& operator[](std::string_view key);

  friend bool operator==(const JsonObject& a, const JsonObject& b);

 private:
  // The first entry whose key is not below `key`.
  iterator lower_bound(std::string_view key);

  Entries entries_;
};

class Json {
 public:
  enum class Kind : uint8_t { Null = 0, Bool = 1, Int = 2, Str = 3, Array = 4, Object = 5 };
  using ArrayType = std::vector<Json>;
  using ObjectType = JsonObject;

  Json() = default;
  Json(std::nullptr_t) {}
  template <class B>
  requires std::same_as<B, bool> Json(B b) : v_(b) {}
  Json(int v) : v_(int64_t{v}) {}
  Json(int64_t v) : v_(v) {}
  Json(const char* s) : v_(std::string(s)) {}
  Json(std::string s) : v_(std::move(s)) {}
  Json(std::string_view s) : v_(std::string(s)) {}
  Json(ArrayType a) : v_(std::move(a)) {}
  Json(ObjectType o) : v_(std::move(o)) {}

  static Json from(std::string_view text) { return Json(text); }
  // A string whose text is shared by every copy of the node instead of copied:
  // for a long text (a statement's) that many rules carry. It reads and prints
  // as any string, and equals a string of the same text.
  static Json shared_str(std::shared_ptr<const std::string> text) {
    Json j;
    j.v_ = std::move(text);
    return j;
  }
  // The tree with every array and object in it held by a shared node: a copy
  // of it, or of any part, then shares the nodes instead of copying them, and
  // changing a copy through the mutable accessors copies only the nodes on the
  // way to the change (each of which shares its values in turn). For trees
  // copied many times over with little changed, as functor calls copy rules.
  // It reads, prints and compares as the tree given; nodes shared already stay
  // as they are.
  static Json shared_tree(Json tree);
  // Values given as temporaries are moved into the new node, not copied.
  static Json array(std::initializer_list<JsonItem> items = {});
  static Json object(std::initializer_list<JsonEntry> entries = {});

  Kind kind() const {
    const size_t index = v_.index();
    if (index < kShared) [[likely]]
      return static_cast<Kind>(index);
    return index == kShared ? Kind::Str : shared_kind();
  }
  bool is_null() const { return kind() == Kind::Null; }
  bool is_bool() const { return kind() == Kind::Bool; }
  bool is_int() const { return kind() == Kind::Int; }
  bool is_str() const { return kind() == Kind::Str; }
  bool is_array() const { return kind() == Kind::Array; }
  bool is_object() const { return kind() == Kind::Object; }
  // An array or an object: what a tree walk descends into.
  bool is_container() const { return kind() >= Kind::Array; }

  // Accessors by kind: a mismatch is an internal fault (InternalFault) with the
  // message naming the kind found, e.g. `expected int, got "string"`.
  bool as_bool() const;
  int64_t as_int() const;
  const std::string& as_str() const;
  const ArrayType& as_array() const;
  const ObjectType& as_object() const;
  std::string as_var_name() const;
  // as_var_name() == name, without building the name.
  bool var_name_is(std::string_view name) const;
  ArrayType& as_array_mut();
  ObjectType& as_object_mut();

  // Object helpers. `get` answers nullptr when this is not an object or the key
  // is absent; `at` stops like the accessors when the key is absent.
  // Inline: the compiler asks for keys more than for anything else.
  const Json* get(std::string_view key) const;
  Json* get_mut(std::string_view key);
  bool has(std::string_view key) const { return get(key) != nullptr; }
  const Json& at(std::string_view key) const;
  Json& at_mut(std::string_view key);
  // Inserts or replaces; this must be an object (or null, which becomes one).
  Json& set(JsonKey key, Json value);
  // Appends; this must be an array (or null, which becomes one).
  Json& push(Json value);
  size_t size() const;

  Json clone() const { return *this; }

  void dump(std::string& out, bool pretty, size_t depth) const;
  std::string to_string_fmt(bool pretty) const;
  std::string compact() const { return to_string_fmt(false); }
  std::string pretty() const { return to_string_fmt(true); }

  friend bool operator==(const Json& a, const Json& b) {
    if (a.v_.index() == kSubtree || b.v_.index() == kSubtree) return a.plain() == b.plain();
    if (a.v_.index() == kShared || b.v_.index() == kShared)
      return a.is_str() && b.is_str() && a.as_str() == b.as_str();
    return a.v_ == b.v_;
  }

 private:
  [[noreturn]] static void missing_key(std::string_view key);

  // The places of the shared string and of the shared array or object among
  // the alternatives, after those that Kind numbers.
  static constexpr size_t kShared = 6;
  static constexpr size_t kSubtree = 7;

  // The node a shared node holds (never itself a shared one), else this one.
  const Json& plain() const { return v_.index() == kSubtree ? *std::get<kSubtree>(v_) : *this; }
  // Makes a shared node this node's own before it is changed: a copy of the
  // array or object it holds, whose values are shared in turn.
  void unshare() {
    if (v_.index() == kSubtree) own();
  }
  // Out of line, so that the accessors every walk calls stay small enough to inline.
  [[gnu::cold]] void own();
  [[gnu::cold]] Kind shared_kind() const;
  [[gnu::cold]] const Json* shared_get(std::string_view key) const;

  std::variant<std::monostate, bool, int64_t, std::string, ArrayType, ObjectType,
               std::shared_ptr<const std::string>, std::shared_ptr<const Json>>
      v_;
};

// One element of Json::array or entry of Json::object. An initializer list
// only hands out const elements; the mutable value lets the builders move a
// temporary subtree into place instead of copying it.
struct JsonItem {
  template <class T>
  JsonItem(T&& v) : value(std::forward<T>(v)) {}
  mutable Json value;
};

struct JsonEntry {
  template <class K, class V>
  JsonEntry(K&& k, V&& v) : key(std::forward<K>(k)), value(std::forward<V>(v)) {}
  mutable JsonKey key;
  mutable Json value;
};

inline Json Json::array(std::initializer_list<JsonItem> items) {
  ArrayType a;
  a.reserve(items.size());
  for (const JsonItem& item : items) a.push_back(std::move(item.value));
  return Json(std::move(a));
}

inline Json Json::object(std::initializer_list<JsonEntry> entries) {
  ObjectType o;
  o.reserve(entries.size());
  for (const JsonEntry& entry : entries) o.insert_or_assign(std::move(entry.key), std::move(entry.value));
  return Json(std::move(o));
}

inline JsonObject::iterator JsonObject::begin() { return entries_.begin(); }
inline JsonObject::iterator JsonObject::end() { return entries_.end(); }
inline JsonObject::const_iterator JsonObject::begin() const { return entries_.begin(); }
inline JsonObject::const_iterator JsonObject::end() const { return entries_.end(); }
inline size_t JsonObject::size() const { return entries_.size(); }
inline bool JsonObject::empty() const { return entries_.empty(); }
inline void JsonObject::reserve(size_t count) { entries_.reserve(count); }
inline JsonObject::iterator JsonObject::erase(const_iterator at) { return entries_.erase(at); }

inline bool operator==(const JsonObject& a, const JsonObject& b) { return a.entries_ == b.entries_; }

inline JsonObject::iterator JsonObject::lower_bound(std::string_view key) {
  return std::lower_bound(entries_.begin(), entries_.end(), key,
                          [](const value_type& entry, std::string_view k) { return entry.first.view() < k; });
}

inline JsonObject::const_iterator JsonObject::find(std::string_view key) const {
  // Objects are small: a scan that compares lengths first beats halving.
  const size_t size = key.size();
  for (auto it = entries_.begin(); it != entries_.end(); ++it) {
    const std::string_view k = it->first.view();
    if (k.size() == size && same_bytes(k.data(), key.data(), size)) return it;
  }
  return entries_.end();
}

inline bool JsonObject::contains(std::string_view key) const { return find(key) != end(); }

inline JsonObject::iterator JsonObject::find(std::string_view key) {
  auto found = std::as_const(*this).find(key);
  return entries_.begin() + (found - entries_.cbegin());
}

inline size_t JsonObject::erase(std::string_view key) {
  auto it = find(key);
  if (it == end()) return 0;
  entries_.erase(it);
  return 1;
}

inline std::pair<JsonObject::iterator, bool> JsonObject::insert_or_assign(JsonKey key, Json value) {
  // Trees are mostly built in key order, so appending is the common case.
  if (entries_.empty() || entries_.back().first.view() < key.view()) {
    entries_.emplace_back(std::move(key), std::move(value));
    return {entries_.end() - 1, true};
  }
  auto it = lower_bound(key.view());
  if (it != entries_.end() && it->first == key) {
    it->second = std::move(value);
    return {it, false};
  }
  return {entries_.emplace(it, std::move(key), std::move(value)), true};
}

inline std::pair<JsonObject::iterator, bool> JsonObject::try_emplace(JsonKey key, Json value) {
  auto it = lower_bound(key.view());
  if (it != entries_.end() && it->first == key) return {it, false};
  return {entries_.emplace(it, std::move(key), std::move(value)), true};
}

inline Json& JsonObject::operator[](std::string_view key) {
  auto it = lower_bound(key);
  if (it == entries_.end() || !(it->first == key)) it = entries_.emplace(it, JsonKey(key), Json());
  return it->second;
}

inline const Json* Json::get(std::string_view key) const {
  const ObjectType* o = std::get_if<ObjectType>(&v_);
  if (o == nullptr) [[unlikely]]
    return shared_get(key);
  auto it = o->find(key);
  return it == o->end() ? nullptr : &it->second;
}

inline Json* Json::get_mut(std::string_view key) {
  unshare();
  return const_cast<Json*>(std::as_const(*this).get(key));
}

inline const Json& Json::at(std::string_view key) const {
  const ObjectType& o = as_object();
  auto it = o.find(key);
  if (it == o.end()) missing_key(key);
  return it->second;
}

// The printing rank of an object key: lower ranks print first.
int key_priority(std::string_view key);

// The kind's name as accessor messages print it: "null", "bool", "int", ...
std::string_view kind_name(Json::Kind kind);

// Appends `text` to `out` as the body of a JSON string (without the quotes).
void append_json_escaped(std::string& out, std::string_view text);

}  // namespace mirtova
