// Record shapes as SQL: field sorting and the PostgreSQL composite types named after their columns.
#pragma once

#include <string>
#include <vector>

#include "compiler/dialects/dialect.h"

namespace mirtova {

// The fields stably sorted by the bytes of their names.
std::vector<RecordLiteralField> sorted_by_name(const std::vector<RecordLiteralField>& fields);

// The PostgreSQL column list of a record type: "\"name\" type" per field, sorted
// by name, joined by ", "; empty for a type that is not a record.
std::string psql_record_columns(const Type& type);

// "quorilrecord" and the SipHash-1-3 (zero key) digest of the column list
// followed by the byte 0xFF, so equal shapes get one name wherever they arise.
std::string record_type_name(const Type& type);

}  // namespace mirtova
