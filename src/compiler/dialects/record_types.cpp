#include "compiler/dialects/record_types.h"

#include <algorithm>
#include <string_view>

#include "common/siphash.h"
#include "compiler/dialects/quoting.h"

namespace mirtova {

namespace {

// The host table columns a field's values are read from, for a field of
// undetermined type (inside lists or not); null when there are none.
const ColumnOrigin* single_origin(const Type& type, size_t& list_depth) {
  const Type* inner = &type;
  list_depth = 0;
  while (inner->is_list()) {
    inner = &inner->element();
    ++list_depth;
  }
  if (!inner->is_any() && !inner->is_atomic()) return nullptr;
  const ColumnOrigin* origin = inner->origin();
  return origin == nullptr || origin->several ? nullptr : origin;
}

std::string array_suffix(size_t list_depth) {
  std::string out;
  for (size_t i = 0; i < list_depth; ++i) out += "[]";
  return out;
}

// A field's name as the column list writes it.
std::string field_column_name(std::string_view name) {
  // A double quote inside a (backquoted) field name is doubled so it cannot end
  // the identifier early; every ordinary name is written as it stands, which
  // keeps the type names of ordinary records unchanged.
  return quoted_doubling(unquoted_name(name), '"');
}

// The name the catalogue holds for a host column, which the SQL names as
// sql_column does: a plain name unquoted, and so folded to lower case.
std::string catalogue_column_name(std::string_view column) {
  const std::string_view name = unquoted_name(column);
  std::string out(name);
  if (is_plain_identifier(name) && !is_sql_reserved_word(name)) {
    for (char& c : out)
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

// The catalogue's SQL type of a host table's column, null when either is missing.
std::string column_type_lookup(std::string_view table, std::string_view column) {
  return "(SELECT format_type(atttypid, atttypmod) FROM pg_attribute WHERE attrelid = to_regclass(" +
         single_quoted_literal(table) +
         ") AND attname = " + single_quoted_literal(catalogue_column_name(column)) +
         " AND attnum > 0 AND NOT attisdropped)";
}

}  // namespace

// The PostgreSQL type of one column of a record type.
std::string RecordTypeNames::column_type(const Type& type) {
  return psql_column_type(type, [this](const Type& record) { return name(record); });
}

bool psql_record_reads_host_columns(const Type& type) {
  if (!type.is_record()) return false;
  size_t depth = 0;
  for (const auto& [name, field] : type.fields())
    if (single_origin(field, depth) != nullptr) return true;
  return false;
}

std::string RecordTypeNames::columns_at_run_time(const Type& type) {
  std::string out;
  std::string text;  // written out as one literal before each lookup and at the end
  for (const auto& [name, field] : type.fields()) {
    if (!text.empty() || !out.empty()) text += ", ";
    text += field_column_name(name);
    text += ' ';
    size_t depth = 0;
    const ColumnOrigin* origin = single_origin(field, depth);
    if (origin == nullptr) {
      text += column_type(field);
      continue;
    }
    if (!out.empty()) out += " || ";
    out += single_quoted_literal(text) + " || ";
    if (origin->more.empty()) {
      out += "COALESCE(" + column_type_lookup(origin->table, origin->column) + ", 'text')";
    } else {
      // Values of several columns are of the type all of them have, and
      // text where one differs or is missing.
      std::string lookups = "(" + column_type_lookup(origin->table, origin->column) + ")";
      for (const auto& [table, column] : origin->more)
        lookups += ", (" + column_type_lookup(table, column) + ")";
      out += "(SELECT CASE WHEN COUNT(t) = " + std::to_string(origin->more.size() + 1) +
             " AND COUNT(DISTINCT t) = 1 THEN MIN(t) ELSE 'text' END FROM (VALUES " + lookups +
             ") AS quoril_sources(t))";
    }
    text = array_suffix(depth);
  }
  if (!text.empty()) out += " || " + single_quoted_literal(text);
  return out;
}

std::vector<std::reference_wrapper<const RecordLiteralField>> sorted_by_name(
    const std::vector<RecordLiteralField>& fields) {
  std::vector<std::reference_wrapper<const RecordLiteralField>> sorted(fields.begin(), fields.end());
  std::stable_sort(sorted.begin(), sorted.end(),
                   [](const RecordLiteralField& a, const RecordLiteralField& b) { return a.name < b.name; });
  return sorted;
}

std::string RecordTypeNames::columns(const Type& type) {
  if (!type.is_record()) return "";
  std::string out;
  for (const auto& [name, field] : type.fields()) {
    if (!out.empty()) out += ", ";
    out += field_column_name(name);
    out += ' ';
    size_t depth = 0;
    if (const ColumnOrigin* origin = single_origin(field, depth)) {
      // Not SQL: the set-up step looks the column's type up (see
      // psql_record_columns_at_run_time). Named apart from a text field, and
      // from a field of any other column, so that two programs in one schema
      // never share a type whose fields differ.
      out += origin->table + "." + quoted_doubling(catalogue_column_name(origin->column), '"') + "%TYPE";
      for (const auto& [table, column] : origin->more)
        out += "|" + table + "." + quoted_doubling(catalogue_column_name(column), '"') + "%TYPE";
      out += array_suffix(depth);
      continue;
    }
    out += column_type(field);
  }
  return out;
}

const std::string& RecordTypeNames::name(const Type& record) {
  // The recursion below is as deep as records nest, which the parser bounds.
  const void* key = record.is_record() ? record.parts_key() : nullptr;
  auto known = names_.find(key);
  if (known != names_.end()) return known->second.second;
  SipHasher13 hasher;
  hasher.write(columns(record));
  hasher.write_byte(0xFF);
  std::string name = "quorilrecord" + std::to_string(hasher.finish());
  // Every type not a record has the empty column list, and so one name.
  return names_.try_emplace(key, record, std::move(name)).first->second.second;
}

std::string psql_record_columns(const Type& type) { return RecordTypeNames().columns(type); }

std::string psql_record_columns_at_run_time(const Type& type) {
  return RecordTypeNames().columns_at_run_time(type);
}

std::string record_type_name(const Type& type) { return RecordTypeNames().name(type); }

}  // namespace mirtova
