// The statements that one written rule became. The parser splits a rule with
// alternatives into consecutive statements that keep its head and its text; a
// finding about that rule is told once, not once for each alternative.
#pragma once

#include <algorithm>
#include <cstddef>
#include <string>
#include <unordered_set>
#include <vector>

#include "parser/json.h"

namespace mirtova::verifier {

// Whether `later`, the statement right after `earlier`, comes from the same
// written rule. The text alone would also join a multi-body aggregation's last
// rule with the rule the parser adds after it.
bool same_origin(const Json& earlier, const Json& later);

// Tells apart the findings of a written rule that an earlier statement of the
// same rule already gave; one statement may give a finding several times.
class OncePerRule {
 public:
  // The statement whose findings come next, in the order of the rule list.
  void at(const Json& statement);
  // Whether no earlier statement of the current rule gave the finding whose
  // text `text_of()` makes. A statement of a rule without alternatives is
  // never asked: its findings may each quote a long rule, thousands of times.
  template <class TextOf>
  bool first(TextOf&& text_of) {
    if (!alternatives_) return true;
    std::string text = text_of();
    if (told_.contains(text)) return false;
    current_.insert(std::move(text));
    return true;
  }
  // Drops from `block`, past its first `from` findings, those an earlier
  // statement of the current rule gave; `text_of(finding)` tells them apart.
  template <class Finding, class TextOf>
  void keep_first(std::vector<Finding>& block, size_t from, TextOf&& text_of) {
    auto kept =
        std::remove_if(block.begin() + static_cast<std::ptrdiff_t>(from), block.end(),
                       [&](const Finding& finding) { return !first([&] { return text_of(finding); }); });
    block.erase(kept, block.end());
  }

 private:
  bool alternatives_ = false;  // whether the statement at hand may be one of several of its rule
  const Json* previous_ = nullptr;
  std::unordered_set<std::string> told_;     // by the earlier statements of the rule
  std::unordered_set<std::string> current_;  // by the statement at hand
};

}  // namespace mirtova::verifier
