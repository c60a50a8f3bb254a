// Json: the one value type of the syntax tree, and its printed JSON text.
#pragma once

#include <algorithm>
#include <atomic>
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
class JsonNodeTable;

// The entries of a Json object, kept sorted by byte order of keys in one
// vector. Syntax-tree objects hold a handful of keys, so a flat vector copies
// with one allocation and finds a key faster than a node-based map would.
class JsonObject {
 public:
  using value_type = std::pair<JsonKey, Json>;
  using iterator = value_type*;
  using const_iterator = const value_type*;

  JsonObject() = default;
  JsonObject(const JsonObject& other);
  JsonObject(JsonObject&& other) noexcept : bits_(std::exchange(other.bits_, 0)) {}
  JsonObject& operator=(const JsonObject& other);
  JsonObject& operator=(JsonObject&& other) noexcept;
  ~JsonObject();

  // Bodies that touch the entries follow Json, which they need complete.
  iterator begin();
  iterator end();
  const_iterator begin() const;
  const_iterator end() const;
  size_t size() const {
    if (bits_ & kSingle) return 1;
    return bits_ == 0 ? 0 : header()->size;
  }
  bool empty() const { return size() == 0; }
  void reserve(size_t count);

  iterator find(std::string_view key);
  const_iterator find(std::string_view key) const;
  // The value of `key`, or nullptr: find without a second look for the end.
  const Json* value_of(std::string_view key) const;
  bool contains(std::string_view key) const;
  size_t count(std::string_view key) const { return contains(key) ? 1 : 0; }
  size_t erase(std::string_view key);
  iterator erase(const_iterator at);
  // Replaces the value of an existing key; the bool says whether it was new.
  std::pair<iterator, bool> insert_or_assign(JsonKey key, Json value);
  // Appends an entry whose key is above every key of the object.
  void append(JsonKey key, Json value);
  // Room for exactly `count` entries (at least one) in an empty object, its
  // size `count` at once: the caller constructs every entry there, in key
  // order, before anything else reads the object. One allocation, made where
  // a builder knows the count, as the parser's builders do.
  value_type* make_room(size_t count);
  // Keeps the value of an existing key, as std::map::try_emplace does.
  std::pair<iterator, bool> try_emplace(JsonKey key, Json value);
  Json& operator[](std::string_view key);

  friend bool operator==(const JsonObject& a, const JsonObject& b);

 private:
  // An object is the address of its first entry. A syntax tree holds about
  // one object per byte of program, more than half of them of one entry:
  // such an entry is its block alone (the address's low bit set), as a count
  // beside it would take the block up a malloc size class. A larger object
  // keeps its count and room just before its entries.
  struct Header {
    uint32_t size;
    uint32_t capacity;
  };
  static constexpr uintptr_t kSingle = 1;
  value_type* first() const { return reinterpret_cast<value_type*>(bits_ & ~kSingle); }
  // Only of an object with a header.
  Header* header() const { return reinterpret_cast<Header*>(bits_) - 1; }
  size_t capacity() const {
    if (bits_ & kSingle) return 1;
    return bits_ == 0 ? 0 : header()->capacity;
  }
  void free_block() {
    ::operator delete(bits_& kSingle ? static_cast<void*>(first()) : static_cast<void*>(header()));
    bits_ = 0;
  }
  // Room for `count` entries, more than the object has. The room for one is
  // counted as its entry at once: the caller puts the entry in.
  void grow(size_t count);

  // The entry of `key`, or `stop`, the object's end.
  const_iterator find_until(std::string_view key, const_iterator stop) const;
  // find for a key of a long text the parser and the compiler never write.
  [[gnu::cold]] const_iterator find_boxed(std::string_view key) const;
  // The first entry whose key is not below `key`.
  iterator lower_bound(std::string_view key);
  // Room for one more entry at `at`, the entries from there on moved up one.
  iterator open_gap(const_iterator at);

  uintptr_t bits_ = 0;
};

class Json {
 public:
  enum class Kind : uint8_t { Null = 0, Bool = 1, Int = 2, Str = 3, Array = 4, Object = 5 };
  using ArrayType = std::vector<Json>;
  using ObjectType = JsonObject;

  Json() : i_(0) {}
  Json(std::nullptr_t) : Json() {}
  template <class B>
  requires std::same_as<B, bool> Json(B b) : b_(b), tag_(Tag::Bool) {}
  Json(int v) : i_(v), tag_(Tag::Int) {}
  Json(int64_t v) : i_(v), tag_(Tag::Int) {}
  Json(const char* s) : Json(std::string_view(s)) {}
  Json(std::string s);
  Json(std::string_view s);
  Json(ArrayType a) : array_(new ArrayType(std::move(a))), tag_(Tag::Array) {}
  Json(ObjectType o) : object_(std::move(o)), tag_(Tag::Object) {}

