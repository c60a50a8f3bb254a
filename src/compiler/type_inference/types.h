// Type: the compiler's type language (any, atomic, number, string, bool, list, record).
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace mirtova {

// The column of a host's table that a value of undetermined type was read
// from; only the database knows its SQL type. `table` is the reference as the
// SQL names the table. Values met from other columns too list those in `more`
// (sorted, after the first): theirs is the type the columns agree on, if they
// do. Values met with a value of no known source have `several` set: no
// column's type is theirs.
struct ColumnOrigin {
  std::string table;
  std::string column;
  bool several = false;
  std::vector<std::pair<std::string, std::string>> more;
  friend bool operator==(const ColumnOrigin&, const ColumnOrigin&) = default;
};

class Type {
 public:
  // Declaration order; type intersection ranks the variants its own way.
  enum class Kind : uint8_t { Any, Atomic, Number, String, Bool, List, Record };
  // Sorted by field name in byte order, so everything printed or walked from a
  // record comes out in one fixed order.
  using Fields = std::map<std::string, Type, std::less<>>;

  Type() = default;  // Any
  // A copy shares the element or fields it was copied from until either side
  // changes them: a record type is copied at every level it is met at, and a
  // deep copy there costs as much as the whole type below.
  Type(const Type& other) = default;
  Type(Type&& other) noexcept = default;
  Type& operator=(const Type& other) = default;
  Type& operator=(Type&& other) noexcept = default;
  ~Type() = default;

  static Type any() { return Type(Kind::Any); }
  static Type atomic() { return Type(Kind::Atomic); }
  static Type number() { return Type(Kind::Number); }
  static Type string() { return Type(Kind::String); }
  static Type boolean() { return Type(Kind::Bool); }
  // The type of a kind other than List and Record, without a source column:
  // one value per kind, for whatever holds only the kind.
  static const Type& scalar(Kind kind) {
    // Read wherever inference holds a type as its kind alone: kept inline.
    static const Type kinds[] = {Type(Kind::Any), Type(Kind::Atomic), Type(Kind::Number), Type(Kind::String),
                                 Type(Kind::Bool)};
    if (kind == Kind::List || kind == Kind::Record) [[unlikely]]
      not_scalar();
    return kinds[static_cast<size_t>(kind)];
  }
  static Type list(Type element);
  static Type record(Fields fields, bool open);
  static Type open_record(Fields fields) { return record(std::move(fields), true); }
  static Type closed_record(Fields fields) { return record(std::move(fields), false); }

  Kind kind() const { return kind_; }
  bool is_any() const { return kind_ == Kind::Any; }
  bool is_atomic() const { return kind_ == Kind::Atomic; }
  bool is_number() const { return kind_ == Kind::Number; }
  bool is_string() const { return kind_ == Kind::String; }
  bool is_bool() const { return kind_ == Kind::Bool; }
  bool is_list() const { return kind_ == Kind::List; }
  bool is_record() const { return kind_ == Kind::Record; }
  // Whether the record admits further fields; false for every other kind.
  bool is_open() const { return kind_ == Kind::Record && open_; }

  // The element of a List; any other kind is an internal fault. The mutable
  // forms first give this type parts of its own (when shared): a reference
  // taken from them is not seen by copies made before, nor by those after.
  const Type& element() const;
  Type& element();
  // The fields of a Record; any other kind is an internal fault.
  const Fields& fields() const;
  Fields& fields();
  // Makes a record open or closed; any other kind is an internal fault.
  void set_open(bool open);

  // Where an Any or Atomic value came from, if one host table column is known
  // to be its source; null otherwise. Shared, as it is copied with every type
  // and never changed. Not part of eq or of the printed form: only where a
  // type must be declared in SQL does it matter.
  const ColumnOrigin* origin() const { return origin_.get(); }
  const std::shared_ptr<const ColumnOrigin>& shared_origin() const { return origin_; }
  void set_origin(std::shared_ptr<const ColumnOrigin> origin) { origin_ = std::move(origin); }

  // Whether this list or record holds the very element or fields `other`
  // holds, shared by copying: what is true of one below is true of the other.
  bool shares_parts_with(const Type& other) const { return parts_ && parts_ == other.parts_; }
  // What shares_parts_with compares, as a key: two lists or records give the
  // same key exactly when they share parts; null for every other kind.
  const void* parts_key() const { return parts_.get(); }

  // The printed form used in messages: "number", "[string]", "{a: [number], b: bool}".
  // The open flag is not shown.
  std::string to_string() const;

  // Structural equality: open records match on their common fields (an open
  // record against a closed one on the open record's fields). Symmetric, but
  // not transitive once open records take part.
  bool eq(const Type& other) const;
  friend bool operator==(const Type& a, const Type& b) { return a.eq(b); }

 private:
  explicit Type(Kind kind) : kind_(kind) {}
  [[noreturn]] static void not_scalar();

  Kind kind_ = Kind::Any;
  bool open_ = false;
  std::shared_ptr<const ColumnOrigin> origin_;
  // The element (a Type) of a List, the Fields of a Record, null for every
  // other kind; shared between copies, never changed while shared. One
  // pointer for both, as kind_ tells which: a type is held by every node and
  // every edge end of inference.
  std::shared_ptr<void> parts_;
};

}  // namespace mirtova
