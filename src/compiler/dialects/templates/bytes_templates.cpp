// Byte functions of the catalogue in the own SQL of Databricks, DuckDB, PostgreSQL, SQLite, Trino and
// Presto: hex, base64, base32, digests.
#include "compiler/dialects/templates/engine_rows.h"

namespace mirtova {

TemplateRows databricks_bytes_rows() {
  // clang-format off
  return {
      // Lower case, as BigQuery writes it; a text is read as its UTF-8 bytes.
      {"ToHex", R"t(lower(hex({0})))t"},
      {"FromHex", R"t(unhex({0}))t"},
      // Spark may break its base64 into lines; BigQuery does not.
      {"ToBase64", R"t(replace(replace(base64({0}), chr(13), ''), chr(10), ''))t"},
      {"FromBase64", R"t(unbase64({0}))t"},
      // Spark gives digests as hex text: turned back into bytes, as BigQuery gives them.
      {"Md5", R"t(unhex(md5({0})))t"},
      {"Sha1", R"t(unhex(sha1({0})))t"},
      {"Sha256", R"t(unhex(sha2({0}, 256)))t"},
      {"Sha512", R"t(unhex(sha2({0}, 512)))t"},
      {"CodePointsToBytes", R"t((CASE WHEN exists({0}, mirtova_c -> mirtova_c IS NULL) THEN NULL ELSE unhex(array_join(transform({0}, mirtova_c -> lpad(hex(mirtova_c), 2, '0')), '')) END))t"},
      // Five bits a character, from the bytes' binary digits; '=' up to a multiple of eight.
      {"ToBase32", R"t(transform(array(array_join(transform(split(hex({0}), ''), mirtova_d -> lpad(conv(mirtova_d, 16, 2), 4, '0')), '')), mirtova_b -> transform(array(array_join(transform(filter(sequence(0, (length(mirtova_b) + 4) DIV 5), mirtova_g -> mirtova_g < (length(mirtova_b) + 4) DIV 5), mirtova_g -> substr('ABCDEFGHIJKLMNOPQRSTUVWXYZ234567', CAST(conv(rpad(substr(mirtova_b, 5 * mirtova_g + 1, 5), 5, '0'), 2, 10) AS INT) + 1, 1)), '')), mirtova_c -> mirtova_c || repeat('=', (8 - length(mirtova_c) % 8) % 8))[0])[0])t"},
      // Five bits a character, eight a byte; bits short of a byte are padding.
      {"FromBase32", R"t(transform(array(array_join(transform(split(TRIM(TRAILING '=' FROM {0}), ''), mirtova_d -> lpad(conv(CAST(instr('ABCDEFGHIJKLMNOPQRSTUVWXYZ234567', mirtova_d) - 1 AS STRING), 10, 2), 5, '0')), '')), mirtova_b -> unhex(array_join(transform(filter(sequence(0, length(mirtova_b) DIV 8), mirtova_i -> mirtova_i < length(mirtova_b) DIV 8), mirtova_i -> lpad(conv(substr(mirtova_b, 8 * mirtova_i + 1, 8), 2, 16), 2, '0')), '')))[0])t"},
  };
  // clang-format on
}

TemplateRows duckdb_bytes_rows() {
  // clang-format off
  return {
      // Lower case, as BigQuery writes it.
      {"ToHex", R"t(lower(hex({0})))t"},
      // A text is encoded as its UTF-8 bytes.
      {"ToBase64", R"t(to_base64((CASE WHEN typeof({0}) = 'BLOB' THEN CAST({0} AS BLOB) ELSE encode(CAST({0} AS VARCHAR)) END)))t"},
      // Five bits a character, from the bytes' binary digits; '=' up to a multiple of eight.
      {"ToBase32", R"t((CASE WHEN {0} IS NOT NULL THEN (SELECT mirtova_c || repeat('=', (8 - length(mirtova_c) % 8) % 8) FROM (SELECT array_to_string(list_transform(range(CAST(ceil(length(array_to_string(list_transform(range(length(lower(hex({0})))), mirtova_i -> lpad(bin(CAST('0x' || substr(lower(hex({0})), mirtova_i + 1, 1) AS INTEGER)), 4, '0')), '')) / 5) AS BIGINT)), mirtova_g -> substr('ABCDEFGHIJKLMNOPQRSTUVWXYZ234567', CAST('0b' || rpad(substr(array_to_string(list_transform(range(length(lower(hex({0})))), mirtova_i -> lpad(bin(CAST('0x' || substr(lower(hex({0})), mirtova_i + 1, 1) AS INTEGER)), 4, '0')), ''), 5 * mirtova_g + 1, 5), 5, '0') AS INTEGER) + 1, 1)), '') AS mirtova_c)) END))t"},
      // Five bits a character, eight a byte; bits short of a byte are padding.
      {"FromBase32", R"t((CASE WHEN {0} IS NOT NULL THEN unhex(array_to_string(list_transform(range(length(array_to_string(list_transform(range(length(rtrim({0}, '='))), mirtova_i -> lpad(bin(strpos('ABCDEFGHIJKLMNOPQRSTUVWXYZ234567', substr(rtrim({0}, '='), mirtova_i + 1, 1)) - 1), 5, '0')), '')) // 8), mirtova_i -> printf('%02x', CAST('0b' || substr(array_to_string(list_transform(range(length(rtrim({0}, '='))), mirtova_i -> lpad(bin(strpos('ABCDEFGHIJKLMNOPQRSTUVWXYZ234567', substr(rtrim({0}, '='), mirtova_i + 1, 1)) - 1), 5, '0')), ''), 8 * mirtova_i + 1, 8) AS INTEGER))), '')) END))t"},
      // DuckDB gives the digest as hex text: turned back into bytes, as BigQuery gives it.
      {"Md5", R"t(unhex(md5((CASE WHEN typeof({0}) = 'BLOB' THEN CAST({0} AS BLOB) ELSE encode(CAST({0} AS VARCHAR)) END))))t"},
      {"Sha1", R"t(unhex(sha1((CASE WHEN typeof({0}) = 'BLOB' THEN CAST({0} AS BLOB) ELSE encode(CAST({0} AS VARCHAR)) END))))t"},
      {"Sha256", R"t(unhex(sha256((CASE WHEN typeof({0}) = 'BLOB' THEN CAST({0} AS BLOB) ELSE encode(CAST({0} AS VARCHAR)) END))))t"},
      {"CodePointsToBytes", R"t((CASE WHEN len(list_filter({0}, mirtova_c -> mirtova_c IS NULL)) > 0 THEN NULL ELSE unhex(array_to_string(list_transform({0}, mirtova_c -> printf('%02x', mirtova_c)), '')) END))t"},
  };
  // clang-format on
}

TemplateRows presto_trino_bytes_rows() {
  // clang-format off
  // A text is cast to its UTF-8 bytes; bytes cast to bytes stay as they are.
  return {
      // Lower case, as BigQuery writes it.
      {"ToHex", R"t(lower(to_hex(CAST({0} AS VARBINARY))))t"},
      {"FromHex", R"t(from_hex(CASE WHEN length({0}) % 2 = 1 THEN '0' || {0} ELSE {0} END))t"},
      {"ToBase64", R"t(to_base64(CAST({0} AS VARBINARY)))t"},
      {"ToBase32", R"t(to_base32(CAST({0} AS VARBINARY)))t"},
      {"Md5", R"t(md5(CAST({0} AS VARBINARY)))t"},
      {"Sha1", R"t(sha1(CAST({0} AS VARBINARY)))t"},
      {"Sha256", R"t(sha256(CAST({0} AS VARBINARY)))t"},
      {"Sha512", R"t(sha512(CAST({0} AS VARBINARY)))t"},
      {"CodePointsToBytes", R"t((CASE WHEN cardinality(filter({0}, mirtova_c -> mirtova_c IS NULL)) > 0 THEN NULL ELSE from_hex(array_join(transform({0}, mirtova_c -> lpad(to_base(mirtova_c, 16), 2, '0')), '')) END))t"},
      // Bytes that are no UTF-8 give U+FFFD in their place, as BigQuery does.
      {"SafeConvertBytesToString", R"t(from_utf8(CAST({0} AS VARBINARY)))t"},
  };
  // clang-format on
}

TemplateRows psql_bytes_rows() {
  // clang-format off
  return {
      // A text is read as its UTF-8 bytes, bytes through their hex text (the inner
      // test keeps PostgreSQL from decoding a text literal while planning).
      {"ToHex", R"t(encode((CASE WHEN pg_typeof({0}) = 'bytea'::regtype THEN decode((CASE WHEN pg_typeof({0}) = 'bytea'::regtype THEN substr(CAST({0} AS text), 3) ELSE '' END), 'hex') ELSE convert_to(CAST({0} AS text), 'UTF8') END), 'hex'))t"},
      {"FromHex", R"t(decode(CASE WHEN length({0}) % 2 = 1 THEN '0' || {0} ELSE {0} END, 'hex'))t"},
      // PostgreSQL breaks its base64 into lines; BigQuery does not.
      {"ToBase64", R"t(replace(encode((CASE WHEN pg_typeof({0}) = 'bytea'::regtype THEN decode((CASE WHEN pg_typeof({0}) = 'bytea'::regtype THEN substr(CAST({0} AS text), 3) ELSE '' END), 'hex') ELSE convert_to(CAST({0} AS text), 'UTF8') END), 'base64'), chr(10), ''))t"},
      {"FromBase64", R"t(decode({0}, 'base64'))t"},
      {"Md5", R"t(decode(md5((CASE WHEN pg_typeof({0}) = 'bytea'::regtype THEN decode((CASE WHEN pg_typeof({0}) = 'bytea'::regtype THEN substr(CAST({0} AS text), 3) ELSE '' END), 'hex') ELSE convert_to(CAST({0} AS text), 'UTF8') END)), 'hex'))t"},
      {"Sha256", R"t(sha256((CASE WHEN pg_typeof({0}) = 'bytea'::regtype THEN decode((CASE WHEN pg_typeof({0}) = 'bytea'::regtype THEN substr(CAST({0} AS text), 3) ELSE '' END), 'hex') ELSE convert_to(CAST({0} AS text), 'UTF8') END)))t"},
      {"Sha512", R"t(sha512((CASE WHEN pg_typeof({0}) = 'bytea'::regtype THEN decode((CASE WHEN pg_typeof({0}) = 'bytea'::regtype THEN substr(CAST({0} AS text), 3) ELSE '' END), 'hex') ELSE convert_to(CAST({0} AS text), 'UTF8') END)))t"},
      {"CodePointsToBytes", R"t((SELECT CASE WHEN bool_or(mirtova_c IS NULL) THEN NULL ELSE decode(COALESCE(string_agg(lpad(to_hex(CAST(mirtova_c AS integer)), 2, '0'), '' ORDER BY mirtova_i), ''), 'hex') END FROM UNNEST(CAST({0} AS bigint[])) WITH ORDINALITY AS mirtova_t(mirtova_c, mirtova_i)))t"},
      // Five bits a character, from the bytes as a bit string; '=' up to a multiple of eight.
      {"ToBase32", R"t((CASE WHEN {0} IS NOT NULL THEN (SELECT COALESCE(string_agg(substr('ABCDEFGHIJKLMNOPQRSTUVWXYZ234567', 1 + CAST(CAST(substring(mirtova_t.mirtova_b FROM 5 * mirtova_n + 1 FOR 5) AS bit(5)) AS integer), 1), '' ORDER BY mirtova_n), '') || repeat('=', (8 - CAST(ceil(length(mirtova_t.mirtova_b) / 5.0) AS integer) % 8) % 8) FROM (SELECT CAST(('x' || encode((CASE WHEN pg_typeof({0}) = 'bytea'::regtype THEN decode((CASE WHEN pg_typeof({0}) = 'bytea'::regtype THEN substr(CAST({0} AS text), 3) ELSE '' END), 'hex') ELSE convert_to(CAST({0} AS text), 'UTF8') END), 'hex')) AS bit varying) AS mirtova_b) AS mirtova_t LEFT JOIN generate_series(0, CAST(ceil(length(mirtova_t.mirtova_b) / 5.0) AS integer) - 1) AS mirtova_n ON TRUE GROUP BY mirtova_t.mirtova_b) END))t"},
      // Five bits a character, eight a byte; bits short of a byte are padding.
      {"FromBase32", R"t((SELECT decode(COALESCE(string_agg(lpad(to_hex(CAST(CAST(substr(mirtova_t.mirtova_b, 8 * mirtova_n + 1, 8) AS bit(8)) AS integer)), 2, '0'), '' ORDER BY mirtova_n), ''), 'hex') FROM (SELECT (SELECT COALESCE(string_agg(CAST(CAST(strpos('ABCDEFGHIJKLMNOPQRSTUVWXYZ234567', substr(rtrim({0}, '='), mirtova_n, 1)) - 1 AS bit(5)) AS text), '' ORDER BY mirtova_n), '') FROM generate_series(1, length(rtrim({0}, '='))) AS mirtova_n) AS mirtova_b) AS mirtova_t LEFT JOIN generate_series(0, length(mirtova_t.mirtova_b) / 8 - 1) AS mirtova_n ON TRUE WHERE {0} IS NOT NULL GROUP BY mirtova_t.mirtova_b))t"},
  };
  // clang-format on
}

TemplateRows sqlite_bytes_rows() {
  // clang-format off
  return {
      // SQLite's hex of null is the empty text.
      {"ToHex", R"t((CASE WHEN {0} IS NULL THEN NULL ELSE lower(hex({0})) END))t"},
      // unhex is SQLite's own from 3.41; older hosts register it.
      {"FromHex", R"t(unhex(CASE WHEN length({0}) % 2 = 1 THEN '0' || {0} ELSE {0} END))t"},
      // A host function: SQLite has no digests of its own.
      {"Md5", R"t(MIRTOVA_DIGEST('md5', {0}))t"},
      {"Sha1", R"t(MIRTOVA_DIGEST('sha1', {0}))t"},
      {"Sha256", R"t(MIRTOVA_DIGEST('sha256', {0}))t"},
      {"Sha512", R"t(MIRTOVA_DIGEST('sha512', {0}))t"},
      {"CodePointsToBytes", R"t((SELECT CASE WHEN COUNT(*) > COUNT(value) THEN NULL ELSE unhex(COALESCE(GROUP_CONCAT(printf('%02x', value), ''), '')) END FROM (SELECT value FROM JSON_EACH({0}) ORDER BY key)))t"},
      // The bytes as binary digits (each hex digit replaced by its four), six bits a
      // character; '=' up to a multiple of four.
      {"ToBase64", R"t((CASE WHEN {0} IS NOT NULL THEN (SELECT (WITH RECURSIVE mirtova_r(mirtova_n, mirtova_c) AS (SELECT 0, '' UNION ALL SELECT mirtova_n + 1, mirtova_c || substr('ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/', 1 + ((substr(substr(substr(mirtova_t.mirtova_b, 6 * mirtova_n + 1, 6) || '000000', 1, 6), 1, 1) << 5) + (substr(substr(substr(mirtova_t.mirtova_b, 6 * mirtova_n + 1, 6) || '000000', 1, 6), 2, 1) << 4) + (substr(substr(substr(mirtova_t.mirtova_b, 6 * mirtova_n + 1, 6) || '000000', 1, 6), 3, 1) << 3) + (substr(substr(substr(mirtova_t.mirtova_b, 6 * mirtova_n + 1, 6) || '000000', 1, 6), 4, 1) << 2) + (substr(substr(substr(mirtova_t.mirtova_b, 6 * mirtova_n + 1, 6) || '000000', 1, 6), 5, 1) << 1) + (substr(substr(substr(mirtova_t.mirtova_b, 6 * mirtova_n + 1, 6) || '000000', 1, 6), 6, 1) << 0)), 1) FROM mirtova_r WHERE 6 * mirtova_n < length(mirtova_t.mirtova_b)) SELECT mirtova_c || substr('===', 1, (4 - length(mirtova_c) % 4) % 4) FROM mirtova_r WHERE 6 * mirtova_n >= length(mirtova_t.mirtova_b)) FROM (SELECT replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(hex(CAST({0} AS BLOB)), '0', 'oooo'), '1', 'oooi'), '2', 'ooio'), '3', 'ooii'), '4', 'oioo'), '5', 'oioi'), '6', 'oiio'), '7', 'oiii'), '8', 'iooo'), '9', 'iooi'), 'A', 'ioio'), 'B', 'ioii'), 'C', 'iioo'), 'D', 'iioi'), 'E', 'iiio'), 'F', 'iiii'), 'o', '0'), 'i', '1') AS mirtova_b) AS mirtova_t) END))t"},
      // Six bits a character, eight a byte, made bytes by unhex.
      {"FromBase64", R"t((CASE WHEN {0} IS NULL THEN NULL ELSE (SELECT unhex((WITH RECURSIVE mirtova_r(mirtova_n, mirtova_c) AS (SELECT 0, '' UNION ALL SELECT mirtova_n + 1, mirtova_c || printf('%02x', ((substr(substr(mirtova_u.mirtova_b, 8 * mirtova_n + 1, 8), 1, 1) << 7) + (substr(substr(mirtova_u.mirtova_b, 8 * mirtova_n + 1, 8), 2, 1) << 6) + (substr(substr(mirtova_u.mirtova_b, 8 * mirtova_n + 1, 8), 3, 1) << 5) + (substr(substr(mirtova_u.mirtova_b, 8 * mirtova_n + 1, 8), 4, 1) << 4) + (substr(substr(mirtova_u.mirtova_b, 8 * mirtova_n + 1, 8), 5, 1) << 3) + (substr(substr(mirtova_u.mirtova_b, 8 * mirtova_n + 1, 8), 6, 1) << 2) + (substr(substr(mirtova_u.mirtova_b, 8 * mirtova_n + 1, 8), 7, 1) << 1) + (substr(substr(mirtova_u.mirtova_b, 8 * mirtova_n + 1, 8), 8, 1) << 0))) FROM mirtova_r WHERE 8 * (mirtova_n + 1) <= length(mirtova_u.mirtova_b)) SELECT mirtova_c FROM mirtova_r WHERE 8 * (mirtova_n + 1) > length(mirtova_u.mirtova_b))) FROM (SELECT (WITH RECURSIVE mirtova_r(mirtova_n, mirtova_c) AS (SELECT 0, '' UNION ALL SELECT mirtova_n + 1, mirtova_c || ((((instr('ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/', substr(mirtova_t.mirtova_s, mirtova_n + 1, 1)) - 1) >> 5) & 1) || (((instr('ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/', substr(mirtova_t.mirtova_s, mirtova_n + 1, 1)) - 1) >> 4) & 1) || (((instr('ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/', substr(mirtova_t.mirtova_s, mirtova_n + 1, 1)) - 1) >> 3) & 1) || (((instr('ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/', substr(mirtova_t.mirtova_s, mirtova_n + 1, 1)) - 1) >> 2) & 1) || (((instr('ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/', substr(mirtova_t.mirtova_s, mirtova_n + 1, 1)) - 1) >> 1) & 1) || (((instr('ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/', substr(mirtova_t.mirtova_s, mirtova_n + 1, 1)) - 1) >> 0) & 1)) FROM mirtova_r WHERE mirtova_n < length(mirtova_t.mirtova_s)) SELECT mirtova_c FROM mirtova_r WHERE mirtova_n = length(mirtova_t.mirtova_s)) AS mirtova_b FROM (SELECT rtrim({0}, '=') AS mirtova_s) AS mirtova_t) AS mirtova_u) END))t"},
      {"ToBase32", R"t((CASE WHEN {0} IS NOT NULL THEN (SELECT (WITH RECURSIVE mirtova_r(mirtova_n, mirtova_c) AS (SELECT 0, '' UNION ALL SELECT mirtova_n + 1, mirtova_c || substr('ABCDEFGHIJKLMNOPQRSTUVWXYZ234567', 1 + ((substr(substr(substr(mirtova_t.mirtova_b, 5 * mirtova_n + 1, 5) || '00000', 1, 5), 1, 1) << 4) + (substr(substr(substr(mirtova_t.mirtova_b, 5 * mirtova_n + 1, 5) || '00000', 1, 5), 2, 1) << 3) + (substr(substr(substr(mirtova_t.mirtova_b, 5 * mirtova_n + 1, 5) || '00000', 1, 5), 3, 1) << 2) + (substr(substr(substr(mirtova_t.mirtova_b, 5 * mirtova_n + 1, 5) || '00000', 1, 5), 4, 1) << 1) + (substr(substr(substr(mirtova_t.mirtova_b, 5 * mirtova_n + 1, 5) || '00000', 1, 5), 5, 1) << 0)), 1) FROM mirtova_r WHERE 5 * mirtova_n < length(mirtova_t.mirtova_b)) SELECT mirtova_c || substr('=======', 1, (8 - length(mirtova_c) % 8) % 8) FROM mirtova_r WHERE 5 * mirtova_n >= length(mirtova_t.mirtova_b)) FROM (SELECT replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(replace(hex(CAST({0} AS BLOB)), '0', 'oooo'), '1', 'oooi'), '2', 'ooio'), '3', 'ooii'), '4', 'oioo'), '5', 'oioi'), '6', 'oiio'), '7', 'oiii'), '8', 'iooo'), '9', 'iooi'), 'A', 'ioio'), 'B', 'ioii'), 'C', 'iioo'), 'D', 'iioi'), 'E', 'iiio'), 'F', 'iiii'), 'o', '0'), 'i', '1') AS mirtova_b) AS mirtova_t) END))t"},
      {"FromBase32", R"t((CASE WHEN {0} IS NULL THEN NULL ELSE (SELECT unhex((WITH RECURSIVE mirtova_r(mirtova_n, mirtova_c) AS (SELECT 0, '' UNION ALL SELECT mirtova_n + 1, mirtova_c || printf('%02x', ((substr(substr(mirtova_u.mirtova_b, 8 * mirtova_n + 1, 8), 1, 1) << 7) + (substr(substr(mirtova_u.mirtova_b, 8 * mirtova_n + 1, 8), 2, 1) << 6) + (substr(substr(mirtova_u.mirtova_b, 8 * mirtova_n + 1, 8), 3, 1) << 5) + (substr(substr(mirtova_u.mirtova_b, 8 * mirtova_n + 1, 8), 4, 1) << 4) + (substr(substr(mirtova_u.mirtova_b, 8 * mirtova_n + 1, 8), 5, 1) << 3) + (substr(substr(mirtova_u.mirtova_b, 8 * mirtova_n + 1, 8), 6, 1) << 2) + (substr(substr(mirtova_u.mirtova_b, 8 * mirtova_n + 1, 8), 7, 1) << 1) + (substr(substr(mirtova_u.mirtova_b, 8 * mirtova_n + 1, 8), 8, 1) << 0))) FROM mirtova_r WHERE 8 * (mirtova_n + 1) <= length(mirtova_u.mirtova_b)) SELECT mirtova_c FROM mirtova_r WHERE 8 * (mirtova_n + 1) > length(mirtova_u.mirtova_b))) FROM (SELECT (WITH RECURSIVE mirtova_r(mirtova_n, mirtova_c) AS (SELECT 0, '' UNION ALL SELECT mirtova_n + 1, mirtova_c || ((((instr('ABCDEFGHIJKLMNOPQRSTUVWXYZ234567', substr(mirtova_t.mirtova_s, mirtova_n + 1, 1)) - 1) >> 4) & 1) || (((instr('ABCDEFGHIJKLMNOPQRSTUVWXYZ234567', substr(mirtova_t.mirtova_s, mirtova_n + 1, 1)) - 1) >> 3) & 1) || (((instr('ABCDEFGHIJKLMNOPQRSTUVWXYZ234567', substr(mirtova_t.mirtova_s, mirtova_n + 1, 1)) - 1) >> 2) & 1) || (((instr('ABCDEFGHIJKLMNOPQRSTUVWXYZ234567', substr(mirtova_t.mirtova_s, mirtova_n + 1, 1)) - 1) >> 1) & 1) || (((instr('ABCDEFGHIJKLMNOPQRSTUVWXYZ234567', substr(mirtova_t.mirtova_s, mirtova_n + 1, 1)) - 1) >> 0) & 1)) FROM mirtova_r WHERE mirtova_n < length(mirtova_t.mirtova_s)) SELECT mirtova_c FROM mirtova_r WHERE mirtova_n = length(mirtova_t.mirtova_s)) AS mirtova_b FROM (SELECT rtrim({0}, '=') AS mirtova_s) AS mirtova_t) AS mirtova_u) END))t"},
  };
  // clang-format on
}

}  // namespace mirtova
