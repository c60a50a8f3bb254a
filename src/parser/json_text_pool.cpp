#include "parser/json_text_pool.h"

#include <functional>
#include <string_view>

#include "parser/tree_walk.h"

namespace mirtova {

namespace {

size_t hash_of(std::string_view text) { return std::hash<std::string_view>{}(text); }

}  // namespace

JsonTextPool::~JsonTextPool() {
  for (Json::TextBlock* block : slots_)
    if (block != nullptr && block->refs.fetch_sub(1, std::memory_order_acq_rel) == 1) delete block;
}

void JsonTextPool::share_texts(Json& tree) {
  walk_tree_mut(tree, [&](Json& node) {
    for (auto& entry : node.as_object_mut())
      if (entry.second.tag_ == Json::Tag::Str) share(entry.second);
  });
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
    if (std::string_view(known->text) == text) {
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
