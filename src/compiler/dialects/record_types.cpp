#include "compiler/dialects/record_types.h"

#include <algorithm>

#include "common/siphash.h"
#include "compiler/dialects/quoting.h"

namespace mirtova {

namespace {

// The PostgreSQL type of one column of a record type.
std::string column_type(const Type& type) {
  switch (type.kind()) {
    case Type::Kind::Number:
      return "numeric";
    case Type::Kind::Bool:
      return "boolean";
    case Type::Kind::List:
      return column_type(type.element()) + "[]";
    case Type::Kind::Record:
      return record_type_name(type);
    default:
      return "text";
  }
}

}  // namespace

std::vector<RecordLiteralField> sorted_by_name(const std::vector<RecordLiteralField>& fields) {
  std::vector<RecordLiteralField> sorted = fields;
  std::stable_sort(sorted.begin(), sorted.end(),
                   [](const RecordLiteralField& a, const RecordLiteralField& b) { return a.name < b.name; });
  return sorted;
}

std::string psql_record_columns(const Type& type) {
  if (!type.is_record()) return "";
  std::string out;
  for (const auto& [name, field] : type.fields()) {
    if (!out.empty()) out += ", ";
    // A double quote inside a (backquoted) field name is doubled so it cannot end
    // the identifier early; every ordinary name is written as it stands, which
    // keeps the type names of ordinary records unchanged.
    out += quoted_doubling(unquoted_name(name), '"');
    out += ' ';
    out += column_type(field);
  }
  return out;
}

std::string record_type_name(const Type& type) {
  SipHasher13 hasher;
  hasher.write(psql_record_columns(type));
  hasher.write_byte(0xFF);
  return "quorilrecord" + std::to_string(hasher.finish());
}

}  // namespace mirtova
