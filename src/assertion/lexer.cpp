#include "assertion/lexer.h"

#include "parser/unicode_tables.h"
#include "parser/utf8.h"

namespace mirtova::assertion {

namespace {

struct Symbol {
  std::u32string_view text;
  Token::Kind kind;
  BinOp op;
};

using K = Token::Kind;

// Tried in this order at each position, so that a longer spelling wins over
// its beginning ("<->" before "<=" and "<", "->" before "-", "==" before "=").
constexpr Symbol kSymbols[] = {
    {U"<->", K::Op, BinOp::Iff},        {U"\u2194", K::Op, BinOp::Iff},
    {U"->", K::Op, BinOp::Implies},     {U"\u2192", K::Op, BinOp::Implies},
    {U"/\\", K::Op, BinOp::And},        {U"\u2227", K::Op, BinOp::And},
    {U"\\/", K::Op, BinOp::Or},         {U"\u2228", K::Op, BinOp::Or},
    {U"!=", K::Op, BinOp::Ne},          {U"\u2260", K::Op, BinOp::Ne},
    {U"<=", K::Op, BinOp::Le},          {U"\u2264", K::Op, BinOp::Le},
    {U">=", K::Op, BinOp::Ge},          {U"\u2265", K::Op, BinOp::Ge},
    {U"==", K::Op, BinOp::Eq},          {U"=", K::Op, BinOp::Eq},
    {U"<", K::Op, BinOp::Lt},           {U">", K::Op, BinOp::Gt},
    {U"+", K::Op, BinOp::Add},          {U"-", K::Op, BinOp::Sub},
    {U"*", K::Op, BinOp::Mul},          {U"/", K::Op, BinOp::Div},
    {U"\u2200", K::Forall, BinOp::Iff}, {U"\u2203", K::Exists, BinOp::Iff},
    {U"\u2211", K::Sum, BinOp::Iff},    {U"\u03A3", K::Sum, BinOp::Iff},
    {U"\u00AC", K::Not, BinOp::Iff},    {U"\u2208", K::In, BinOp::Iff},
    {U"(", K::LParen, BinOp::Iff},      {U")", K::RParen, BinOp::Iff},
    {U",", K::Comma, BinOp::Iff},       {U":", K::Colon, BinOp::Iff},
};

struct Keyword {
  std::string_view text;
  Token::Kind kind;
};

constexpr Keyword kKeywords[] = {
    {"forall", K::Forall}, {"exists", K::Exists}, {"sum", K::Sum}, {"not", K::Not}};

bool is_ascii_digit(char32_t c) { return c >= U'0' && c <= U'9'; }
bool starts_name(char32_t c) { return c == U'_' || is_alphabetic(c); }
bool continues_name(char32_t c) {
  return c == U'_' || c == U'\'' || is_alphabetic(c) || is_number_category(c);
}

std::string encode(std::u32string_view chars) {
  std::string out;
  for (char32_t c : chars) append_utf8(out, c);
  return out;
}

}  // namespace

Result<std::vector<TokenAt>, StatementError> tokenize(std::string_view statement) {
  return tokenize(to_code_points(statement));
}

Result<std::vector<TokenAt>, StatementError> tokenize(std::u32string_view chars) {
  std::vector<TokenAt> tokens;
  size_t at = 0;
  while (at < chars.size()) {
    const char32_t c = chars[at];
    if (is_white_space(c)) {
      ++at;
      continue;
    }
    const std::u32string_view rest = chars.substr(at);
    const Symbol* symbol = nullptr;
    for (const Symbol& s : kSymbols) {
      if (s.text[0] == c && rest.starts_with(s.text)) {
        symbol = &s;
        break;
      }
    }
    if (symbol) {
      tokens.push_back({Token{symbol->kind, {}, symbol->op}, at});
      at += symbol->text.size();
      continue;
    }
    if (c == U'"') {
      const size_t close = chars.find(U'"', at + 1);
      if (close == std::u32string_view::npos) return StatementError{"unclosed string", at};
      tokens.push_back({Token{K::Str, encode(chars.substr(at + 1, close - at - 1)), BinOp::Iff}, at});
      at = close + 1;
      continue;
    }
    if (is_ascii_digit(c)) {
      size_t stop = at;
      while (stop < chars.size() && is_ascii_digit(chars[stop])) ++stop;
      // The fraction only when a digit follows the dot: "1." leaves the dot.
      if (stop + 1 < chars.size() && chars[stop] == U'.' && is_ascii_digit(chars[stop + 1])) {
        stop += 1;
        while (stop < chars.size() && is_ascii_digit(chars[stop])) ++stop;
      }
      tokens.push_back({Token{K::Number, encode(chars.substr(at, stop - at)), BinOp::Iff}, at});
      at = stop;
      continue;
    }
    if (!starts_name(c)) {
      std::string message = "unexpected character '";
      message += encode(rest.substr(0, 1));
      return StatementError{message + "'", at};
    }
    size_t stop = at + 1;
    while (stop < chars.size() && continues_name(chars[stop])) ++stop;
    std::string name = encode(chars.substr(at, stop - at));
    Token token{K::Name, {}, BinOp::Iff};
    for (const Keyword& k : kKeywords)
      if (name == k.text) token.kind = k.kind;
    if (token.kind == K::Name) token.text = std::move(name);
    tokens.push_back({std::move(token), at});
    at = stop;
  }
  return tokens;
}

}  // namespace mirtova::assertion
