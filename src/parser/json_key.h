// JsonKey: the key of a Json object entry. Every syntax-tree object entry has
// one, so its size is much of a tree's: a key is one word. Up to 7 bytes live
// in place; the longer words the parser and the compiler write name their
// constant text, so building or copying a tree allocates nothing for its keys;
// only a longer key of the program's own text is boxed on the heap.
#pragma once

#include <array>
#include <bit>
#include <compare>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>

namespace mirtova {

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

class JsonKey {
 public:
  JsonKey() = default;
  // Inline, so that a literal key's word is worked out where it is written.
  [[gnu::always_inline]] JsonKey(std::string_view text) { assign(text); }
  JsonKey(const std::string& text) : JsonKey(std::string_view(text)) {}
  JsonKey(const char* text) : JsonKey(std::string_view(text)) {}
  JsonKey(const JsonKey& other) : word_(other.word_) {
    if (form(word_) == kBoxed) assign_boxed(other.view());
  }
  // A key is one word and at most one owned box: moving copies the word.
  JsonKey(JsonKey&& other) noexcept : word_(std::exchange(other.word_, kEmpty)) {}
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
      word_ = std::exchange(other.word_, kEmpty);
    }
    return *this;
  }
  ~JsonKey() { release(); }

  std::string_view view() const {
    if (form(word_) == kInPlace)
      return std::string_view(reinterpret_cast<const char*>(&word_) + 1, size_of(word_));
    if (form(word_) == kConstant) return kKnown[(word_ >> 8) & 0xFF];
    const char* text = box();
    uint32_t size;
    std::memcpy(&size, text, sizeof size);
    return std::string_view(text + sizeof size, size);
  }
  operator std::string_view() const { return view(); }
  // Keys are names too (of fields, of predicates): code that keeps them as
  // strings takes them as they are.
  operator std::string() const { return std::string(view()); }
  const char* data() const { return view().data(); }
  size_t size() const { return view().size(); }
  bool empty() const { return word_ == kEmpty; }
  std::string str() const { return std::string(view()); }

  // The word a key of `text` has, which no key of another text has; or
  // kNoWord for a long text the parser and the compiler never write, whose
  // key is boxed. For a text given as a literal the word is a constant.
  [[gnu::always_inline]] static uint64_t word_of(std::string_view text) {
    if (text.size() <= kInPlaceBytes) return in_place_word(text);
    const int known = known_index(text);
    return known < 0 ? kNoWord : constant_word(static_cast<size_t>(known));
  }
  static constexpr uint64_t kNoWord = 0;
  uint64_t word() const { return word_; }
  bool boxed() const { return form(word_) == kBoxed; }
  static constexpr size_t kInPlaceBytes = 7;

  friend bool operator==(const JsonKey& a, const JsonKey& b) {
    return a.word_ == b.word_ || (form(a.word_) == kBoxed && form(b.word_) == kBoxed && a.view() == b.view());
  }
  friend bool operator==(const JsonKey& a, std::string_view b) { return a.view() == b; }
  friend bool operator==(const JsonKey& a, const char* b) { return a.view() == std::string_view(b); }
  friend bool operator==(const JsonKey& a, const std::string& b) { return a.view() == std::string_view(b); }
  friend std::strong_ordering operator<=>(const JsonKey& a, const JsonKey& b) {
    if (form(a.word_) == kInPlace && form(b.word_) == kInPlace) {
      // Byte order of texts in place is the order of their words read from
      // the first byte on; a text and its extension by NULs differ in size only.
      const uint64_t ta = __builtin_bswap64(a.word_ & ~uint64_t{0xFF});
      const uint64_t tb = __builtin_bswap64(b.word_ & ~uint64_t{0xFF});
      if (ta != tb) return ta <=> tb;
      return size_of(a.word_) <=> size_of(b.word_);
    }
    return a.view() <=> b.view();
  }
  friend std::strong_ordering operator<=>(const JsonKey& a, std::string_view b) { return a.view() <=> b; }

 private:
  static_assert(std::endian::native == std::endian::little, "the in-place text follows the low byte");

  // The low two bits of the word say how the text is held, the next six its
  // size (in place and constant); a boxed key's word is the box's address,
  // whose low bits are clear.
  static constexpr uint64_t kBoxed = 0;
  static constexpr uint64_t kInPlace = 1;
  static constexpr uint64_t kConstant = 2;
  static constexpr uint64_t kEmpty = kInPlace;
  static constexpr size_t kMaxSize = 0x3F;

  // The keys longer than kInPlaceBytes that the parser and the compiler write.
  static constexpr std::string_view kKnown[] = {"expression_heritage",
                                                "expression",
                                                "variable",
                                                "var_name",
                                                "predicate_name",
                                                "field_value",
                                                "predicate",
                                                "full_text",
                                                "the_number",
                                                "conjunction",
                                                "conjunct",
                                                "the_string",
                                                "unification",
                                                "left_hand_side",
                                                "right_hand_side",
                                                "distinct_denoted",
                                                "aggregation",
                                                "file_name",
                                                "imported_predicates",
                                                "predicates_prefix",
                                                "the_predicate",
                                                "subscript",
                                                "the_list",
                                                "the_null",
                                                "inclusion",
                                                "the_symbol",
                                                "the_record",
                                                "condition",
                                                "consequence",
                                                "implication",
                                                "otherwise",
                                                "front_matter",
                                                "description",
                                                "the_bool",
                                                "disjunction",
                                                "disjunct",
                                                "operator",
                                                "argument",
                                                "limit_denoted",
                                                "orderby_denoted",
                                                "shouldbe_denoted",
                                                "couldbe_denoted",
                                                "cantbe_denoted",
                                                "statement_source",
                                                "predicate_names"};
  static_assert(
      std::size(kKnown) < 256 &&
          [] {
            for (std::string_view known : kKnown)
              if (known.size() <= kInPlaceBytes || known.size() > kMaxSize) return false;
            return true;
          }(),
      "a constant key is too long to live in place and its size and index fit the word");

  static uint64_t form(uint64_t word) { return word & 3; }
  static size_t size_of(uint64_t word) { return (word >> 2) & 0x3F; }
  const char* box() const { return reinterpret_cast<const char*>(static_cast<uintptr_t>(word_)); }
  static uint64_t constant_word(size_t index) {
    return kConstant | (uint64_t{kKnown[index].size()} << 2) | (uint64_t{index} << 8);
  }

 public:
  // The word of a text of at most kInPlaceBytes; the bytes past it are zero.
  // Two loads that may overlap gather the text without a library call.
  static uint64_t in_place_word(std::string_view text) {
    const size_t n = text.size();
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    uint64_t bytes = 0;
    if (n >= 4) {
      uint32_t low;
      uint32_t high;
      std::memcpy(&low, p, sizeof low);
      std::memcpy(&high, p + n - 4, sizeof high);
      bytes = low | (uint64_t{high} << (8 * (n - 4)));
    } else if (n > 0) {
      bytes = p[0] | (uint64_t{p[n / 2]} << (8 * (n / 2))) | (uint64_t{p[n - 1]} << (8 * (n - 1)));
    }
    return kInPlace | (uint64_t{n} << 2) | (bytes << 8);
  }

 private:
  // The place of a constant text in kKnown, or -1: a hash of its size and
  // first word picks a slot of a table built once, probed onwards to a gap.
  static uint64_t first_word(std::string_view text) {
    uint64_t word;
    std::memcpy(&word, text.data(), sizeof word);
    return word;
  }
  static constexpr size_t kSlots = 128;
  static constexpr size_t slot_of(uint64_t first, size_t size) {
    return static_cast<size_t>(((first ^ size) * 0x9E3779B97F4A7C15ull) >> 57);
  }
  static constexpr std::array<uint8_t, kSlots> known_slots() {
    std::array<uint8_t, kSlots> slots{};
    for (size_t i = 0; i < std::size(kKnown); ++i) {
      uint64_t first = 0;
      for (size_t b = 0; b < 8; ++b) first |= uint64_t{static_cast<unsigned char>(kKnown[i][b])} << (8 * b);
      size_t at = slot_of(first, kKnown[i].size());
      while (slots[at] != 0) at = (at + 1) % kSlots;
      slots[at] = static_cast<uint8_t>(i + 1);
    }
    return slots;
  }
  [[gnu::always_inline]] static int known_index(std::string_view text) {
    static constexpr std::array<uint8_t, kSlots> kKnownSlots = known_slots();
    for (size_t at = slot_of(first_word(text), text.size());; at = (at + 1) % kSlots) {
      const int entry = kKnownSlots[at];
      if (entry == 0) return -1;
      const std::string_view known = kKnown[entry - 1];
      if (known.size() == text.size() && same_bytes(known.data(), text.data(), text.size())) return entry - 1;
    }
  }
  [[gnu::always_inline]] void assign(std::string_view text) {
    if (text.size() <= kInPlaceBytes) {
      word_ = in_place_word(text);
      return;
    }
    if (const int known = known_index(text); known >= 0) {
      word_ = constant_word(static_cast<size_t>(known));
      return;
    }
    assign_boxed(text);
  }
  // The box is the text's size, below 4 GB as any text the parser takes, and its bytes.
  void assign_boxed(std::string_view text) {
    const uint32_t size = static_cast<uint32_t>(text.size());
    char* box = static_cast<char*>(::operator new(sizeof size + text.size()));
    std::memcpy(box, &size, sizeof size);
    std::memcpy(box + sizeof size, text.data(), text.size());
    word_ = static_cast<uint64_t>(reinterpret_cast<uintptr_t>(box));
  }
  void release() {
    if (form(word_) == kBoxed) ::operator delete(const_cast<char*>(box()));
  }

  uint64_t word_ = kEmpty;
};

static_assert(sizeof(JsonKey) == 8, "a key is one word");

}  // namespace mirtova
