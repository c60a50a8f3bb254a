#include "parser/json.h"

#include <algorithm>
#include <array>
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

template <class Block>
void drop(Block* block) {
  if (block->refs.fetch_sub(1, std::memory_order_acq_rel) == 1) delete block;
}

template <class Block>
void keep(Block* block) {
  block->refs.fetch_add(1, std::memory_order_relaxed);
}

}  // namespace

JsonObject::JsonObject(const JsonObject& other) {
  if (other.empty()) return;
  value_type* to = make_room(other.size());
  for (const value_type& entry : other) ::new (static_cast<void*>(to++)) value_type(entry);
}

JsonObject::const_iterator JsonObject::find_boxed(std::string_view key) const {
  const const_iterator stop = end();
  for (auto it = begin(); it != stop; ++it)
    if (it->first.boxed() && it->first.view() == key) return it;
  return stop;
}

JsonObject& JsonObject::operator=(const JsonObject& other) {
  if (this != &other) {
    JsonObject copy(other);
    *this = std::move(copy);
  }
  return *this;
}

JsonObject& JsonObject::operator=(JsonObject&& other) noexcept {
  if (this != &other) {
    JsonObject gone(std::move(*this));
    bits_ = std::exchange(other.bits_, 0);
  }
  return *this;
}

JsonObject::~JsonObject() {
  if (bits_ == 0) return;
  for (value_type& entry : *this) entry.~value_type();
  free_block();
}

void JsonObject::reserve(size_t count) {
  // Room for one entry is its entry: taken when the entry comes.
  if (count > 1 && count > capacity()) grow(count);
}

void JsonObject::grow(size_t count) {
  const size_t held = size();
  uintptr_t grown;
  if (count == 1) {
    grown = reinterpret_cast<uintptr_t>(::operator new(sizeof(value_type))) | kSingle;
  } else {
    auto* head = static_cast<Header*>(::operator new(sizeof(Header) + count * sizeof(value_type)));
    head->size = static_cast<uint32_t>(held);
    head->capacity = static_cast<uint32_t>(count);
    grown = reinterpret_cast<uintptr_t>(head + 1);
  }
  if (bits_ != 0) {
    // Keys and nodes hold no pointer into themselves: their bytes move as they are.
    std::memcpy(reinterpret_cast<void*>(grown & ~kSingle), static_cast<const void*>(first()),
                held * sizeof(value_type));
    free_block();
  }
  bits_ = grown;
}

JsonObject::iterator JsonObject::open_gap(const_iterator at) {
  const size_t index = static_cast<size_t>(at - begin());
  const size_t count = size();
  if (count == capacity()) grow(count == 0 ? 1 : 2 * count);
  value_type* base = first();
  std::memmove(static_cast<void*>(base + index + 1), static_cast<const void*>(base + index),
               (count - index) * sizeof(value_type));
  // An object of one entry knows its count by its form.
  if (!(bits_ & kSingle)) ++header()->size;
  return base + index;
}

JsonObject::iterator JsonObject::erase(const_iterator at) {
  const size_t index = static_cast<size_t>(at - begin());
  const size_t count = size();
  value_type* base = first();
  base[index].~value_type();
  if (bits_ & kSingle) {
    free_block();
    return nullptr;
  }
  std::memmove(static_cast<void*>(base + index), static_cast<const void*>(base + index + 1),
               (count - index - 1) * sizeof(value_type));
  --header()->size;
  return base + index;
}

Json::TextBlock* Json::TextBlock::make(std::string_view text) {
  void* room = ::operator new(sizeof(TextBlock) + text.size());
  auto* block = ::new (room) TextBlock{{1}, text.size()};
  std::memcpy(static_cast<void*>(block + 1), text.data(), text.size());
  return block;
}

void Json::hold_text(std::string_view text) {
  // Most of a program's texts are names and keywords: in place they take no
  // block, and a copy of them is a copy of the node's bytes.
  const size_t size = text.size();
  if (size <= kInPlaceBytes) {
    std::memcpy(static_cast<void*>(this), text.data(), size);
    tag_ = static_cast<Tag>(static_cast<size_t>(Tag::InPlace) + size);
    return;
  }
  text_ = TextBlock::make(text);
  tag_ = Tag::Str;
}