  Json(const Json& other);
  Json(Json&& other) noexcept {
    std::memcpy(static_cast<void*>(this), &other, sizeof *this);
    other.tag_ = Tag::Null;
  }
  Json& operator=(const Json& other) {
    if (this != &other) {
      Json copy(other);
      *this = std::move(copy);
    }
    return *this;
  }
  Json& operator=(Json&& other) noexcept {
    if (this != &other) {
      // `other` may live inside this node (a child taking its parent's
      // place): the old value goes only after the new one is taken.
      Json old(std::move(*this));
      std::memcpy(static_cast<void*>(this), &other, sizeof *this);
      other.tag_ = Tag::Null;
    }
    return *this;
  }
  ~Json() {
    if (holds_block()) release();
  }

  static Json from(std::string_view text) { return Json(text); }
  // A string whose text is shared by every copy of the node instead of copied:
  // for a long text (a statement's) that many rules carry. It reads and prints
  // as any string, and equals a string of the same text.
  static Json shared_str(std::shared_ptr<const std::string> text);
  // The tree with its arrays and objects held by shared nodes: a copy of it,
  // or of any part, then shares those nodes instead of copying them, and
  // changing a copy through the mutable accessors copies only the nodes on the
  // way to the change (each of which shares its values in turn). Each
  // container that is or holds an object with `copied_key` is a shared node of
  // its own; of the others, each largest one is a single shared node. For
  // trees copied many times over with only the values under that key changed,
  // as functor calls rename the predicates of rules. It reads, prints and
  // compares as the tree given; nodes shared already stay as they are.
  static Json shared_tree(Json tree, std::string_view copied_key);
  // The same with every array and object a shared node of its own, and a
  // container equal to one `table` holds already (from this tree or an earlier
  // one) that node itself: for many trees of like parts, as the rules a
  // recursion unfolds into are, which then hold each part once between them.
  static Json shared_tree(Json tree, JsonNodeTable& table);
  // Values given as temporaries are moved into the new node, not copied.
  static Json array(std::initializer_list<JsonItem> items = {});
  static Json object(std::initializer_list<JsonEntry> entries = {});

