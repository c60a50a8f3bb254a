// Json: the one value type of the syntax tree, and its printed JSON text.
#pragma once

#include <concepts>
#include <cstdint>
#include <initializer_list>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace mirtova {

struct JsonEntry;
struct JsonItem;

class Json {
 public:
  enum class Kind : uint8_t { Null = 0, Bool = 1, Int = 2, Str = 3, Array = 4, Object = 5 };
  using ArrayType = std::vector<Json>;
  // Sorted by byte order of keys; std::less<> lets lookups take string_view.
  using ObjectType = std::map<std::string, Json, std::less<>>;

  Json() = default;
  Json(std::nullptr_t) {}
  template <class B>
    requires std::same_as<B, bool>
  Json(B b) : v_(b) {}
  Json(int v) : v_(int64_t{v}) {}
  Json(int64_t v) : v_(v) {}
  Json(const char* s) : v_(std::string(s)) {}
  Json(std::string s) : v_(std::move(s)) {}
  Json(std::string_view s) : v_(std::string(s)) {}
  Json(ArrayType a) : v_(std::move(a)) {}
  Json(ObjectType o) : v_(std::move(o)) {}

  static Json from(std::string_view text) { return Json(text); }
  // Values given as temporaries are moved into the new node, not copied.
  static Json array(std::initializer_list<JsonItem> items = {});
  static Json object(std::initializer_list<JsonEntry> entries = {});

  Kind kind() const { return static_cast<Kind>(v_.index()); }
  bool is_null() const { return kind() == Kind::Null; }
  bool is_bool() const { return kind() == Kind::Bool; }
  bool is_int() const { return kind() == Kind::Int; }
  bool is_str() const { return kind() == Kind::Str; }
  bool is_array() const { return kind() == Kind::Array; }
  bool is_object() const { return kind() == Kind::Object; }

  // Accessors by kind: a mismatch is an internal fault (InternalFault) with the
  // message naming the kind found, e.g. `expected int, got "string"`.
  bool as_bool() const;
  int64_t as_int() const;
  const std::string& as_str() const;
  const ArrayType& as_array() const;
  const ObjectType& as_object() const;
  std::string as_var_name() const;
  ArrayType& as_array_mut();
  ObjectType& as_object_mut();

  // Object helpers. `get` answers nullptr when this is not an object or the key
  // is absent; `at` stops like the accessors when the key is absent.
  const Json* get(std::string_view key) const;
  Json* get_mut(std::string_view key);
  bool has(std::string_view key) const { return get(key) != nullptr; }
  const Json& at(std::string_view key) const;
  Json& at_mut(std::string_view key);
  // Inserts or replaces; this must be an object (or null, which becomes one).
  Json& set(std::string key, Json value);
  // Appends; this must be an array (or null, which becomes one).
  Json& push(Json value);
  size_t size() const;

  Json clone() const { return *this; }

  void dump(std::string& out, bool pretty, size_t depth) const;
  std::string to_string_fmt(bool pretty) const;
  std::string compact() const { return to_string_fmt(false); }
  std::string pretty() const { return to_string_fmt(true); }

  friend bool operator==(const Json& a, const Json& b) { return a.v_ == b.v_; }

 private:
  std::variant<std::monostate, bool, int64_t, std::string, ArrayType, ObjectType> v_;
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
  std::string key;
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
  for (const JsonEntry& entry : entries) o.insert_or_assign(entry.key, std::move(entry.value));
  return Json(std::move(o));
}

// The printing rank of an object key: lower ranks print first.
int key_priority(std::string_view key);

// The kind's name as accessor messages print it: "null", "bool", "int", ...
std::string_view kind_name(Json::Kind kind);

// Appends `text` to `out` as the body of a JSON string (without the quotes).
void append_json_escaped(std::string& out, std::string_view text);

}  // namespace mirtova