Json::Json(std::string s) { hold_text(s); }

Json::Json(std::string_view s) { hold_text(s); }

Json::Json(const Json& other) : i_(0) {
  switch (other.tag_) {
    case Tag::Null:
    case Tag::Bool:
    case Tag::Int:
      std::memcpy(static_cast<void*>(this), &other, sizeof *this);
      return;
    case Tag::Str:
      keep(other.text_);
      std::memcpy(static_cast<void*>(this), &other, sizeof *this);
      return;
    case Tag::SharedStr:
      keep(other.shared_text_);
      std::memcpy(static_cast<void*>(this), &other, sizeof *this);
      return;
    case Tag::Subtree:
      keep(other.subtree_);
      std::memcpy(static_cast<void*>(this), &other, sizeof *this);
      return;
    case Tag::Array:
      array_ = new ArrayType(*other.array_);
      tag_ = Tag::Array;
      return;
    case Tag::Object:
      ::new (static_cast<void*>(&object_)) JsonObject(other.object_);
      tag_ = Tag::Object;
      return;
    default:  // a text in place
      std::memcpy(static_cast<void*>(this), &other, sizeof *this);
      return;
  }
}

void Json::release() {
  switch (tag_) {
    case Tag::Null:
    case Tag::Bool:
    case Tag::Int:
      break;
    case Tag::Str:
      drop(text_);
      break;
    case Tag::SharedStr:
      drop(shared_text_);
      break;
    case Tag::Subtree:
      drop(subtree_);
      break;
    case Tag::Array:
      delete array_;
      break;
    case Tag::Object:
      object_.~JsonObject();
      break;
    default:  // a text in place
      break;
  }
  tag_ = Tag::Null;
}

Json Json::shared_str(std::shared_ptr<const std::string> text) {
  Json j;
  j.shared_text_ = new SharedTextBlock{{1}, std::move(text)};
  j.tag_ = Tag::SharedStr;
  return j;
}

bool operator==(const Json& a, const Json& b) {
  if (a.tag_ == Json::Tag::Subtree || b.tag_ == Json::Tag::Subtree) {
    const Json& pa = a.plain();
    const Json& pb = b.plain();
    if (&pa != &a || &pb != &b) return pa == pb;
  }
  const Json::Kind kind = a.kind();
  if (kind != b.kind()) return false;
  switch (kind) {
    case Json::Kind::Null:
      return true;
    case Json::Kind::Bool:
      return a.b_ == b.b_;
    case Json::Kind::Int:
      return a.i_ == b.i_;
    case Json::Kind::Str:
      return a.as_str() == b.as_str();
    case Json::Kind::Array:
      return *a.array_ == *b.array_;
    case Json::Kind::Object:
      return a.object_ == b.object_;
  }
  return false;
}

bool Json::as_bool() const {
  if (tag_ == Tag::Bool) return b_;
  kind_mismatch("bool", kind());
}

int64_t Json::as_int() const {
  if (tag_ == Tag::Int) return i_;
  kind_mismatch("int", kind());
}

std::string_view Json::not_a_str() const { kind_mismatch("string", kind()); }

const Json::ArrayType& Json::shared_array() const {
  if (tag_ == Tag::Subtree) return plain().as_array();
  kind_mismatch("array", kind());
}

const Json::ObjectType& Json::shared_object() const {
  if (tag_ == Tag::Subtree) return plain().as_object();
  kind_mismatch("object", kind());
}

std::string Json::as_var_name() const {
  if (tag_ == Tag::Int) {
    std::string out;
    append_int(out, i_);
    return out;
  }
  if (is_str()) return std::string(as_str());
  kind_mismatch("string or int var_name", kind());
}

bool Json::var_name_is(std::string_view name) const {
  if (is_str()) return as_str() == name;
  if (tag_ == Tag::Int) {
    char buf[24];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, i_);
    return std::string_view(buf, static_cast<size_t>(end - buf)) == name;
  }
  kind_mismatch("string or int var_name", kind());
}

Json::ArrayType& Json::owned_array() {
  if (tag_ == Tag::Subtree) {
    own();
    return as_array_mut();
  }
  throw InternalFault("expected array");
}

