// The nodes of the types graph: predicate columns, rule variables, subscripts and literals.
#pragma once

#include <compare>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "compiler/type_inference/types.h"

namespace mirtova {

// A 128-bit text digest; compares high half first.
struct Digest128 {
  uint64_t high = 0;
  uint64_t low = 0;
  friend auto operator<=>(const Digest128&, const Digest128&) = default;
};

// A node of the types graph. Its printed text is its identity for edge
// deduplication; the type it carries is not part of that text.
class Expression {
 public:
  enum class Kind : uint8_t {
    PredicateAddressing,
    SubscriptAddressing,
    Variable,
    StringLiteral,
    NumberLiteral,
    BooleanLiteral,
    NullLiteral,
    ListLiteral,
    RecordLiteral,
  };

  // Starts with the built-in restriction of (predicate, column), else Any.
  static Expression predicate_addressing(std::string_view predicate, std::string_view column,
                                         uint64_t call_number);
  // Field `field` of `record`, starting as Any.
  static Expression subscript_addressing(Expression record, std::string field);
  static Expression variable(std::string name, Type type = Type::any());
  static Expression string_literal() { return Expression(Kind::StringLiteral, Type::string()); }
  static Expression number_literal() { return Expression(Kind::NumberLiteral, Type::number()); }
  static Expression boolean_literal() { return Expression(Kind::BooleanLiteral, Type::boolean()); }
  static Expression null_literal() { return Expression(Kind::NullLiteral, Type::any()); }
  // Typed as the list of a copy of the first element's type; list of any when empty.
  static Expression list_literal(std::vector<Expression> elements);
  // `fields` are (name, value) pairs with unique names, in any order.
  static Expression record_literal(std::vector<std::pair<std::string, Expression>> fields, Type type);

  // A copy for another call of the same predicate column: the call number is
  // not printed, so a digest made stays good.
  Expression for_call(uint64_t call_number) const {
    Expression copy(*this);
    copy.call_number_ = call_number;
    return copy;
  }

  // Copies are deep; the digest, once made, travels with copies and moves.
  Expression(const Expression& other);
  Expression(Expression&& other) noexcept;
  Expression& operator=(const Expression& other);
  Expression& operator=(Expression&& other) noexcept;
  ~Expression();

  Kind kind() const { return kind_; }
  bool is_predicate_addressing() const { return kind_ == Kind::PredicateAddressing; }
  bool is_subscript_addressing() const { return kind_ == Kind::SubscriptAddressing; }

  // PredicateAddressing: the predicate and the column; Variable: name() only;
  // SubscriptAddressing: the field name as column().
  std::string_view name() const { return std::string_view(text_).substr(0, name_size_); }
  std::string_view column() const { return std::string_view(text_).substr(name_size_); }
  uint64_t call_number() const { return call_number_; }
  // The record of a SubscriptAddressing, the elements of a ListLiteral, the
  // field values of a RecordLiteral (in field-name order, beside field_names()).
  const std::vector<Expression>& children() const;
  const std::vector<std::string>& field_names() const;

  // The node's type: stored, or fixed for the four scalar literals.
  const Type& type() const { return type_; }
  // The stored type, for callers that update it in place; the four scalar
  // literals must not be changed through it.
  Type& type_mut() { return type_; }
  // Whether this is one of the four scalar literals, whose type never changes.
  bool has_fixed_type() const { return has_fixed_type(kind_); }
  static bool has_fixed_type(Kind kind) {
    return kind == Kind::StringLiteral || kind == Kind::NumberLiteral || kind == Kind::BooleanLiteral ||
           kind == Kind::NullLiteral;
  }
  // Replaces the stored type; the four scalar literals keep their fixed type.
  void set_type(Type type);

  std::string to_string() const;

 private:
  friend Digest128 text_digest(const Expression& expression);

  // What only subscripts, lists and records have, kept out of line so that
  // the many plain ends (and the edges holding them) stay small.
  struct Parts;

  explicit Expression(Kind kind, Type type = Type::any()) : kind_(kind), type_(std::move(type)) {}
  Parts& parts();

  Kind kind_;
  mutable bool digest_known_ = false;
  // The name and the column are one text, split after name_size_ bytes: the
  // graph holds two ends per edge, and one string is half the room of two.
  uint32_t name_size_ = 0;
  uint64_t call_number_ = 0;
  std::string text_;
  Type type_;                     // fixed at construction for the four scalar literals
  std::unique_ptr<Parts> parts_;  // null when there are no children
  // The digest of the printed text, made on first request: the text never
  // changes after construction, and an end is digested for its edge key, its
  // node key and its column alike. Copies carry it along.
  mutable Digest128 digest_;
};

struct Expression::Parts {
  std::vector<Expression> children;
  std::vector<std::string> field_names;
};

inline Expression::Expression(Expression&& other) noexcept = default;
inline Expression& Expression::operator=(Expression&& other) noexcept = default;
inline Expression::~Expression() = default;

// SipHash-1-3 (zero key) of the printed text in the high half, of "Z" followed
// by the printed text in the low half; computed without building the text,
// once per expression.
Digest128 text_digest(const Expression& expression);

}  // namespace mirtova