  Kind kind() const {
    if (tag_ <= Tag::Object) [[likely]]
      return static_cast<Kind>(tag_);
    return tag_ == Tag::Subtree ? shared_kind() : Kind::Str;
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
  // A view of the node's own bytes for a short text: it lasts while the node
  // stays where it is, unchanged. A caller that keeps the text copies it.
  std::string_view as_str() const;
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
  [[gnu::always_inline]] bool has(std::string_view key) const { return get(key) != nullptr; }
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

  friend bool operator==(const Json& a, const Json& b);

 private:
  friend class JsonNodeTable;
  // What the node holds. The first six are the kinds; a text of up to
  // kInPlaceBytes lives in the node's own bytes, its tag InPlace plus its
  // size; a longer one is held in a counted block that copies share (a
  // tree's strings never change in place).
  enum class Tag : uint8_t { Null, Bool, Int, Str, Array, Object, SharedStr, Subtree, InPlace };
  static constexpr size_t kInPlaceBytes = 15;
  bool in_place() const { return tag_ >= Tag::InPlace; }
  // Whether the node owns a block that its end gives up: Str to Subtree.
  bool holds_block() const {
    return static_cast<unsigned>(static_cast<uint8_t>(tag_) - static_cast<uint8_t>(Tag::Str)) <=
           static_cast<unsigned>(Tag::Subtree) - static_cast<unsigned>(Tag::Str);
  }
  // Makes this a string node of `text`.
  void hold_text(std::string_view text);

  // A long string of the node's own, shared by its copies: its count and
  // size, then its bytes, in one allocation.
  struct TextBlock {
    std::atomic<uint32_t> refs;
    size_t size;
    std::string_view text() const { return std::string_view(reinterpret_cast<const char*>(this + 1), size); }
    static TextBlock* make(std::string_view text);
    // The bytes go with the block, which make allocated as a whole.
    static void operator delete(void* block) { ::operator delete(block); }
  };
  // A string given by shared_str: its copies keep the one text given.
  struct SharedTextBlock {
    std::atomic<uint32_t> refs;
    std::shared_ptr<const std::string> text;
  };
  // An array or object of a shared tree; defined where Json is complete.
  struct SubtreeBlock;

  [[noreturn]] static void missing_key(std::string_view key);
  [[noreturn, gnu::cold]] std::string_view not_a_str() const;

  // The node a shared node holds (never itself a shared one), else this one.
  const Json& plain() const;
  // Makes a shared node this node's own before it is changed: a copy of the
  // array or object it holds, whose values are shared in turn.
  void unshare() {
    if (tag_ == Tag::Subtree) own();
  }
  void release();
  // Out of line, so that the accessors every walk calls stay small enough to inline.
  [[gnu::cold]] void own();
  [[gnu::cold]] Kind shared_kind() const;
  [[gnu::cold]] const Json* shared_get(std::string_view key) const;
  // The accessors' way for a node that is not a plain array or object: a
  // shared one, or a mismatch. Out of line, so that the plain case inlines.
  [[gnu::cold]] const ArrayType& shared_array() const;
  [[gnu::cold]] const ObjectType& shared_object() const;
  [[gnu::cold]] ArrayType& owned_array();
  [[gnu::cold]] ObjectType& owned_object();

  // A node is 16 bytes: syntax trees are mostly nodes, and a smaller node
  // makes every object's entries smaller. A text in place fills the bytes
  // before the tag, payload and tail alike.
  union {
    bool b_;
    int64_t i_;
    TextBlock* text_;
    SharedTextBlock* shared_text_;
    ArrayType* array_;
    JsonObject object_;
    SubtreeBlock* subtree_;
  };
  char tail_[kInPlaceBytes - sizeof(int64_t)];
  Tag tag_ = Tag::Null;
};

static_assert(sizeof(Json) == 16, "a node is a word of payload, room for a short text, and its tag");

inline std::string_view Json::as_str() const {
  if (in_place())
    return std::string_view(reinterpret_cast<const char*>(this),
                            static_cast<size_t>(tag_) - static_cast<size_t>(Tag::InPlace));
  if (tag_ == Tag::Str) return text_->text();
  if (tag_ == Tag::SharedStr) return *shared_text_->text;
  return not_a_str();
}

struct Json::SubtreeBlock {
  std::atomic<uint32_t> refs;
  Json value;
};

// The shared nodes that Json::shared_tree has met, found by their contents:
// a container's values, with a shared node among them told by its address
// alone (a tree is shared from its leaves up, so equal parts are one node
// already). Holds each node while it lives.
class JsonNodeTable {
 public:
  JsonNodeTable() = default;
  JsonNodeTable(const JsonNodeTable&) = delete;
  JsonNodeTable& operator=(const JsonNodeTable&) = delete;
  JsonNodeTable(JsonNodeTable&& other) noexcept
      : slots_(std::move(other.slots_)), count_(std::exchange(other.count_, 0)) {}
  JsonNodeTable& operator=(JsonNodeTable&& other) noexcept {
    if (this != &other) {
      JsonNodeTable gone(std::move(*this));
      slots_ = std::move(other.slots_);
      count_ = std::exchange(other.count_, 0);
    }
    return *this;
  }
  ~JsonNodeTable();

 private:
  friend class Json;
  // Open addressing over the nodes' addresses (nullptr: a free slot): few
  // nodes are let go before the table is, and a word a slot keeps the table
  // small beside the many nodes it holds.
  using Slot = Json::SubtreeBlock*;
  // Makes the plain container `node` a shared node: the one held of equal
  // contents, or a new one that the table holds from now on.
  void share(Json& node);
  static uint64_t hash_of(const Json& container);
  static bool same(const Json& a, const Json& b);
  void grow();

