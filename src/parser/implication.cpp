// The if-then-else expression: "if C1 then V1 else if C2 then V2 ... else W".
#include "parser/forms.h"
#include "parser/traverse.h"
#include "parser/tree_build.h"

namespace mirtova {

ParseResult<MaybeNode> parse_implication(const SpanString& text) {
  const std::string_view v = text.view();
  if (v.size() < 3 || v.substr(0, 2) != "if" || (v[2] != ' ' && v[2] != '\n')) return MaybeNode();

  // "else if" holds a blank, so it cuts wherever those bytes stand at the top
  // level, not only between whole words.
  TRY(auto pieces, split(text.slice(3, text.size()), "else if"));
  TRY(auto last, split_in_two(pieces.back(), "else"));
  pieces.back() = last.first;
  const SpanString otherwise = last.second;

  Json branches = Json::array();
  for (const SpanString& piece : pieces) {
    TRY(auto branch, split_in_two(piece, "then"));
    TRY(Json condition, parse_expression(branch.first));
    TRY(Json consequence, parse_expression(branch.second));
    branches.push(make_object("condition", std::move(condition), "consequence", std::move(consequence)));
  }
  TRY(Json otherwise_tree, parse_expression(otherwise));
  return MaybeNode(make_object("if_then", std::move(branches), "otherwise", std::move(otherwise_tree)));
}

}  // namespace mirtova
