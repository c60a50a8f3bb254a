#include "parser/rewrite/dnf.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

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

// Both combiners answer nothing when the result would pass kMaxDnfRules.
std::optional<NormalForm> conjoin(std::vector<NormalForm>& results, size_t count) {
  NormalForm product(1);
  for (size_t i = results.size() - count; i < results.size(); ++i) {
    const NormalForm& factor = results[i];
    if (!product.empty() && factor.size() > kMaxDnfRules / product.size()) return std::nullopt;
    NormalForm next;
    next.reserve(product.size() * factor.size());
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

std::optional<NormalForm> disjoin(std::vector<NormalForm>& results, size_t count) {
  NormalForm sum;
  for (size_t i = results.size() - count; i < results.size(); ++i) {
    if (results[i].size() > kMaxDnfRules - sum.size()) return std::nullopt;
    for (Alternative& alt : results[i]) sum.push_back(std::move(alt));
  }
  results.resize(results.size() - count);
  return sum;
}

// Bodies may be nested as deep as memory allows, so the walk keeps its own
// stacks: children are pushed in reverse so that their results land in order.
std::optional<NormalForm> normal_form(const Json& body) {
  std::vector<Frame> work{{Frame::Kind::Visit, &body, 0}};
  std::vector<NormalForm> results;
  while (!work.empty()) {
    Frame frame = work.back();
    work.pop_back();
    if (frame.kind != Frame::Kind::Visit) {
      std::optional<NormalForm> combined = frame.kind == Frame::Kind::Conjoin ? conjoin(results, frame.count)
                                                                               : disjoin(results, frame.count);
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
    for (auto it = children->rbegin(); it != children->rend(); ++it) work.push_back({Frame::Kind::Visit, &*it, 0});
  }
  return std::move(results.back());
}

}  // namespace

ParseResult<Json> dnf_rewrite(const Json& rules) {
  const Json::ArrayType& input = rules.as_array();
  Json::ArrayType output;
  output.reserve(input.size());
  for (const Json& rule : input) {
    (void)rule.as_object();
    const Json* body = rule.get("body");
    if (body == nullptr) {
      output.push_back(rule);
      continue;
    }
    std::optional<NormalForm> alternatives = normal_form(*body);
    if (!alternatives) {
      const Json* full_text = rule.get("full_text");
      std::string text = full_text != nullptr && full_text->is_str() ? full_text->as_str() : std::string();
      return ParsingException("Disjunctions in this rule expand to more than " + std::to_string(kMaxDnfRules) +
                                  " rules.",
                              SpanString(std::move(text)));
    }
    for (const Alternative& alternative : *alternatives) {
      Json::ArrayType conjuncts;
      conjuncts.reserve(alternative.size());
      for (const Json* atom : alternative) conjuncts.push_back(*atom);
      Json produced;
      for (const auto& [key, value] : rule.as_object()) {
        if (key != "body") produced.set(key, value);
      }
      produced.set("body", Json::object({{"conjunction", Json::object({{"conjunct", Json(std::move(conjuncts))}})}}));
      output.push_back(std::move(produced));
    }
  }
  return Json(std::move(output));
}

}  // namespace mirtova
