#include "compiler/type_inference/expression.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "common/siphash.h"
#include "compiler/type_inference/built_in.h"

namespace mirtova {

namespace {

// Writes the printed form piece by piece into a sink with write(string_view),
// so that the digest can be fed the same pieces a printer would append.
template <class Sink>
void emit(const Expression& e, Sink& out) {
  switch (e.kind()) {
    case Expression::Kind::PredicateAddressing:
      out.write("PredicateAddressing(");
      out.write(e.name());
      out.write(".");
      out.write(e.column());
      out.write(")");
      return;
    case Expression::Kind::SubscriptAddressing:
      out.write("SubscriptAddressing");
      emit(e.children().front(), out);
      out.write(".");
      out.write(e.column());
      return;
    case Expression::Kind::Variable:
      out.write("Variable(");
      out.write(e.name());
      out.write(")");
      return;
    case Expression::Kind::StringLiteral:
      out.write("StringLiteral");
      return;
    case Expression::Kind::NumberLiteral:
      out.write("NumberLiteral");
      return;
    case Expression::Kind::BooleanLiteral:
      out.write("BooleanLiteral");
      return;
    case Expression::Kind::NullLiteral:
      out.write("NullLiteral");
      return;
    case Expression::Kind::ListLiteral: {
      out.write("ListLiteral[");
      bool first = true;
      for (const Expression& element : e.children()) {
        if (!first) out.write(", ");
        first = false;
        emit(element, out);
      }
      out.write("]");
      return;
    }
    case Expression::Kind::RecordLiteral: {
      out.write("RecordLiteral(");
      for (size_t i = 0; i < e.field_names().size(); ++i) {
        if (i != 0) out.write(", ");
        out.write(e.field_names()[i]);
        out.write(": ");
        emit(e.children()[i], out);
      }
      out.write(")");
      return;
    }
  }
}

struct TextSink {
  std::string text;
  void write(std::string_view piece) { text += piece; }
};

// Collects the printed text, in place while it is short (as almost every
// end's text is), so that the digest hashes one contiguous run.
class DigestSink {
 public:
  void write(std::string_view piece) {
    if (spilled_.empty() && size_ + piece.size() <= sizeof inline_) {
      std::memcpy(inline_ + size_, piece.data(), piece.size());
      size_ += piece.size();
      return;
    }
    if (spilled_.empty()) spilled_.assign(inline_, size_);
    spilled_ += piece;
  }
  std::string_view text() const {
    return spilled_.empty() ? std::string_view(inline_, size_) : std::string_view(spilled_);
  }

 private:
  char inline_[200];
  size_t size_ = 0;
  std::string spilled_;
};

}  // namespace

Expression::Expression(const Expression& other)
    : kind_(other.kind_),
      digest_known_(other.digest_known_),
      name_size_(other.name_size_),
      call_number_(other.call_number_),
      text_(other.text_),
      type_(other.type_),
      parts_(other.parts_ ? std::make_unique<Parts>(*other.parts_) : nullptr),
      digest_(other.digest_) {}

Expression& Expression::operator=(const Expression& other) {
  if (this != &other) {
    Expression copy(other);
    *this = std::move(copy);
  }
  return *this;
}

Expression::Parts& Expression::parts() {
  if (!parts_) parts_ = std::make_unique<Parts>();
  return *parts_;
}

const std::vector<Expression>& Expression::children() const {
  static const std::vector<Expression> none;  // immutable; shared by every plain end
  return parts_ ? parts_->children : none;
}

const std::vector<std::string>& Expression::field_names() const {
  static const std::vector<std::string> none;  // immutable; shared by every plain end
  return parts_ ? parts_->field_names : none;
}

Expression Expression::predicate_addressing(std::string_view predicate, std::string_view column,
                                            uint64_t call_number) {
  Expression e(Kind::PredicateAddressing);
  if (auto restricted = built_in_restrictions(predicate, column)) e.type_ = std::move(*restricted);
  e.name_size_ = static_cast<uint32_t>(predicate.size());
  e.text_.reserve(predicate.size() + column.size());
  e.text_.append(predicate);
  e.text_.append(column);
  e.call_number_ = call_number;
  return e;
}

Expression Expression::subscript_addressing(Expression record, std::string field) {
  Expression e(Kind::SubscriptAddressing);
  e.text_ = std::move(field);
  e.parts().children.push_back(std::move(record));
  return e;
}

Expression Expression::variable(std::string name, Type type) {
  Expression e(Kind::Variable);
  e.name_size_ = static_cast<uint32_t>(name.size());
  e.text_ = std::move(name);
  e.type_ = std::move(type);
  return e;
}

Expression Expression::list_literal(std::vector<Expression> elements) {
  Expression e(Kind::ListLiteral);
  e.type_ = Type::list(elements.empty() ? Type::any() : elements.front().type());
  if (!elements.empty()) e.parts().children = std::move(elements);
  return e;
}

Expression Expression::record_literal(std::vector<std::pair<std::string, Expression>> fields, Type type) {
  // Kept in byte order of the names, the order the printed form lists them in.
  std::sort(fields.begin(), fields.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  Expression e(Kind::RecordLiteral);
  e.type_ = std::move(type);
  for (auto& [name, value] : fields) {
    e.parts().field_names.push_back(std::move(name));
    e.parts().children.push_back(std::move(value));
  }
  return e;
}

void Expression::set_type(Type type) {
  if (!has_fixed_type()) type_ = std::move(type);
}

std::string Expression::to_string() const {
  TextSink sink;
  emit(*this, sink);
  return std::move(sink.text);
}

namespace {

// The printed form of a predicate's column or of a variable, written straight
// into `out` when it fits: nearly every end of the graph is one of the two, and
// their text is three or five pieces of known order. Returns the size written,
// or 0 when the expression is of another kind or its text does not fit.
size_t plain_text(const Expression& e, char* out, size_t room) {
  const bool column = e.kind() == Expression::Kind::PredicateAddressing;
  if (!column && e.kind() != Expression::Kind::Variable) return 0;
  const std::string_view open = column ? "PredicateAddressing(" : "Variable(";
  const std::string_view name = e.name();
  const std::string_view rest = column ? e.column() : std::string_view();
  const size_t size = open.size() + name.size() + (column ? 1 + rest.size() : 0) + 1;
  if (size > room) return 0;
  char* at = out;
  std::memcpy(at, open.data(), open.size());
  at += open.size();
  std::memcpy(at, name.data(), name.size());
  at += name.size();
  if (column) {
    *at++ = '.';
    std::memcpy(at, rest.data(), rest.size());
    at += rest.size();
  }
  *at++ = ')';
  return size;
}

}  // namespace

Digest128 text_digest(const Expression& expression) {
  if (!expression.digest_known_) {
    char plain[160];
    std::pair<uint64_t, uint64_t> wide;
    if (const size_t size = plain_text(expression, plain, sizeof plain); size != 0) {
      wide = siphash13_128(std::string_view(plain, size));
    } else {
      DigestSink sink;
      emit(expression, sink);
      wide = siphash13_128(sink.text());
    }
    expression.digest_ = Digest128{wide.first, wide.second};
    expression.digest_known_ = true;
  }
  return expression.digest_;
}

}  // namespace mirtova
