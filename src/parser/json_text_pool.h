// JsonTextPool: one text block for the equal short strings of the trees it
// sees. A program's trees repeat few short texts (predicate names, field
// names, operands) many times over, each a block of its own as the parser
// builds it; passed through a pool, the equal ones hold the first one's block.
#pragma once

#include <cstddef>
#include <vector>

#include "parser/json.h"

namespace mirtova {

class JsonTextPool {
 public:
  // Texts longer than this are left as they are: a statement's text and the
  // like are seldom met twice, and their hash would cost more than it saves.
  static constexpr size_t kPooledSize = 15;

  JsonTextPool() = default;
  JsonTextPool(const JsonTextPool&) = delete;
  JsonTextPool& operator=(const JsonTextPool&) = delete;
  ~JsonTextPool();

  // Makes every string of `tree` no longer than kPooledSize share the block of the first equal text the pool
  // has seen.
  void share_texts(Json& tree);

 private:
  void share(Json& node);
  void grow();

  // The blocks met, each kept by the pool, in slots found by a hash of the
  // text and probed onwards to a gap: a word a text, as a program of many
  // distinct texts (a file of facts) keeps most of them here.
  std::vector<Json::TextBlock*> slots_;
  size_t held_ = 0;
  // The walk's nodes still to see, kept for the next tree.
  std::vector<Json*> stack_;
};

}  // namespace mirtova
