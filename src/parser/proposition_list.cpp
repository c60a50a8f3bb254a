#include "parser/proposition_list.h"

#include "parser/forms.h"
#include "parser/traverse.h"
#include "parser/tree_build.h"

namespace mirtova {

ParseResult<Json> parse_proposition_list(const std::vector<SpanString>& pieces) {
  Json::ArrayType list;
  list.reserve(pieces.size());
  for (const SpanString& piece : pieces) {
    TRY(Json proposition, parse_proposition(piece));
    list.push_back(std::move(proposition));
  }
  return Json(std::move(list));
}

ParseResult<Json> parse_conjunct_object(const SpanString& text) {
  TRY(auto pieces, split(text, ","));
  TRY(Json conjuncts, parse_proposition_list(pieces));
  return make_object("conjunct", std::move(conjuncts));
}

}  // namespace mirtova
