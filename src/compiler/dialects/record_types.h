// Record shapes as SQL: field sorting and the PostgreSQL composite types named after their columns.
#pragma once

#include <functional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "compiler/dialects/dialect.h"

namespace mirtova {

// The fields stably sorted by the bytes of their names. Borrowed, not copied:
// a field's SQL holds every record nested in it.
std::vector<std::reference_wrapper<const RecordLiteralField>> sorted_by_name(
    const std::vector<RecordLiteralField>& fields);

// The PostgreSQL column list of a record type: "\"name\" type" per field, sorted
// by name, joined by ", "; empty for a type that is not a record. A field read
// from a host table's column has the column written in the type's place.
std::string psql_record_columns(const Type& type);

// Whether a field of the record type holds values read from one column of a
// host's table, of a type only the database knows.
bool psql_record_reads_host_columns(const Type& type);

// PostgreSQL's type of a column of `type`'s values, `record_type(record)`
// naming a record's: its declared type, or text where none is declared.
template <class RecordType>
std::string psql_column_type(const Type& type, const RecordType& record_type) {
  switch (type.kind()) {
    case Type::Kind::Number:
      return "numeric";
    case Type::Kind::Bool:
      return "boolean";
    case Type::Kind::List:
      return psql_column_type(type.element(), record_type) + "[]";
    case Type::Kind::Record:
      return record_type(type);
    default:
      return "text";
  }
}

// For such a record type, a PL/pgSQL text expression giving its column list,
// each such field's type looked up in the catalogue when run (`text` when the
// table or column is missing).
std::string psql_record_columns_at_run_time(const Type& type);

// "quorilrecord" and the SipHash-1-3 (zero key) digest of the column list
// followed by the byte 0xFF, so equal shapes get one name wherever they arise.
std::string record_type_name(const Type& type);

// The names of record types and of those inside them, each worked out once
// for every record's fields met (shared fields, of copied types, are met
// once): a record nested n levels deep is named in work linear in n, where
// naming each level afresh would read every level below it again.
class RecordTypeNames {
 public:
  // As record_type_name.
  const std::string& name(const Type& record);
  // As psql_record_columns and psql_record_columns_at_run_time.
  std::string columns(const Type& type);
  std::string columns_at_run_time(const Type& type);

 private:
  std::string column_type(const Type& type);

  // Each entry keeps a copy of the type it names: fields held by two types are
  // never changed in place, and are not freed while the key stands for them.
  std::unordered_map<const void*, std::pair<Type, std::string>> names_;
};

}  // namespace mirtova
