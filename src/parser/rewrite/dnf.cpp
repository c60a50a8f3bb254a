#include "parser/rewrite/dnf.h"

#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "parser/tree_access.h"
#include "parser/tree_build.h"

namespace mirtova {
namespace {

// An alternative refers to atoms of the input tree; they are copied only when
// the output rule is built, so an atom shared by many alternatives is not
// copied while the product is formed.
using Alternative = std::vector<const Json*>;
using NormalForm = std::vector<Alternative>;

struct Frame {
  enum class Kind { Visit, Conjoin, Disjoin } kind;
  const Json* node = nullptr;  // Visit
  size_t count = 0;            // Conjoin, Disjoin: how many results to combine
};

const Json::ArrayType* children_of(const Json& node, std::string_view kind, std::string_view list) {
  if (!node.is_object()) return nullptr;
  const Json* inner = node.get(kind);
  if (inner == nullptr) return nullptr;
  return &inner->at(list).as_array();
}

enum class Overflow { None, Rules, Conjuncts, Text };

size_t conjunct_count(const NormalForm& form) {
  size_t total = 0;
  for (const Alternative& alternative : form) total += alternative.size();
  return total;
}

// A product or sum that passes either bound is refused before it is built.
Overflow overflow(size_t alternatives, size_t conjuncts) {
  if (alternatives > kMaxDnfRules) return Overflow::Rules;
  if (alternatives > 1 && conjuncts > kMaxDnfConjuncts) return Overflow::Conjuncts;
  return Overflow::None;
}

std::optional<NormalForm> conjoin(std::vector<NormalForm>& results, size_t count, Overflow& failure) {
  NormalForm product(1);
  size_t product_conjuncts = 0;
  for (size_t i = results.size() - count; i < results.size(); ++i) {
    const NormalForm& factor = results[i];
    // Both sides are already within the bounds, so the products cannot wrap.
    const size_t alternatives = product.size() * factor.size();
    const size_t conjuncts = factor.size() * product_conjuncts + product.size() * conjunct_count(factor);
    failure = overflow(alternatives, conjuncts);
    if (failure != Overflow::None) return std::nullopt;
    product_conjuncts = conjuncts;
    // A conjunct with one alternative (the usual case) extends every
    // alternative in place, so a long conjunction stays linear.
    if (factor.size() == 1) {
      for (Alternative& left : product) left.insert(left.end(), factor[0].begin(), factor[0].end());
      continue;
    }
    NormalForm next;
    next.reserve(alternatives);
    // The first conjunct's alternatives vary slowest.
    for (const Alternative& left : product) {
      for (const Alternative& right : factor) {
        Alternative joined = left;
        joined.insert(joined.end(), right.begin(), right.end());
        next.push_back(std::move(joined));
      }
    }
    product = std::move(next);
  }
  results.resize(results.size() - count);
  return product;
}

std::optional<NormalForm> disjoin(std::vector<NormalForm>& results, size_t count, Overflow& failure) {
  NormalForm sum;
  size_t sum_conjuncts = 0;
  for (size_t i = results.size() - count; i < results.size(); ++i) {
    const size_t conjuncts = sum_conjuncts + conjunct_count(results[i]);
    failure = overflow(sum.size() + results[i].size(), conjuncts);
    if (failure != Overflow::None) return std::nullopt;
    for (Alternative& alt : results[i]) sum.push_back(std::move(alt));
    sum_conjuncts = conjuncts;
  }
  results.resize(results.size() - count);
  return sum;
}

// Bodies may be nested as deep as memory allows, so the walk keeps its own
// stacks: children are pushed in reverse so that their results land in order.
std::optional<NormalForm> normal_form(const Json& body, Overflow& failure) {
  std::vector<Frame> work{{Frame::Kind::Visit, &body, 0}};
  std::vector<NormalForm> results;
  while (!work.empty()) {
    Frame frame = work.back();
    work.pop_back();
    if (frame.kind != Frame::Kind::Visit) {
      std::optional<NormalForm> combined = frame.kind == Frame::Kind::Conjoin
                                               ? conjoin(results, frame.count, failure)
                                               : disjoin(results, frame.count, failure);
      if (!combined) return std::nullopt;
      results.push_back(std::move(*combined));
      continue;
    }
    const Json& node = *frame.node;
    const Json::ArrayType* children = children_of(node, "conjunction", "conjunct");
    Frame::Kind combine = Frame::Kind::Conjoin;
    if (children == nullptr) {
      children = children_of(node, "disjunction", "disjunct");
      combine = Frame::Kind::Disjoin;
    }
    if (children == nullptr) {
      results.push_back(NormalForm{Alternative{&node}});
      continue;
    }
    work.push_back({combine, nullptr, children->size()});
    for (auto it = children->rbegin(); it != children->rend(); ++it)
      work.push_back({Frame::Kind::Visit, &*it, 0});
  }
  return std::move(results.back());
}

// The bytes of the propositions that the rules made would copy, each
// proposition's printed size once per rule it lands in; stops counting past
// the bound.
size_t copied_bytes(const NormalForm& form) {
  std::unordered_map<const Json*, size_t> sizes;
  size_t total = 0;
  for (const Alternative& alternative : form) {
    for (const Json* atom : alternative) {
      auto [at, fresh] = sizes.try_emplace(atom, 0);
      if (fresh) at->second = atom->compact().size();
      total += at->second;
      if (total > kMaxDnfTextBytes) return total;
    }
  }
  return total;
}

// The text whole, or its opening when `copies` of it would pass the bound;
// the opening ends on a character boundary.
std::string repeated_text(const std::string& text, size_t copies) {
  if (text.size() <= kDnfTextOpening || text.size() <= kMaxDnfRepeatedText / copies) return text;
  size_t end = kDnfTextOpening;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  return text.substr(0, end) + " ...";
}

bool is_junction(const Json& node) { return node.has("conjunction") || node.has("disjunction"); }

// Most bodies are already in normal form: a conjunction of plain propositions
// needs no rebuilding and keeps its nodes as they are.
bool is_flat_conjunction(const Json& body) {
  const Json::ArrayType* conjuncts = children_of(body, "conjunction", "conjunct");
  if (conjuncts == nullptr || body.size() != 1) return false;
  for (const Json& conjunct : *conjuncts)
    if (!conjunct.is_object() || is_junction(conjunct)) return false;
  return true;
}

}  // namespace

ParseResult<Json> dnf_rewrite(Json rules) {
  Json::ArrayType& input = rules.as_array_mut();
  Json::ArrayType output;
  output.reserve(input.size());
  for (Json& rule : input) {
    (void)rule.as_object();
    Json* body = rule.get_mut("body");
    if (body == nullptr) {
      output.push_back(std::move(rule));
      continue;
    }
    if (is_flat_conjunction(*body)) {
      output.push_back(std::move(rule));
      continue;
    }
    if (!is_junction(*body)) {
      // A single proposition: the one alternative is itself.
      Json atom = std::move(*body);
      *body = Json();
      body->set("conjunction", Json()).set("conjunct", Json::array()).push(std::move(atom));
      output.push_back(std::move(rule));
      continue;
    }
    Overflow failure = Overflow::None;
    std::optional<NormalForm> alternatives = normal_form(*body, failure);
    // Refused before any rule is built: the propositions' sizes tell it.
    if (alternatives && alternatives->size() > 1 && copied_bytes(*alternatives) > kMaxDnfTextBytes)
      failure = Overflow::Text;
    if (!alternatives || failure == Overflow::Text) {
      std::string message =
          failure == Overflow::Rules
              ? "Disjunctions in this rule expand to more than " + std::to_string(kMaxDnfRules) + " rules."
          : failure == Overflow::Text ? "Disjunctions in this rule expand to more than " +
                                            std::to_string(kMaxDnfTextBytes / (1024 * 1024)) + " MB of rules."
                                      : "Disjunctions in this rule expand to more than " +
                                            std::to_string(kMaxDnfConjuncts) + " propositions.";
      return ParsingException(std::move(message), SpanString(rule_text(rule)));
    }
    // Every rule made carries the statement's text: one text, shared.
    Json shared_text;
    if (const Json* text = rule.get("full_text"); text != nullptr && text->is_str())
      shared_text = Json::shared_str(std::make_shared<const std::string>(
          repeated_text(std::string(text->as_str()), alternatives->size())));
    for (const Alternative& alternative : *alternatives) {
      Json::ArrayType conjuncts;
      conjuncts.reserve(alternative.size());
      for (const Json* atom : alternative) conjuncts.push_back(*atom);
      Json produced;
      for (const auto& [key, value] : rule.as_object()) {
        if (key == "full_text" && shared_text.is_str())
          produced.set(key, shared_text);
        else if (key != "body")
          produced.set(key, value);
      }
      produced.set("body", make_conjunction(std::move(conjuncts)));
      output.push_back(std::move(produced));
    }
  }
  return Json(std::move(output));
}

}  // namespace mirtova
