// The tokens of an assertion statement and its fourteen binary operators.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace mirtova::assertion {

// In this order: the connectives (Iff to And), the comparisons (Eq to Ge), the
// arithmetic operators (Add to Div). Later stages tell the three groups apart.
enum class BinOp : uint8_t { Iff, Implies, Or, And, Eq, Ne, Lt, Le, Gt, Ge, Add, Sub, Mul, Div };

// Binding powers of the Pratt parser: an operator groups to the right when
// both powers are equal and to the left when the right one is one higher.
uint8_t left_binding_power(BinOp op);
uint8_t right_binding_power(BinOp op);

// The fixed powers of the prefix forms.
inline constexpr uint8_t kNotOperandPower = 40;
inline constexpr uint8_t kSumBodyPower = 67;
inline constexpr uint8_t kNegOperandPower = 75;

bool is_connective(BinOp op);
bool is_comparison(BinOp op);
bool is_arithmetic(BinOp op);

// The comparison that holds exactly when `op` does not: Eq and Ne swap, Lt
// becomes Ge, Le Gt, Gt Le and Ge Lt. Only for comparisons.
BinOp negated_comparison(BinOp op);

// The ASCII spelling of the operator: "<->", "->", "\/", "/\", "==", "!=",
// "<", "<=", ">", ">=", "+", "-", "*", "/".
std::string_view ascii_spelling(BinOp op);

struct Token {
  enum class Kind : uint8_t {
    Name,
    Number,
    Str,
    Forall,
    Exists,
    Sum,
    Not,
    Op,
    LParen,
    RParen,
    Comma,
    Colon,
    In
  };

  Kind kind = Kind::Name;
  std::string text;       // Name, Number (as written), Str (between the quotes)
  BinOp op = BinOp::Iff;  // Op

  // How messages name the token: "'x'", "\"text\"", "'∀'", "an operator", ...
  std::string describe() const;

  friend bool operator==(const Token&, const Token&) = default;
};

// A token and the position of its first character, counted in Unicode scalar
// values from 0.
struct TokenAt {
  Token token;
  size_t position = 0;

  friend bool operator==(const TokenAt&, const TokenAt&) = default;
};

}  // namespace mirtova::assertion
