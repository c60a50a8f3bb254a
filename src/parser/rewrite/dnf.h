// Disjunctive normal form of rule bodies: one rule per alternative, each body a
// flat conjunction.
#pragma once

#include <cstddef>

#include "parser/json.h"
#include "parser/parsing_exception.h"

namespace mirtova {

// The most rules that one rule may expand into; beyond it the rule is refused
// rather than multiplied out until memory runs out.
inline constexpr size_t kMaxDnfRules = 10000;
// The most propositions, over all those rules, that one rule may expand into
// once it is split at all: a few thousand rules of a long body are refused too.
inline constexpr size_t kMaxDnfConjuncts = 1000000;
// The most text that one rule may expand into: each rule made carries its
// propositions, their texts included.
inline constexpr size_t kMaxDnfTextBytes = 16 * 1024 * 1024;
// Each rule made also carries the statement's text, shared in memory but
// written out whole with every rule. Where those copies together would pass
// kMaxDnfRepeatedText, each rule carries instead the text's first
// kDnfTextOpening bytes followed by " ...": the rules, and the tree written
// out, then grow with their propositions rather than with the statement's
// text once per alternative.
inline constexpr size_t kMaxDnfRepeatedText = 1024 * 1024;
inline constexpr size_t kDnfTextOpening = 400;

// Takes the rule list read-only and returns the rewritten list. The only error
// is a rule whose body would expand past one of the bounds above.
ParseResult<Json> dnf_rewrite(Json rules);

}  // namespace mirtova