  std::vector<Slot> slots_;
  size_t count_ = 0;
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

inline JsonObject::iterator JsonObject::begin() { return first(); }
inline JsonObject::iterator JsonObject::end() { return first() + size(); }
inline JsonObject::const_iterator JsonObject::begin() const { return first(); }
inline JsonObject::const_iterator JsonObject::end() const { return first() + size(); }

inline bool operator==(const JsonObject& a, const JsonObject& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end());
}

inline JsonObject::iterator JsonObject::lower_bound(std::string_view key) {
  return std::lower_bound(begin(), end(), key,
                          [](const value_type& entry, std::string_view k) { return entry.first.view() < k; });
}

[[gnu::always_inline]] inline JsonObject::const_iterator JsonObject::find_until(std::string_view key,
                                                                                const_iterator stop) const {
  // Objects are small: a scan beats halving. A key is told by its word
  // alone, which for a key given as a literal is a constant.
  const uint64_t word = JsonKey::word_of(key);
  if (word == JsonKey::kNoWord) [[unlikely]]
    return find_boxed(key);
  for (auto it = begin(); it != stop; ++it)
    if (it->first.word() == word) return it;
  return stop;
}

[[gnu::always_inline]] inline JsonObject::const_iterator JsonObject::find(std::string_view key) const {
  return find_until(key, end());
}

[[gnu::always_inline]] inline const Json* JsonObject::value_of(std::string_view key) const {
  const const_iterator stop = end();
  const const_iterator it = find_until(key, stop);
  return it == stop ? nullptr : &it->second;
}

[[gnu::always_inline]] inline bool JsonObject::contains(std::string_view key) const {
  return find(key) != end();
}

inline JsonObject::iterator JsonObject::find(std::string_view key) {
  return const_cast<iterator>(std::as_const(*this).find(key));
}

inline size_t JsonObject::erase(std::string_view key) {
  auto it = find(key);
  if (it == end()) return 0;
  erase(it);
  return 1;
}

inline std::pair<JsonObject::iterator, bool> JsonObject::insert_or_assign(JsonKey key, Json value) {
  // Trees are mostly built in key order, so appending is the common case.
  if (empty() || (end() - 1)->first < key) {
    iterator at = open_gap(end());
    ::new (static_cast<void*>(at)) value_type(std::move(key), std::move(value));
    return {at, true};
  }
  auto it = lower_bound(key.view());
  if (it != end() && it->first == key) {
    it->second = std::move(value);
    return {it, false};
  }
  it = open_gap(it);
  ::new (static_cast<void*>(it)) value_type(std::move(key), std::move(value));
  return {it, true};
}

inline JsonObject::value_type* JsonObject::make_room(size_t count) {
  if (count == 1) {
    bits_ = reinterpret_cast<uintptr_t>(::operator new(sizeof(value_type))) | kSingle;
    return first();
  }
  auto* head = static_cast<Header*>(::operator new(sizeof(Header) + count * sizeof(value_type)));
  head->size = static_cast<uint32_t>(count);
  head->capacity = static_cast<uint32_t>(count);
  bits_ = reinterpret_cast<uintptr_t>(head + 1);
  return first();
}

inline void JsonObject::append(JsonKey key, Json value) {
  ::new (static_cast<void*>(open_gap(end()))) value_type(std::move(key), std::move(value));
}

inline std::pair<JsonObject::iterator, bool> JsonObject::try_emplace(JsonKey key, Json value) {
  auto it = lower_bound(key.view());
  if (it != end() && it->first == key) return {it, false};
  it = open_gap(it);
  ::new (static_cast<void*>(it)) value_type(std::move(key), std::move(value));
  return {it, true};
}

inline Json& JsonObject::operator[](std::string_view key) {
  auto it = lower_bound(key);
  if (it == end() || !(it->first == key)) {
    it = open_gap(it);
    ::new (static_cast<void*>(it)) value_type(JsonKey(key), Json());
  }
  return it->second;
}

[[gnu::always_inline]] inline const Json::ArrayType& Json::as_array() const {
  if (tag_ == Tag::Array) [[likely]]
    return *array_;
  return shared_array();
}

[[gnu::always_inline]] inline const Json::ObjectType& Json::as_object() const {
  if (tag_ == Tag::Object) [[likely]]
    return object_;
  return shared_object();
}

[[gnu::always_inline]] inline Json::ArrayType& Json::as_array_mut() {
  if (tag_ == Tag::Array) [[likely]]
    return *array_;
  return owned_array();
}

[[gnu::always_inline]] inline Json::ObjectType& Json::as_object_mut() {
  if (tag_ == Tag::Object) [[likely]]
    return object_;
  return owned_object();
}

inline const Json& Json::plain() const { return tag_ == Tag::Subtree ? subtree_->value : *this; }

[[gnu::always_inline]] inline const Json* Json::get(std::string_view key) const {
  if (tag_ != Tag::Object) [[unlikely]]
    return shared_get(key);
  return object_.value_of(key);
}

[[gnu::always_inline]] inline Json* Json::get_mut(std::string_view key) {
  unshare();
  return const_cast<Json*>(std::as_const(*this).get(key));
}

[[gnu::always_inline]] inline const Json& Json::at(std::string_view key) const {
  const Json* value = as_object().value_of(key);
  if (value == nullptr) missing_key(key);
  return *value;
}

// The printing rank of an object key: lower ranks print first.
int key_priority(std::string_view key);

// The kind's name as accessor messages print it: "null", "bool", "int", ...
std::string_view kind_name(Json::Kind kind);

// Appends `text` to `out` as the body of a JSON string (without the quotes).
void append_json_escaped(std::string& out, std::string_view text);

}  // namespace mirtova
