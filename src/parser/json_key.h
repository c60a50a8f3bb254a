// JsonKey: the key of a Json object entry. Keys are short words, but the most
// frequent of them ("expression_heritage", on every expression) is longer than a
// std::string holds in place; a key stores up to 30 bytes in place, so copying
// or building a tree allocates nothing for its keys.
#pragma once

#include <compare>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>

namespace mirtova {

class JsonKey {
 public:
  JsonKey() { set_inline_size(0); }
  JsonKey(std::string_view text) { assign(text); }
  JsonKey(const std::string& text) : JsonKey(std::string_view(text)) {}
  JsonKey(const char* text) : JsonKey(std::string_view(text)) {}
  JsonKey(const JsonKey& other) : JsonKey(other.view()) {}
  // A key is plain bytes and at most one owned pointer: moving copies the bytes.
  JsonKey(JsonKey&& other) noexcept {
    std::memcpy(static_cast<void*>(this), &other, sizeof *this);
    other.set_inline_size(0);
  }
  JsonKey& operator=(const JsonKey& other) {
    if (this != &other) {
      JsonKey copy(other);
      *this = std::move(copy);
    }
    return *this;
  }
  JsonKey& operator=(JsonKey&& other) noexcept {
    if (this != &other) {
      release();
      std::memcpy(static_cast<void*>(this), &other, sizeof *this);
      other.set_inline_size(0);
    }
    return *this;
  }
  ~JsonKey() { release(); }

  std::string_view view() const {
    if (is_heap()) return std::string_view(heap_.data, heap_.size);
    return std::string_view(bytes_, static_cast<size_t>(static_cast<uint8_t>(bytes_[kTag])));
  }
  operator std::string_view() const { return view(); }
  // Keys are names too (of fields, of predicates): code that keeps them as
  // strings takes them as they are.
  operator std::string() const { return std::string(view()); }
  const char* data() const { return view().data(); }
  size_t size() const { return view().size(); }
  bool empty() const { return size() == 0; }
  std::string str() const { return std::string(view()); }

  friend bool operator==(const JsonKey& a, const JsonKey& b) { return a.view() == b.view(); }
  friend bool operator==(const JsonKey& a, std::string_view b) { return a.view() == b; }
  friend bool operator==(const JsonKey& a, const char* b) { return a.view() == std::string_view(b); }
  friend bool operator==(const JsonKey& a, const std::string& b) { return a.view() == std::string_view(b); }
  friend std::strong_ordering operator<=>(const JsonKey& a, const JsonKey& b) {
    return a.view() <=> b.view();
  }
  friend std::strong_ordering operator<=>(const JsonKey& a, std::string_view b) { return a.view() <=> b; }

 private:
  static constexpr size_t kTag = 31;  // last byte: the in-place size, or kHeap
  static constexpr uint8_t kHeap = 0xFF;
  static constexpr size_t kInline = kTag;  // bytes held in place

  bool is_heap() const { return static_cast<uint8_t>(bytes_[kTag]) == kHeap; }
  void set_inline_size(size_t size) { bytes_[kTag] = static_cast<char>(static_cast<uint8_t>(size)); }
  void assign(std::string_view text) {
    if (text.size() < kInline) {
      std::memcpy(bytes_, text.data(), text.size());
      set_inline_size(text.size());
      return;
    }
    heap_.data = new char[text.size()];
    std::memcpy(heap_.data, text.data(), text.size());
    heap_.size = text.size();
    bytes_[kTag] = static_cast<char>(kHeap);
  }
  void release() {
    if (is_heap()) delete[] heap_.data;
  }

  struct Heap {
    char* data;
    size_t size;
  };
  union {
    char bytes_[kTag + 1];
    Heap heap_;
  };
};

}  // namespace mirtova
