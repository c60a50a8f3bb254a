// JsonKey: the key of a Json object entry. Every syntax-tree object entry has
// one, so its size is much of a tree's: a key is 16 bytes, holding up to 15
// bytes in place. The few longer words the parser itself writes (one of them,
// "expression_heritage", on every expression) point at their constant text,
// so copying or building a tree allocates nothing for its keys; only a longer
// key of the program's own text is copied to the heap.
#pragma once

#include <array>
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
  JsonKey(const JsonKey& other) {
    if (other.tag() == kHeap) {
      assign_heap(other.view());
    } else {
      std::memcpy(static_cast<void*>(this), &other, sizeof *this);
    }
  }
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
    if (tag() >= kConstant) return std::string_view(out_.data, out_.size);
    return std::string_view(bytes_, tag());
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
  static constexpr size_t kTag = 15;  // last byte: the in-place size, kConstant or kHeap
  static constexpr uint8_t kConstant = 0xFE;
  static constexpr uint8_t kHeap = 0xFF;
  static constexpr size_t kInline = kTag;  // bytes held in place

  // The keys longer than kInline that the parser and the compiler write.
  static constexpr std::array<std::string_view, 9> kLongKeys = {
      "expression_heritage", "distinct_denoted", "imported_predicates",
      "predicates_prefix",   "orderby_denoted",  "shouldbe_denoted",
      "couldbe_denoted",     "statement_source", "predicate_names"};

  uint8_t tag() const { return static_cast<uint8_t>(bytes_[kTag]); }
  void set_inline_size(size_t size) { bytes_[kTag] = static_cast<char>(static_cast<uint8_t>(size)); }
  void assign(std::string_view text) {
    if (text.size() <= kInline) {
      std::memcpy(bytes_, text.data(), text.size());
      set_inline_size(text.size());
      return;
    }
    for (std::string_view known : kLongKeys) {
      if (known == text) {
        out_.data = known.data();
        out_.size = known.size();
        bytes_[kTag] = static_cast<char>(kConstant);
        return;
      }
    }
    assign_heap(text);
  }
  void assign_heap(std::string_view text) {
    char* data = new char[text.size()];
    std::memcpy(data, text.data(), text.size());
    out_.data = data;
    out_.size = static_cast<uint32_t>(text.size());
    bytes_[kTag] = static_cast<char>(kHeap);
  }
  void release() {
    if (tag() == kHeap) delete[] out_.data;
  }

  // A key held out of place; its size is below 4 GB, as any text the parser takes.
  struct OutOfPlace {
    const char* data;
    uint32_t size;
  };
  union {
    char bytes_[kTag + 1];
    OutOfPlace out_;
  };
};

}  // namespace mirtova
