#include "assertion/token.h"

namespace mirtova::assertion {

namespace {

struct OperatorRow {
  uint8_t left, right;
  std::string_view ascii;
};

// Indexed by BinOp.
constexpr OperatorRow kOperators[] = {
    {20, 21, "<->"}, {25, 25, "->"}, {30, 30, "\\/"}, {35, 35, "/\\"}, {50, 51, "=="},
    {50, 51, "!="},  {50, 51, "<"},  {50, 51, "<="},  {50, 51, ">"},   {50, 51, ">="},
    {65, 66, "+"},   {65, 66, "-"},  {70, 71, "*"},   {70, 71, "/"},
};

const OperatorRow& row(BinOp op) { return kOperators[static_cast<size_t>(op)]; }

}  // namespace

uint8_t left_binding_power(BinOp op) { return row(op).left; }
uint8_t right_binding_power(BinOp op) { return row(op).right; }
std::string_view ascii_spelling(BinOp op) { return row(op).ascii; }

bool is_connective(BinOp op) { return op <= BinOp::And; }
bool is_comparison(BinOp op) { return op >= BinOp::Eq && op <= BinOp::Ge; }
bool is_arithmetic(BinOp op) { return op >= BinOp::Add; }

BinOp negated_comparison(BinOp op) {
  switch (op) {
    case BinOp::Eq:
      return BinOp::Ne;
    case BinOp::Ne:
      return BinOp::Eq;
    case BinOp::Lt:
      return BinOp::Ge;
    case BinOp::Le:
      return BinOp::Gt;
    case BinOp::Gt:
      return BinOp::Le;
    case BinOp::Ge:
      return BinOp::Lt;
    default:
      return op;
  }
}

std::string Token::describe() const {
  switch (kind) {
    case Kind::Name:
    case Kind::Number:
      return "'" + text + "'";
    case Kind::Str:
      return "\"" + text + "\"";
    // A keyword is named by its symbol: "not" in the text is "'¬'" here.
    case Kind::Forall:
      return "'\u2200'";
    case Kind::Exists:
      return "'\u2203'";
    case Kind::Sum:
      return "'\u2211'";
    case Kind::Not:
      return "'\u00AC'";
    case Kind::Op:
      return "an operator";
    case Kind::LParen:
      return "'('";
    case Kind::RParen:
      return "')'";
    case Kind::Comma:
      return "','";
    case Kind::Colon:
      return "':'";
    case Kind::In:
      return "'\u2208'";
  }
  return {};
}

}  // namespace mirtova::assertion
