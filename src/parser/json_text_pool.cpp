#include "parser/json_text_pool.h"

#include <cstdint>
#include <cstring>
#include <string_view>

#include "parser/json_key.h"

namespace mirtova {

namespace {

// A hash of a text of at most 15 bytes from two loads that may overlap, as
// JsonKey gathers a short key: the library's hash of bytes costs more than
// the rest of the pool's work on a text.
uint64_t hash_of(std::string_view text) {
  const size_t n = text.size();
  const char* p = text.data();
  uint64_t low = 0;
  uint64_t high = 0;
  if (n >= 8) {
    std::memcpy(&low, p, sizeof low);
    std::memcpy(&high, p + n - 8, sizeof high);
  } else if (n >= 4) {
    uint32_t a;
    uint32_t b;
    std::memcpy(&a, p, sizeof a);
    std::memcpy(&b, p + n - 4, sizeof b);
    low = a;
    high = b;
  } else if (n > 0) {
    low = static_cast<unsigned char>(p[0]) | (uint64_t{static_cast<unsigned char>(p[n / 2])} << 8) |
          (uint64_t{static_cast<unsigned char>(p[n - 1])} << 16);
  }
  const uint64_t mixed = (low * 0x9E3779B97F4A7C15ull) ^ (high + n) * 0xC2B2AE3D27D4EB4Full;
  return mixed ^ (mixed >> 31) ^ (mixed >> 47);
}

bool same_text(std::string_view a, std::string_view b) {
  return a.size() == b.size() && same_bytes(a.data(), b.data(), a.size());
}

}  // namespace

JsonTextPool::~JsonTextPool() {
  for (Json::TextBlock* block : slots_)
    if (block != nullptr && block->refs.fetch_sub(1, std::memory_order_acq_rel) == 1) delete block;
}

void JsonTextPool::share_texts(Json& tree) {
  // A walk of its own, not walk_tree_mut: it runs on every statement as it is
  // read, and wants no keys, no visits and no copies of shared subtrees, which
  // it leaves as they are (they are never changed in place). A node's last
  // container is walked next without a stop on the stack, as most objects of
  // a syntax tree hold one.
  Json* node = &tree;
  for (;;) {
    Json* next = nullptr;
    auto take = [&](Json& value) {
      if (value.tag_ == Json::Tag::Str) {
        share(value);
      } else if (value.tag_ == Json::Tag::Array || value.tag_ == Json::Tag::Object) {
        if (next != nullptr) stack_.push_back(next);
        next = &value;
      }
    };
    if (node->tag_ == Json::Tag::Object) {
      for (auto& entry : node->object_) take(entry.second);
    } else if (node->tag_ == Json::Tag::Array) {
      for (Json& item : *node->array_) take(item);
    } else if (node->tag_ == Json::Tag::Str) {
      share(*node);
    }
    if (next == nullptr) {
      if (stack_.empty()) return;
      next = stack_.back();
      stack_.pop_back();
    }
    node = next;
  }
}

void JsonTextPool::share(Json& node) {
  // Texts of one byte or none point into a table already.
  if (node.in_table_) return;
  Json::TextBlock* const block = node.text_;
  const std::string_view text = block->text;
  if (text.size() > kPooledSize) return;
  if (2 * (held_ + 1) > slots_.size()) grow();
  const size_t mask = slots_.size() - 1;
  for (size_t at = hash_of(text) & mask;; at = (at + 1) & mask) {
    Json::TextBlock* const known = slots_[at];
    if (known == nullptr) {
      block->refs.fetch_add(1, std::memory_order_relaxed);
      slots_[at] = block;
      ++held_;
      return;
    }
    if (known == block) return;
    if (same_text(known->text, text)) {
      known->refs.fetch_add(1, std::memory_order_relaxed);
      Json shared;
      shared.text_ = known;
      shared.tag_ = Json::Tag::Str;
      node = std::move(shared);
      return;
    }
  }
}

void JsonTextPool::grow() {
  std::vector<Json::TextBlock*> old = std::move(slots_);
  slots_.assign(old.empty() ? 64 : 2 * old.size(), nullptr);
  const size_t mask = slots_.size() - 1;
  for (Json::TextBlock* block : old) {
    if (block == nullptr) continue;
    size_t at = hash_of(block->text) & mask;
    while (slots_[at] != nullptr) at = (at + 1) & mask;
    slots_[at] = block;
  }
}

}  // namespace mirtova
