#include "compiler/type_inference/types.h"

#include "common/internal_fault.h"

namespace mirtova {

void Type::not_scalar() { throw InternalFault("expected a scalar kind"); }

Type Type::list(Type element) {
  Type t(Kind::List);
  t.parts_ = std::make_shared<Type>(std::move(element));
  return t;
}

Type Type::record(Fields fields, bool open) {
  Type t(Kind::Record);
  t.open_ = open;
  t.parts_ = std::make_shared<Fields>(std::move(fields));
  return t;
}

const Type& Type::element() const {
  if (kind_ != Kind::List) throw InternalFault("expected a list type, got " + to_string());
  return *static_cast<const Type*>(parts_.get());
}

Type& Type::element() {
  if (kind_ != Kind::List) throw InternalFault("expected a list type, got " + to_string());
  if (parts_.use_count() > 1) parts_ = std::make_shared<Type>(*static_cast<const Type*>(parts_.get()));
  return *static_cast<Type*>(parts_.get());
}

const Type::Fields& Type::fields() const {
  if (kind_ != Kind::Record) throw InternalFault("expected a record type, got " + to_string());
  return *static_cast<const Fields*>(parts_.get());
}

Type::Fields& Type::fields() {
  if (kind_ != Kind::Record) throw InternalFault("expected a record type, got " + to_string());
  if (parts_.use_count() > 1) parts_ = std::make_shared<Fields>(*static_cast<const Fields*>(parts_.get()));
  return *static_cast<Fields*>(parts_.get());
}

void Type::set_open(bool open) {
  if (kind_ != Kind::Record) throw InternalFault("expected a record type, got " + to_string());
  open_ = open;
}

namespace {

void print(const Type& t, std::string& out) {
  switch (t.kind()) {
    case Type::Kind::Any:
      out += "any";
      return;
    case Type::Kind::Atomic:
      out += "atomic";
      return;
    case Type::Kind::Number:
      out += "number";
      return;
    case Type::Kind::String:
      out += "string";
      return;
    case Type::Kind::Bool:
      out += "bool";
      return;
    case Type::Kind::List:
      out += '[';
      print(t.element(), out);
      out += ']';
      return;
    case Type::Kind::Record: {
      out += '{';
      bool first = true;
      for (const auto& [name, field] : t.fields()) {
        if (!first) out += ", ";
        first = false;
        out += name;
        out += ": ";
        print(field, out);
      }
      out += '}';
      return;
    }
  }
}

// Every field of the open record must be in the closed one with an equal type;
// the closed record may have more.
bool equal_open_to_closed(const Type::Fields& open, const Type::Fields& closed) {
  for (const auto& [name, type] : open) {
    auto it = closed.find(name);
    if (it == closed.end() || !type.eq(it->second)) return false;
  }
  return true;
}

}  // namespace

std::string Type::to_string() const {
  std::string out;
  print(*this, out);
  return out;
}

bool Type::eq(const Type& other) const {
  const Type* a = this;
  const Type* b = &other;
  while (a->is_list()) {
    if (!b->is_list()) return false;
    a = &a->element();
    b = &b->element();
  }
  if (!a->is_record()) return a->kind_ == b->kind_;
  if (!b->is_record()) return false;
  const Fields& fa = a->fields();
  const Fields& fb = b->fields();
  if (!a->open_ && !b->open_) {
    if (fa.size() != fb.size()) return false;
    return equal_open_to_closed(fa, fb);
  }
  if (a->open_ && !b->open_) return equal_open_to_closed(fa, fb);
  if (!a->open_ && b->open_) return equal_open_to_closed(fb, fa);
  for (const auto& [name, type] : fa) {
    auto it = fb.find(name);
    if (it != fb.end() && !type.eq(it->second)) return false;
  }
  return true;
}

}  // namespace mirtova