Json::ObjectType& Json::owned_object() {
  if (tag_ == Tag::Subtree) {
    own();
    return as_object_mut();
  }
  throw InternalFault("expected object");
}

Json::Kind Json::shared_kind() const { return subtree_->value.kind(); }

const Json* Json::shared_get(std::string_view key) const {
  return tag_ == Tag::Subtree ? plain().get(key) : nullptr;
}

void Json::own() {
  Json copy = subtree_->value;
  *this = std::move(copy);
}

Json Json::shared_tree(Json tree, std::string_view copied_key) {
  // Leaves first: a frame per container on the way down, so that the depth of
  // a tree never reaches the call stack. A container is known to be free of
  // the key once its values are walked; it is shared only when its parent
  // turns out to hold the key, so that a free subtree costs one block, not one
  // per container in it. `free` lists the free containers met under the
  // frames still open, each frame's own after its mark.
  struct Frame {
    Json* node;
    size_t next;
    size_t mark;
    bool holds_key;
  };
  auto plain_container = [](const Json& node) { return node.tag_ == Tag::Array || node.tag_ == Tag::Object; };
  auto share = [](Json& node) {
    auto* block = new SubtreeBlock{{1}, std::move(node)};
    node.subtree_ = block;
    node.tag_ = Tag::Subtree;
  };
  auto open = [&](Json* node, size_t mark) {
    return Frame{node, 0, mark, node->tag_ == Tag::Object && node->object_.contains(copied_key)};
  };
  if (!plain_container(tree)) return tree;
  std::vector<Json*> free;
  std::vector<Frame> stack{open(&tree, 0)};
  while (!stack.empty()) {
    Frame& top = stack.back();
    Json& node = *top.node;
    const size_t count = node.size();
    if (top.next < count) {
      const size_t at = top.next++;
      Json* value = node.tag_ == Tag::Array ? &(*node.array_)[at]
                                            : &(node.object_.begin() + static_cast<ptrdiff_t>(at))->second;
      if (plain_container(*value)) stack.push_back(open(value, free.size()));
      continue;
    }
    const Frame done = top;
    stack.pop_back();
    if (done.holds_key) {
      for (size_t i = done.mark; i < free.size(); ++i) share(*free[i]);
      free.resize(done.mark);
      share(*done.node);
      if (!stack.empty()) stack.back().holds_key = true;
      continue;
    }
    // A free container takes its free values with it.
    free.resize(done.mark);
    free.push_back(done.node);
  }
  if (!free.empty()) share(tree);
  return tree;
}

Json Json::shared_tree(Json tree, JsonNodeTable& table) {
  // Leaves first, a frame per container on the way down (see above): a
  // container is looked up once every container in it is a shared node.
  struct Frame {
    Json* node;
    size_t next;
  };
  auto plain_container = [](const Json& node) { return node.tag_ == Tag::Array || node.tag_ == Tag::Object; };
  if (!plain_container(tree)) return tree;
  std::vector<Frame> stack{Frame{&tree, 0}};
  while (!stack.empty()) {
    Frame& top = stack.back();
    Json& node = *top.node;
    if (top.next < node.size()) {
      const size_t at = top.next++;
      Json* value = node.tag_ == Tag::Array ? &(*node.array_)[at]
                                            : &(node.object_.begin() + static_cast<ptrdiff_t>(at))->second;
      if (plain_container(*value)) stack.push_back(Frame{value, 0});
      continue;
    }
    stack.pop_back();
    table.share(node);
  }
  return tree;
}

JsonNodeTable::~JsonNodeTable() {
  for (const Slot slot : slots_)
    if (slot != nullptr) drop(slot);
}

namespace {

uint64_t mix(uint64_t hash, uint64_t value) {
  hash = (hash ^ value) * 0x9E3779B97F4A7C15ULL;
  return hash ^ (hash >> 29);
}

}  // namespace

