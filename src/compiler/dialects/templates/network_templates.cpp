// Network functions of the catalogue in the own SQL of Databricks, DuckDB, PostgreSQL, SQLite, Trino and
// Presto: IPv4 addresses as integers, texts and bytes. On DuckDB, PostgreSQL, SQLite and Databricks an IPv6
// address fails the statement rather than giving a wrong value; Trino and Presto read and write both through
// their IPADDRESS.
#include "compiler/dialects/templates/engine_rows.h"

namespace mirtova {

TemplateRows databricks_network_rows() {
  // clang-format off
  return {
      {"NetIpv4FromInt64", R"t((CASE WHEN {0} IS NULL THEN NULL WHEN {0} < -2147483648 OR {0} > 4294967295 THEN raise_error('NetIpv4FromInt64 takes an integer from -0x80000000 to 0xFFFFFFFF, not ' || CAST({0} AS STRING)) ELSE unhex(lpad(hex(CAST((CASE WHEN {0} < 0 THEN {0} + 4294967296 ELSE {0} END) AS BIGINT)), 8, '0')) END))t"},
      {"NetIpv4ToInt64", R"t((CASE WHEN {0} IS NULL THEN NULL WHEN octet_length({0}) <> 4 THEN raise_error('NetIpv4ToInt64 takes 4 bytes, not ' || CAST(octet_length({0}) AS STRING)) ELSE CAST(conv(hex({0}), 16, 10) AS BIGINT) END))t"},
      {"NetIpFromString", R"t((CASE WHEN {0} IS NULL THEN NULL WHEN {0} RLIKE '^(0|[1-9][0-9]?[0-9]?)[.](0|[1-9][0-9]?[0-9]?)[.](0|[1-9][0-9]?[0-9]?)[.](0|[1-9][0-9]?[0-9]?)\u0024' AND array_max(transform(split({0}, '[.]'), mirtova_p -> try_cast(mirtova_p AS INT))) <= 255 THEN unhex(array_join(transform(split({0}, '[.]'), mirtova_p -> lpad(hex(try_cast(mirtova_p AS INT)), 2, '0')), '')) WHEN instr({0}, ':') > 0 THEN raise_error('IPv6 addresses are not available on engine databricks: ' || {0}) ELSE raise_error('NetIpFromString cannot read ' || {0}) END))t"},
      {"NetSafeIpFromString", R"t((CASE WHEN {0} IS NULL THEN NULL WHEN {0} RLIKE '^(0|[1-9][0-9]?[0-9]?)[.](0|[1-9][0-9]?[0-9]?)[.](0|[1-9][0-9]?[0-9]?)[.](0|[1-9][0-9]?[0-9]?)\u0024' AND array_max(transform(split({0}, '[.]'), mirtova_p -> try_cast(mirtova_p AS INT))) <= 255 THEN unhex(array_join(transform(split({0}, '[.]'), mirtova_p -> lpad(hex(try_cast(mirtova_p AS INT)), 2, '0')), '')) WHEN instr({0}, ':') > 0 THEN raise_error('IPv6 addresses are not available on engine databricks: ' || {0}) ELSE NULL END))t"},
      {"NetIpToString", R"t((CASE WHEN {0} IS NULL THEN NULL WHEN octet_length({0}) = 4 THEN array_join(transform(sequence(0, 3), mirtova_i -> conv(substr(hex({0}), 2 * mirtova_i + 1, 2), 16, 10)), '.') WHEN octet_length({0}) = 16 THEN raise_error('IPv6 addresses are not available on engine databricks') ELSE raise_error('NetIpToString takes 4 or 16 bytes, not ' || CAST(octet_length({0}) AS STRING)) END))t"},
  };
  // clang-format on
}

TemplateRows duckdb_network_rows() {
  // clang-format off
  return {
      {"NetIpv4FromInt64", R"t((CASE WHEN {0} IS NULL THEN NULL WHEN {0} < -2147483648 OR {0} > 4294967295 THEN error('NetIpv4FromInt64 takes an integer from -0x80000000 to 0xFFFFFFFF, not ' || CAST({0} AS VARCHAR)) ELSE unhex(printf('%08x', CAST((CASE WHEN {0} < 0 THEN {0} + 4294967296 ELSE {0} END) AS BIGINT))) END))t"},
      {"NetIpv4ToInt64", R"t((CASE WHEN {0} IS NULL THEN NULL WHEN octet_length({0}) <> 4 THEN error('NetIpv4ToInt64 takes 4 bytes, not ' || CAST(octet_length({0}) AS VARCHAR)) ELSE CAST('0x' || hex({0}) AS BIGINT) END))t"},
      {"NetIpFromString", R"t((CASE WHEN {0} IS NULL THEN NULL WHEN regexp_full_match({0}, '(0|[1-9][0-9]?[0-9]?)[.](0|[1-9][0-9]?[0-9]?)[.](0|[1-9][0-9]?[0-9]?)[.](0|[1-9][0-9]?[0-9]?)') AND list_max(list_transform(string_split({0}, '.'), mirtova_p -> TRY_CAST(mirtova_p AS INTEGER))) <= 255 THEN unhex(array_to_string(list_transform(string_split({0}, '.'), mirtova_p -> printf('%02x', CAST(mirtova_p AS INTEGER))), '')) WHEN strpos({0}, ':') > 0 THEN error('IPv6 addresses are not available on engine duckdb: ' || {0}) ELSE error('NetIpFromString cannot read ' || {0}) END))t"},
      {"NetSafeIpFromString", R"t((CASE WHEN {0} IS NULL THEN NULL WHEN regexp_full_match({0}, '(0|[1-9][0-9]?[0-9]?)[.](0|[1-9][0-9]?[0-9]?)[.](0|[1-9][0-9]?[0-9]?)[.](0|[1-9][0-9]?[0-9]?)') AND list_max(list_transform(string_split({0}, '.'), mirtova_p -> TRY_CAST(mirtova_p AS INTEGER))) <= 255 THEN unhex(array_to_string(list_transform(string_split({0}, '.'), mirtova_p -> printf('%02x', CAST(mirtova_p AS INTEGER))), '')) WHEN strpos({0}, ':') > 0 THEN error('IPv6 addresses are not available on engine duckdb: ' || {0}) ELSE NULL END))t"},
      {"NetIpToString", R"t((CASE WHEN {0} IS NULL THEN NULL WHEN octet_length({0}) = 4 THEN array_to_string(list_transform(range(4), mirtova_i -> CAST(CAST('0x' || substr(hex({0}), 2 * mirtova_i + 1, 2) AS INTEGER) AS VARCHAR)), '.') WHEN octet_length({0}) = 16 THEN error('IPv6 addresses are not available on engine duckdb') ELSE error('NetIpToString takes 4 or 16 bytes, not ' || CAST(octet_length({0}) AS VARCHAR)) END))t"},
  };
  // clang-format on
}

TemplateRows presto_trino_network_rows() {
  // clang-format off
  // IPADDRESS holds an IPv4 address as its IPv6 form ::ffff:a.b.c.d, which
  // BigQuery writes as four bytes when the text is dotted.
  return {
      {"NetIpv4FromInt64", R"t((CASE WHEN {0} IS NULL THEN NULL WHEN {0} < -2147483648 OR {0} > 4294967295 THEN fail('NetIpv4FromInt64 takes an integer from -0x80000000 to 0xFFFFFFFF, not ' || CAST({0} AS VARCHAR)) ELSE to_big_endian_32(CAST((CASE WHEN {0} >= 2147483648 THEN {0} - 4294967296 ELSE {0} END) AS INTEGER)) END))t"},
      {"NetIpv4ToInt64", R"t((CASE WHEN {0} IS NULL THEN NULL WHEN length({0}) <> 4 THEN fail('NetIpv4ToInt64 takes 4 bytes, not ' || CAST(length({0}) AS VARCHAR)) ELSE bitwise_and(CAST(from_big_endian_32({0}) AS BIGINT), 4294967295) END))t"},
      {"NetIpFromString", R"t((CASE WHEN strpos({0}, ':') > 0 THEN CAST(CAST({0} AS IPADDRESS) AS VARBINARY) ELSE substr(CAST(CAST({0} AS IPADDRESS) AS VARBINARY), 13, 4) END))t"},
      {"NetSafeIpFromString", R"t((CASE WHEN strpos({0}, ':') > 0 THEN CAST(try(CAST({0} AS IPADDRESS)) AS VARBINARY) ELSE substr(CAST(try(CAST({0} AS IPADDRESS)) AS VARBINARY), 13, 4) END))t"},
      {"NetIpToString", R"t((CASE WHEN {0} IS NULL THEN NULL WHEN length({0}) = 4 THEN CAST(CAST(from_hex('00000000000000000000ffff') || {0} AS IPADDRESS) AS VARCHAR) WHEN length({0}) = 16 AND substr({0}, 1, 12) = from_hex('00000000000000000000ffff') THEN '::ffff:' || CAST(CAST({0} AS IPADDRESS) AS VARCHAR) WHEN length({0}) = 16 THEN CAST(CAST({0} AS IPADDRESS) AS VARCHAR) ELSE fail('NetIpToString takes 4 or 16 bytes, not ' || CAST(length({0}) AS VARCHAR)) END))t"},
  };
  // clang-format on
}

TemplateRows psql_network_rows() {
  // clang-format off
  // A failure's text holds the argument: PostgreSQL folds it while planning
  // only where the arm it stands in is chosen then too.
  return {
      {"NetIpv4FromInt64", R"t((CASE WHEN {0} IS NULL THEN NULL WHEN {0} < -2147483648 OR {0} > 4294967295 THEN CAST(CAST(CAST(('NetIpv4FromInt64 takes an integer from -0x80000000 to 0xFFFFFFFF, not ' || {0}) AS regclass) AS text) AS bytea) ELSE decode(lpad(right(to_hex(CAST({0} AS bigint)), 8), 8, '0'), 'hex') END))t"},
      {"NetIpv4ToInt64", R"t((CASE WHEN {0} IS NULL THEN NULL WHEN length({0}) <> 4 THEN CAST(CAST(CAST(('NetIpv4ToInt64 takes 4 bytes, not ' || length({0})) AS regclass) AS text) AS bigint) ELSE CAST(get_byte({0}, 0) AS bigint) * 16777216 + get_byte({0}, 1) * 65536 + get_byte({0}, 2) * 256 + get_byte({0}, 3) END))t"},
      {"NetIpFromString", R"t((CASE WHEN {0} IS NULL THEN NULL WHEN {0} ~ '^(0|[1-9][0-9]?[0-9]?)[.](0|[1-9][0-9]?[0-9]?)[.](0|[1-9][0-9]?[0-9]?)[.](0|[1-9][0-9]?[0-9]?)$' THEN (CASE WHEN greatest(CAST(split_part({0}, '.', 1) AS integer), CAST(split_part({0}, '.', 2) AS integer), CAST(split_part({0}, '.', 3) AS integer), CAST(split_part({0}, '.', 4) AS integer)) <= 255 THEN decode(lpad(to_hex(CAST(split_part({0}, '.', 1) AS integer)), 2, '0') || lpad(to_hex(CAST(split_part({0}, '.', 2) AS integer)), 2, '0') || lpad(to_hex(CAST(split_part({0}, '.', 3) AS integer)), 2, '0') || lpad(to_hex(CAST(split_part({0}, '.', 4) AS integer)), 2, '0'), 'hex') ELSE CAST(CAST(CAST(('NetIpFromString cannot read ' || {0}) AS regclass) AS text) AS bytea) END) WHEN strpos({0}, ':') > 0 THEN CAST(CAST(CAST(('IPv6 addresses are not available on engine psql: ' || {0}) AS regclass) AS text) AS bytea) ELSE CAST(CAST(CAST(('NetIpFromString cannot read ' || {0}) AS regclass) AS text) AS bytea) END))t"},
      {"NetSafeIpFromString", R"t((CASE WHEN {0} IS NULL THEN NULL WHEN {0} ~ '^(0|[1-9][0-9]?[0-9]?)[.](0|[1-9][0-9]?[0-9]?)[.](0|[1-9][0-9]?[0-9]?)[.](0|[1-9][0-9]?[0-9]?)$' THEN (CASE WHEN greatest(CAST(split_part({0}, '.', 1) AS integer), CAST(split_part({0}, '.', 2) AS integer), CAST(split_part({0}, '.', 3) AS integer), CAST(split_part({0}, '.', 4) AS integer)) <= 255 THEN decode(lpad(to_hex(CAST(split_part({0}, '.', 1) AS integer)), 2, '0') || lpad(to_hex(CAST(split_part({0}, '.', 2) AS integer)), 2, '0') || lpad(to_hex(CAST(split_part({0}, '.', 3) AS integer)), 2, '0') || lpad(to_hex(CAST(split_part({0}, '.', 4) AS integer)), 2, '0'), 'hex') ELSE NULL END) WHEN strpos({0}, ':') > 0 THEN CAST(CAST(CAST(('IPv6 addresses are not available on engine psql: ' || {0}) AS regclass) AS text) AS bytea) ELSE NULL END))t"},
      {"NetIpToString", R"t((CASE WHEN {0} IS NULL THEN NULL WHEN length({0}) = 4 THEN get_byte({0}, 0) || '.' || get_byte({0}, 1) || '.' || get_byte({0}, 2) || '.' || get_byte({0}, 3) WHEN length({0}) = 16 THEN CAST(CAST(CAST(('IPv6 addresses are not available on engine psql: ' || encode({0}, 'hex')) AS regclass) AS text) AS text) ELSE CAST(CAST(CAST(('NetIpToString takes 4 or 16 bytes, not ' || length({0})) AS regclass) AS text) AS text) END))t"},
  };
  // clang-format on
}

TemplateRows sqlite_network_rows() {
  // clang-format off
  return {
      {"NetIpv4FromInt64", R"t((CASE WHEN {0} IS NULL THEN NULL WHEN {0} < -2147483648 OR {0} > 4294967295 THEN MIRTOVA_ERROR('NetIpv4FromInt64 takes an integer from -0x80000000 to 0xFFFFFFFF, not ' || {0}) ELSE unhex(printf('%08x', (CASE WHEN {0} < 0 THEN {0} + 4294967296 ELSE {0} END))) END))t"},
      {"NetIpv4ToInt64", R"t((CASE WHEN {0} IS NULL THEN NULL WHEN length(CAST({0} AS BLOB)) <> 4 THEN MIRTOVA_ERROR('NetIpv4ToInt64 takes 4 bytes, not ' || length(CAST({0} AS BLOB))) ELSE ((instr('0123456789ABCDEF', substr(hex({0}), 1, 1)) - 1) * 16 + (instr('0123456789ABCDEF', substr(hex({0}), 2, 1)) - 1)) * 16777216 + ((instr('0123456789ABCDEF', substr(hex({0}), 3, 1)) - 1) * 16 + (instr('0123456789ABCDEF', substr(hex({0}), 4, 1)) - 1)) * 65536 + ((instr('0123456789ABCDEF', substr(hex({0}), 5, 1)) - 1) * 16 + (instr('0123456789ABCDEF', substr(hex({0}), 6, 1)) - 1)) * 256 + ((instr('0123456789ABCDEF', substr(hex({0}), 7, 1)) - 1) * 16 + (instr('0123456789ABCDEF', substr(hex({0}), 8, 1)) - 1)) * 1 END))t"},
      {"NetIpFromString", R"t((CASE WHEN {0} IS NULL THEN NULL WHEN {0} REGEXP '^(0|[1-9][0-9]?[0-9]?)[.](0|[1-9][0-9]?[0-9]?)[.](0|[1-9][0-9]?[0-9]?)[.](0|[1-9][0-9]?[0-9]?)$' THEN (CASE WHEN max(json_extract('[' || replace({0}, '.', ',') || ']', '$[0]'), json_extract('[' || replace({0}, '.', ',') || ']', '$[1]'), json_extract('[' || replace({0}, '.', ',') || ']', '$[2]'), json_extract('[' || replace({0}, '.', ',') || ']', '$[3]')) <= 255 THEN unhex(printf('%02x%02x%02x%02x', json_extract('[' || replace({0}, '.', ',') || ']', '$[0]'), json_extract('[' || replace({0}, '.', ',') || ']', '$[1]'), json_extract('[' || replace({0}, '.', ',') || ']', '$[2]'), json_extract('[' || replace({0}, '.', ',') || ']', '$[3]'))) ELSE MIRTOVA_ERROR('NetIpFromString cannot read ' || {0}) END) WHEN instr({0}, ':') > 0 THEN MIRTOVA_ERROR('IPv6 addresses are not available on engine sqlite: ' || {0}) ELSE MIRTOVA_ERROR('NetIpFromString cannot read ' || {0}) END))t"},
      {"NetSafeIpFromString", R"t((CASE WHEN {0} IS NULL THEN NULL WHEN {0} REGEXP '^(0|[1-9][0-9]?[0-9]?)[.](0|[1-9][0-9]?[0-9]?)[.](0|[1-9][0-9]?[0-9]?)[.](0|[1-9][0-9]?[0-9]?)$' THEN (CASE WHEN max(json_extract('[' || replace({0}, '.', ',') || ']', '$[0]'), json_extract('[' || replace({0}, '.', ',') || ']', '$[1]'), json_extract('[' || replace({0}, '.', ',') || ']', '$[2]'), json_extract('[' || replace({0}, '.', ',') || ']', '$[3]')) <= 255 THEN unhex(printf('%02x%02x%02x%02x', json_extract('[' || replace({0}, '.', ',') || ']', '$[0]'), json_extract('[' || replace({0}, '.', ',') || ']', '$[1]'), json_extract('[' || replace({0}, '.', ',') || ']', '$[2]'), json_extract('[' || replace({0}, '.', ',') || ']', '$[3]'))) ELSE NULL END) WHEN instr({0}, ':') > 0 THEN MIRTOVA_ERROR('IPv6 addresses are not available on engine sqlite: ' || {0}) ELSE NULL END))t"},
      {"NetIpToString", R"t((CASE WHEN {0} IS NULL THEN NULL WHEN length(CAST({0} AS BLOB)) = 4 THEN ((instr('0123456789ABCDEF', substr(hex({0}), 1, 1)) - 1) * 16 + (instr('0123456789ABCDEF', substr(hex({0}), 2, 1)) - 1)) || '.' || ((instr('0123456789ABCDEF', substr(hex({0}), 3, 1)) - 1) * 16 + (instr('0123456789ABCDEF', substr(hex({0}), 4, 1)) - 1)) || '.' || ((instr('0123456789ABCDEF', substr(hex({0}), 5, 1)) - 1) * 16 + (instr('0123456789ABCDEF', substr(hex({0}), 6, 1)) - 1)) || '.' || ((instr('0123456789ABCDEF', substr(hex({0}), 7, 1)) - 1) * 16 + (instr('0123456789ABCDEF', substr(hex({0}), 8, 1)) - 1)) WHEN length(CAST({0} AS BLOB)) = 16 THEN MIRTOVA_ERROR('IPv6 addresses are not available on engine sqlite: ' || hex({0})) ELSE MIRTOVA_ERROR('NetIpToString takes 4 or 16 bytes, not ' || length(CAST({0} AS BLOB))) END))t"},
  };
  // clang-format on
}

}  // namespace mirtova
