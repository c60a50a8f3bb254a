// Text functions of the catalogue in the own SQL of Databricks, DuckDB, PostgreSQL, SQLite, Trino and Presto.
#include <iterator>

#include "compiler/dialects/templates/engine_rows.h"

namespace mirtova {
namespace {

// Trimming without a set of characters strips white space: the engine's own
// one-argument forms strip blanks alone, so the other white space is named.
constexpr TemplateRow kWhiteSpaceTrims[] = {
    {"Trim/1", "TRIM({0}, ' \t\n\v\f\r')"},
    {"Ltrim/1", "LTRIM({0}, ' \t\n\v\f\r')"},
    {"Rtrim/1", "RTRIM({0}, ' \t\n\v\f\r')"},
};

// Spark names the set in its own syntax; its function forms of two arguments
// would take them in the other order.
constexpr TemplateRow kSparkTrims[] = {
    {"Trim/1", "TRIM(BOTH ' \t\n\v\f\r' FROM {0})"},
    {"Ltrim/1", "TRIM(LEADING ' \t\n\v\f\r' FROM {0})"},
    {"Rtrim/1", "TRIM(TRAILING ' \t\n\v\f\r' FROM {0})"},
    {"Trim/2", "TRIM(BOTH {1} FROM {0})"},
    {"Ltrim/2", "TRIM(LEADING {1} FROM {0})"},
    {"Rtrim/2", "TRIM(TRAILING {1} FROM {0})"},
};

TemplateRows with_white_space_trims(TemplateRows rows) {
  rows.insert(rows.end(), std::begin(kWhiteSpaceTrims), std::end(kWhiteSpaceTrims));
  return rows;
}

}  // namespace

TemplateRows databricks_text_rows() {
  // clang-format off
  TemplateRows rows = {
      // The arguments are the fields of one struct, bound by a lambda, so that
      // nested calls do not write them over and over. SUBSTR takes a position
      // and a length of 32 bits: past the text, either is cut to it.
      {"Substr", R"t(transform(array(named_struct('t', {0}, 'p', {1}, 'n', {2})), mirtova_s -> SUBSTR(mirtova_s.t, (CASE WHEN mirtova_s.p > LENGTH(mirtova_s.t) THEN LENGTH(mirtova_s.t) + 1 WHEN mirtova_s.p > 0 THEN mirtova_s.p WHEN mirtova_s.p = 0 OR LENGTH(mirtova_s.t) + mirtova_s.p < 0 THEN 1 ELSE LENGTH(mirtova_s.t) + mirtova_s.p + 1 END), (CASE WHEN mirtova_s.n > LENGTH(mirtova_s.t) THEN LENGTH(mirtova_s.t) ELSE mirtova_s.n END)))[0])t"},
      // A position written as a positive number is read alike by every SUBSTR.
      {"Substr@from_start", R"t(transform(array(named_struct('t', {0}, 'n', {2})), mirtova_s -> SUBSTR(mirtova_s.t, (CASE WHEN {1} > LENGTH(mirtova_s.t) THEN LENGTH(mirtova_s.t) + 1 ELSE {1} END), (CASE WHEN mirtova_s.n > LENGTH(mirtova_s.t) THEN LENGTH(mirtova_s.t) ELSE mirtova_s.n END)))[0])t"},
      {"ByteLength", R"t(octet_length({0}))t"},
      // Bytes give their values, a text its code points (four bytes each in UTF-32).
      {"ToCodePoints", R"t((CASE WHEN {0} IS NULL THEN NULL WHEN typeof({0}) = 'binary' THEN transform(array(hex(CAST({0} AS BINARY))), mirtova_h -> transform(filter(sequence(0, length(mirtova_h) DIV 2), mirtova_i -> mirtova_i < length(mirtova_h) DIV 2), mirtova_i -> CAST(conv(substr(mirtova_h, 2 * mirtova_i + 1, 2), 16, 10) AS BIGINT)))[0] ELSE transform(array(hex(encode(CAST({0} AS STRING), 'UTF-32'))), mirtova_h -> transform(filter(sequence(0, length(mirtova_h) DIV 8), mirtova_i -> mirtova_i < length(mirtova_h) DIV 8), mirtova_i -> CAST(conv(substr(mirtova_h, 8 * mirtova_i + 1, 8), 16, 10) AS BIGINT)))[0] END))t"},
      {"CodePointsToString", R"t((CASE WHEN exists({0}, mirtova_c -> mirtova_c IS NULL) THEN NULL ELSE decode(unhex(array_join(transform({0}, mirtova_c -> lpad(hex(mirtova_c), 8, '0')), '')), 'UTF-32') END))t"},
      {"RegexpMatch", R"t(({0} RLIKE {1}))t"},
      // The first group of each match when the pattern has one (an opening
      // parenthesis outside escapes and classes, not of "(?"), else the match:
      // Spark fails when asked for a group the pattern lacks, so the pattern asked
      // for group 1 always gets an empty group at its end.
      {"RegexpExtractAll", R"t((CASE WHEN size(regexp_extract_all(regexp_replace({1}, '\\\\.|\\[(?:\\\\.|[^\\]])*\\]', ''), '\\((?!\\?)', 0)) > 0 THEN regexp_extract_all({0}, '(?:' || {1} || ')()', 1) ELSE regexp_extract_all({0}, {1}, 0) END))t"},
      {"GenerateUuid", R"t(uuid())t"},
      // raise_error fails on a missing message too.
      {"Error", R"t((CASE WHEN {0} IS NULL THEN NULL ELSE raise_error({0}) END))t"},
  };
  // clang-format on
  rows.insert(rows.end(), std::begin(kSparkTrims), std::end(kSparkTrims));
  return rows;
}

TemplateRows duckdb_text_rows() {
  // clang-format off
  return with_white_space_trims({
      // A position written as a positive number is read alike by every SUBSTR.
      // A negative length takes no characters: this SUBSTR would count it back
      // from the position. Past the text, a position or length is cut to it, as
      // SUBSTR refuses one beyond 32 bits.
      // The arguments are the fields of one record, bound by a lambda.
      {"Substr", R"t(list_transform([{'t': {0}, 'p': {1}, 'n': {2}}], mirtova_s -> SUBSTR(mirtova_s.t, (CASE WHEN mirtova_s.p > LENGTH(mirtova_s.t) THEN LENGTH(mirtova_s.t) + 1 WHEN mirtova_s.p > 0 THEN mirtova_s.p WHEN mirtova_s.p = 0 OR LENGTH(mirtova_s.t) + mirtova_s.p < 0 THEN 1 ELSE LENGTH(mirtova_s.t) + mirtova_s.p + 1 END), (CASE WHEN mirtova_s.n < 0 THEN 0 WHEN mirtova_s.n > LENGTH(mirtova_s.t) THEN LENGTH(mirtova_s.t) ELSE mirtova_s.n END)))[1])t"},
      {"Substr@from_start", R"t(list_transform([{'t': {0}, 'n': {2}}], mirtova_s -> SUBSTR(mirtova_s.t, LEAST({1}, LENGTH(mirtova_s.t) + 1), (CASE WHEN mirtova_s.n < 0 THEN 0 WHEN mirtova_s.n > LENGTH(mirtova_s.t) THEN LENGTH(mirtova_s.t) ELSE mirtova_s.n END)))[1])t"},
      // A text counts the bytes of its UTF-8, bytes count themselves.
      {"ByteLength", R"t(octet_length((CASE WHEN typeof({0}) = 'BLOB' THEN CAST({0} AS BLOB) ELSE encode(CAST({0} AS VARCHAR)) END)))t"},
      // Bytes give their values, a text its code points.
      {"ToCodePoints", R"t((CASE WHEN typeof({0}) = 'BLOB' THEN list_transform(range(octet_length(CAST({0} AS BLOB))), mirtova_i -> CAST('0x' || substr(hex(CAST({0} AS BLOB)), 2 * mirtova_i + 1, 2) AS INTEGER)) ELSE list_transform(range(length(CAST({0} AS VARCHAR))), mirtova_i -> unicode(substr(CAST({0} AS VARCHAR), mirtova_i + 1, 1))) END))t"},
      {"CodePointsToString", R"t((CASE WHEN len(list_filter({0}, mirtova_c -> mirtova_c IS NULL)) > 0 THEN NULL ELSE array_to_string(list_transform({0}, mirtova_c -> chr(CAST(mirtova_c AS INTEGER))), '') END))t"},
      {"RegexpMatch", R"t(regexp_matches({0}, {1}))t"},
      // DuckDB cuts the empty text into no pieces when the delimiter is empty
      // too, and takes a missing delimiter for none.
      {"Split", R"t((CASE WHEN {1} IS NULL THEN NULL WHEN {0} = '' THEN [''] ELSE string_split({0}, {1}) END))t"},
      // The first group of each match when the pattern has one (asking for a
      // group the pattern lacks fails, and try makes that NULL), else the match.
      {"RegexpExtractAll", R"t(COALESCE(try(regexp_extract_all({0}, {1}, 1)), regexp_extract_all({0}, {1})))t"},
      // NFC, the default form, is the one DuckDB knows.
      {"Normalize", R"t(nfc_normalize({0}))t"},
      {"GenerateUuid", R"t(CAST(uuid() AS VARCHAR))t"},
      {"Error", R"t(error({0}))t"},
  });
  // clang-format on
}

TemplateRows presto_trino_text_rows() {
  // clang-format off
  // A text is cast to its UTF-8 bytes; bytes cast to bytes stay as they are.
  return {
      // The arguments are the fields of one ROW, bound by a lambda, so that
      // nested calls do not write them over and over.
      {"Substr", R"t(element_at(transform(ARRAY[ROW({0}, {1}, {2})], mirtova_s -> SUBSTR(mirtova_s[1], (CASE WHEN mirtova_s[2] > 0 THEN mirtova_s[2] WHEN mirtova_s[2] = 0 OR LENGTH(mirtova_s[1]) + mirtova_s[2] < 0 THEN 1 ELSE LENGTH(mirtova_s[1]) + mirtova_s[2] + 1 END), mirtova_s[3])), 1))t"},
      // A position written as a positive number is read alike by every SUBSTR.
      {"Substr@from_start", R"t(SUBSTR({0}, {1}, {2}))t"},
      // An empty text to replace leaves the text as it is; REPLACE would put the
      // replacement between every two characters.
      {"Replace", R"t((CASE WHEN {1} = '' AND {2} IS NOT NULL THEN {0} ELSE REPLACE({0}, {1}, {2}) END))t"},
      {"ByteLength", R"t(length(CAST({0} AS VARBINARY)))t"},
      {"CharLength", R"t(length({0}))t"},
      // Bytes give their values, a text its code points; each arm reads the
      // value as the type it tests for, so both arms take either type.
      {"ToCodePoints", R"t((CASE WHEN typeof({0}) = 'varbinary' THEN transform(regexp_extract_all(to_hex(CAST({0} AS VARBINARY)), '..'), mirtova_h -> from_base(mirtova_h, 16)) ELSE transform(regexp_extract_all(from_utf8(CAST({0} AS VARBINARY)), '(?s).'), mirtova_c -> CAST(codepoint(CAST(mirtova_c AS VARCHAR(1))) AS BIGINT)) END))t"},
      {"CodePointsToString", R"t((CASE WHEN cardinality(filter({0}, mirtova_c -> mirtova_c IS NULL)) > 0 THEN NULL ELSE array_join(transform({0}, mirtova_c -> chr(mirtova_c)), '') END))t"},
      {"RegexpMatch", R"t(regexp_like({0}, {1}))t"},
      // The first group of each match when the pattern has one (asking for a
      // group the pattern lacks fails, and try makes that NULL), else the match.
      {"RegexpExtractAll", R"t(COALESCE(try(regexp_extract_all({0}, {1}, 1)), regexp_extract_all({0}, {1})))t"},
      {"Normalize", R"t(normalize({0}))t"},
      // The form is a text here, a keyword to the engine.
      {"Normalize/2", R"t((CASE upper({1}) WHEN 'NFC' THEN normalize({0}, NFC) WHEN 'NFD' THEN normalize({0}, NFD) WHEN 'NFKC' THEN normalize({0}, NFKC) WHEN 'NFKD' THEN normalize({0}, NFKD) END))t"},
      {"GenerateUuid", R"t(CAST(uuid() AS VARCHAR))t"},
      {"Error", R"t(fail({0}))t"},
      {"SessionUser", R"t(current_user)t"},
  };
  // clang-format on
}

TemplateRows psql_text_rows() {
  // clang-format off
  return with_white_space_trims({
      {"ByteLength", R"t(octet_length({0}))t"},
      // Bytes give their values, a text its code points.
      {"ToCodePoints", R"t((CASE WHEN {0} IS NULL THEN NULL WHEN pg_typeof({0}) = 'bytea'::regtype THEN (SELECT COALESCE(ARRAY_AGG(get_byte(mirtova_b, mirtova_i) ORDER BY mirtova_i), '{}') FROM (SELECT (CASE WHEN pg_typeof({0}) = 'bytea'::regtype THEN decode((CASE WHEN pg_typeof({0}) = 'bytea'::regtype THEN substr(CAST({0} AS text), 3) ELSE '' END), 'hex') ELSE convert_to(CAST({0} AS text), 'UTF8') END) AS mirtova_b) AS mirtova_t, generate_series(0, octet_length(mirtova_b) - 1) AS mirtova_i) ELSE (SELECT COALESCE(ARRAY_AGG(ascii(substr(CAST({0} AS text), mirtova_i, 1)) ORDER BY mirtova_i), '{}') FROM generate_series(1, length(CAST({0} AS text))) AS mirtova_i) END))t"},
      // A missing list has no elements, which would make the empty text.
      {"CodePointsToString", R"t((SELECT CASE WHEN {0} IS NULL OR bool_or(mirtova_c IS NULL) THEN NULL ELSE COALESCE(string_agg(chr(CAST(mirtova_c AS integer)), '' ORDER BY mirtova_i), '') END FROM UNNEST(CAST({0} AS bigint[])) WITH ORDINALITY AS mirtova_t(mirtova_c, mirtova_i)))t"},
      {"RegexpMatch", R"t(({0} ~ {1}))t"},
      // The first group of each match when the pattern has one, else the match.
      // No text or no pattern matches nothing, which is not the empty list.
      {"RegexpExtractAll", R"t((CASE WHEN {0} IS NULL OR {1} IS NULL THEN NULL ELSE (SELECT COALESCE(ARRAY_AGG(mirtova_m[1] ORDER BY mirtova_i), '{}') FROM regexp_matches({0}, {1}, 'g') WITH ORDINALITY AS mirtova_t(mirtova_m, mirtova_i)) END))t"},
      {"GenerateUuid", R"t(CAST(gen_random_uuid() AS text))t"},
      {"SessionUser", R"t(CAST(SESSION_USER AS text))t"},
      {"Normalize", R"t(normalize({0}))t"},
      // The form is a text here, a keyword to PostgreSQL.
      {"Normalize/2", R"t((CASE upper({1}) WHEN 'NFC' THEN normalize({0}, NFC) WHEN 'NFD' THEN normalize({0}, NFD) WHEN 'NFKC' THEN normalize({0}, NFKC) WHEN 'NFKD' THEN normalize({0}, NFKD) END))t"},
  });
  // clang-format on
}

TemplateRows sqlite_text_rows() {
  // clang-format off
  return with_white_space_trims({
      // A position written as a positive number is read alike by every SUBSTR.
      // A negative length takes no characters: this SUBSTR would count it back
      // from the position.
      // SUBSTR keeps the low 32 bits of a position or a length: past the text,
      // either is cut to it. MIN and MAX of several values are null where one is.
      {"Substr", R"t(SUBSTR({0}, (CASE WHEN {1} > LENGTH({0}) THEN LENGTH({0}) + 1 WHEN {1} > 0 THEN {1} WHEN {1} = 0 OR LENGTH({0}) + {1} < 0 THEN 1 ELSE LENGTH({0}) + {1} + 1 END), MIN(MAX({2}, 0), LENGTH({0}))))t"},
      // Cut to the longest text the engine holds rather than to the text's own
      // length, the text is written once: nested, it would need a sub-query a
      // level, which the parser's stack cannot hold deep.
      {"Substr@from_start", R"t(SUBSTR({0}, MIN({1}, 2147483647), MIN(MAX({2}, 0), 2147483647)))t"},
      {"ByteLength", R"t(length(CAST({0} AS BLOB)))t"},
      {"CharLength", R"t(length({0}))t"},
      // Bytes give their values, a text its code points.
      {"ToCodePoints", R"t((CASE WHEN {0} IS NULL THEN NULL WHEN typeof({0}) = 'blob' THEN (WITH RECURSIVE mirtova_r(mirtova_n) AS (SELECT 1 UNION ALL SELECT mirtova_n + 1 FROM mirtova_r WHERE mirtova_n < length({0})) SELECT json_group_array((instr('0123456789ABCDEF', substr(hex(substr({0}, mirtova_n, 1)), 1, 1)) - 1) * 16 + instr('0123456789ABCDEF', substr(hex(substr({0}, mirtova_n, 1)), 2, 1)) - 1) FROM mirtova_r WHERE mirtova_n <= length({0})) ELSE (WITH RECURSIVE mirtova_r(mirtova_n) AS (SELECT 1 UNION ALL SELECT mirtova_n + 1 FROM mirtova_r WHERE mirtova_n < length({0})) SELECT json_group_array(unicode(substr({0}, mirtova_n, 1))) FROM mirtova_r WHERE mirtova_n <= length({0})) END))t"},
      // A missing list has no elements, which would make the empty text.
      {"CodePointsToString", R"t((SELECT CASE WHEN {0} IS NULL OR COUNT(*) > COUNT(value) THEN NULL ELSE COALESCE(GROUP_CONCAT(char(value), ''), '') END FROM (SELECT value FROM JSON_EACH({0}) ORDER BY key)))t"},
      {"RegexpMatch", R"t((CASE WHEN {0} IS NULL OR {1} IS NULL THEN NULL ELSE {0} REGEXP {1} END))t"},
      // REPLACE gives the text back for an empty text to replace before it
      // reads the replacement, which may be missing.
      {"Replace", R"t((CASE WHEN {2} IS NULL THEN NULL ELSE REPLACE({0}, {1}, {2}) END))t"},
      // Host functions: SQLite has no regular expressions or Unicode tables of its own.
      {"RegexpExtractAll", R"t(JSON(MIRTOVA_REGEXP_EXTRACT_ALL({0}, {1})))t"},
      {"Normalize", R"t(MIRTOVA_NORMALIZE({0}, 'NFC', 0))t"},
      {"NormalizeAndCasefold", R"t(MIRTOVA_NORMALIZE({0}, 'NFC', 1))t"},
      // A version 4 UUID; every piece is drawn anew, so no row shares another's.
      {"GenerateUuid", R"t((lower(hex(randomblob(4))) || '-' || lower(hex(randomblob(2))) || '-4' || substr(lower(hex(randomblob(2))), 2) || '-' || substr('89ab', 1 + (abs(random()) % 4), 1) || substr(lower(hex(randomblob(2))), 2) || '-' || lower(hex(randomblob(6)))))t"},
      // Fails the statement with the message: a host function, SQLite raises only in triggers.
      // A missing message, as on the other engines, makes no failure.
      {"Error", R"t((CASE WHEN {0} IS NULL THEN NULL ELSE MIRTOVA_ERROR({0}) END))t"},
      {"Normalize/2", R"t(MIRTOVA_NORMALIZE({0}, upper({1}), 0))t"},
      {"NormalizeAndCasefold/2", R"t(MIRTOVA_NORMALIZE({0}, upper({1}), 1))t"},
  });
  // clang-format on
}

}  // namespace mirtova