uint64_t JsonNodeTable::hash_of(const Json& container) {
  auto value_hash = [](const Json& value) -> uint64_t {
    switch (value.tag_) {
      case Json::Tag::Null:
        return 0;
      case Json::Tag::Bool:
        return value.b_ ? 1 : 2;
      case Json::Tag::Int:
        return mix(3, static_cast<uint64_t>(value.i_));
      case Json::Tag::Subtree:
      case Json::Tag::Array:
      case Json::Tag::Object:
        // A shared node is known by its address; a plain container is never
        // the same as another (see same).
        return reinterpret_cast<uintptr_t>(value.tag_ == Json::Tag::Subtree
                                               ? static_cast<const void*>(value.subtree_)
                                               : static_cast<const void*>(&value));
      default:  // a text, held in any of its ways
        return mix(4, std::hash<std::string_view>{}(value.as_str()));
    }
  };
  uint64_t hash = static_cast<uint64_t>(container.tag_);
  if (container.tag_ == Json::Tag::Array) {
    for (const Json& value : *container.array_) hash = mix(hash, value_hash(value));
    return hash;
  }
  for (const auto& [key, value] : container.object_) {
    hash = mix(hash, key.boxed() ? std::hash<std::string_view>{}(key.view()) : key.word());
    hash = mix(hash, value_hash(value));
  }
  return hash;
}

bool JsonNodeTable::same(const Json& a, const Json& b) {
  auto same_value = [](const Json& x, const Json& y) {
    if (x.tag_ == Json::Tag::Subtree || y.tag_ == Json::Tag::Subtree)
      return x.tag_ == y.tag_ && x.subtree_ == y.subtree_;
    if (x.is_container() || y.is_container()) return false;
    return x == y;
  };
  if (a.tag_ != b.tag_ || a.size() != b.size()) return false;
  if (a.tag_ == Json::Tag::Array)
    return std::equal(a.array_->begin(), a.array_->end(), b.array_->begin(), same_value);
  return std::equal(a.object_.begin(), a.object_.end(), b.object_.begin(), [&](const auto& x, const auto& y) {
    return x.first == y.first && same_value(x.second, y.second);
  });
}

void JsonNodeTable::grow() {
  std::vector<Slot> old = std::move(slots_);
  slots_.assign(old.empty() ? 64 : 2 * old.size(), nullptr);
  const size_t mask = slots_.size() - 1;
  for (const Slot slot : old) {
    if (slot == nullptr) continue;
    size_t at = hash_of(slot->value) & mask;
    while (slots_[at] != nullptr) at = (at + 1) & mask;
    slots_[at] = slot;
  }
}

void JsonNodeTable::share(Json& node) {
  // Three quarters full at most: slots are a word, the nodes met many.
  if (4 * (count_ + 1) > 3 * slots_.size()) grow();
  const size_t mask = slots_.size() - 1;
  size_t at = hash_of(node) & mask;
  for (; slots_[at] != nullptr; at = (at + 1) & mask) {
    Json::SubtreeBlock* held = slots_[at];
    if (!same(held->value, node)) continue;
    keep(held);
    Json gone(std::move(node));
    node.subtree_ = held;
    node.tag_ = Json::Tag::Subtree;
    return;
  }
  // One count for the table, one for the node.
  auto* block = new Json::SubtreeBlock{{2}, std::move(node)};
  slots_[at] = block;
  ++count_;
  node.subtree_ = block;
  node.tag_ = Json::Tag::Subtree;
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
  if (is_null()) *this = Json(ObjectType{});
  auto& o = as_object_mut();
  auto [it, inserted] = o.insert_or_assign(std::move(key), std::move(value));
  return it->second;
}

Json& Json::push(Json value) {
  if (is_null()) *this = Json(ArrayType{});
  auto& a = as_array_mut();
  a.push_back(std::move(value));
  return a.back();
}

size_t Json::size() const {
  if (tag_ == Tag::Subtree) return plain().size();
  if (tag_ == Tag::Array) return array_->size();
  if (tag_ == Tag::Object) return object_.size();
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
  if (tag_ == Tag::Subtree) return plain().dump(out, pretty, depth);
  switch (kind()) {
    case Kind::Null:
      out += "null";
      return;
    case Kind::Bool:
      out += b_ ? "true" : "false";
      return;
    case Kind::Int:
      append_int(out, i_);
      return;
    case Kind::Str:
      out += '"';
      append_json_escaped(out, as_str());
      out += '"';
      return;
    case Kind::Array: {
      const auto& a = *array_;
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
      const auto& o = object_;
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
