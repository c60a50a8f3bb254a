// BigQuery's own function and operator templates, over the shared base rows.
#include <string>
#include <utility>
#include <vector>

#include "compiler/dialects/templates/engine_rows.h"

namespace mirtova {
namespace {

// The functions BigQuery takes under their own names, with the numbers of
// arguments its function reference documents: the language's name, the SQL
// name, the least and the most ("n" for any number). A call with another
// number is refused rather than left for BigQuery to reject.
constexpr std::string_view kCounted = R"t(
Abs ABS 1 1
Acos ACOS 1 1
Acosh ACOSH 1 1
AeadDecryptBytes AEAD.DECRYPT_BYTES 3 3
AeadDecryptString AEAD.DECRYPT_STRING 3 3
AeadEncrypt AEAD.ENCRYPT 3 3
AnyValue ANY_VALUE 1 1
ApproxCountDistinct APPROX_COUNT_DISTINCT 1 1
ApproxQuantiles APPROX_QUANTILES 2 2
ApproxTopCount APPROX_TOP_COUNT 2 2
ApproxTopSum APPROX_TOP_SUM 3 3
ArrayAgg ARRAY_AGG 1 1
ArrayConcatAgg ARRAY_CONCAT_AGG 1 1
ArrayLength ARRAY_LENGTH 1 1
ArrayReverse ARRAY_REVERSE 1 1
ArrayToString ARRAY_TO_STRING 2 3
Asin ASIN 1 1
Asinh ASINH 1 1
Atan ATAN 1 1
Atan2 ATAN2 2 2
Atanh ATANH 1 1
Avg AVG 1 1
BitAnd BIT_AND 1 1
BitCount BIT_COUNT 1 1
BitOr BIT_OR 1 1
BitXor BIT_XOR 1 1
ByteLength BYTE_LENGTH 1 1
Ceil CEIL 1 1
Ceiling CEIL 1 1
CharLength CHAR_LENGTH 1 1
Coalesce COALESCE 1 n
CodePointsToBytes CODE_POINTS_TO_BYTES 1 1
CodePointsToString CODE_POINTS_TO_STRING 1 1
Corr CORR 2 2
Cos COS 1 1
Cosh COSH 1 1
Countif COUNTIF 1 1
CovarPop COVAR_POP 2 2
CovarSamp COVAR_SAMP 2 2
CurrentDate CURRENT_DATE 0 1
CurrentDatetime CURRENT_DATETIME 0 1
CurrentTime CURRENT_TIME 0 1
CurrentTimestamp CURRENT_TIMESTAMP 0 0
DateFromUnixDate DATE_FROM_UNIX_DATE 1 1
Error ERROR 1 1
Exp EXP 1 1
FarmFingerprint FARM_FINGERPRINT 1 1
Floor FLOOR 1 1
Format FORMAT 1 n
FromBase32 FROM_BASE32 1 1
FromBase64 FROM_BASE64 1 1
FromHex FROM_HEX 1 1
GenerateArray GENERATE_ARRAY 2 3
GenerateUuid GENERATE_UUID 0 0
Greatest GREATEST 1 n
HllCountExtract HLL_COUNT.EXTRACT 1 1
HllCountInit HLL_COUNT.INIT 1 2
HllCountMerge HLL_COUNT.MERGE 1 1
HllCountMergePartial HLL_COUNT.MERGE_PARTIAL 1 1
IeeeDivide IEEE_DIVIDE 2 2
IsInf IS_INF 1 1
IsNan IS_NAN 1 1
JsonExtract JSON_EXTRACT 2 2
JsonExtractScalar JSON_EXTRACT_SCALAR 1 2
JsonQuery JSON_QUERY 2 2
JsonValue JSON_VALUE 1 2
KeysAddKeyFromRawBytes KEYS.ADD_KEY_FROM_RAW_BYTES 3 3
KeysKeysetFromJson KEYS.KEYSET_FROM_JSON 1 1
KeysKeysetLength KEYS.KEYSET_LENGTH 1 1
KeysKeysetToJson KEYS.KEYSET_TO_JSON 1 1
KeysNewKeyset KEYS.NEW_KEYSET 1 1
KeysRotateKeyset KEYS.ROTATE_KEYSET 2 2
Least LEAST 1 n
Length LENGTH 1 1
Ln LN 1 1
Log LOG 1 2
Log10 LOG10 1 1
LogicalAnd LOGICAL_AND 1 1
LogicalOr LOGICAL_OR 1 1
Lower LOWER 1 1
Ltrim LTRIM 1 2
Max MAX 1 1
Md5 MD5 1 1
Min MIN 1 1
Mod MOD 2 2
NetHost NET.HOST 1 1
NetIpFromString NET.IP_FROM_STRING 1 1
NetIpNetMask NET.IP_NET_MASK 2 2
NetIpToString NET.IP_TO_STRING 1 1
NetIpTrunc NET.IP_TRUNC 2 2
NetIpv4FromInt64 NET.IPV4_FROM_INT64 1 1
NetIpv4ToInt64 NET.IPV4_TO_INT64 1 1
NetPublicSuffix NET.PUBLIC_SUFFIX 1 1
NetRegDomain NET.REG_DOMAIN 1 1
NetSafeIpFromString NET.SAFE_IP_FROM_STRING 1 1
Nullif NULLIF 2 2
ParseDate PARSE_DATE 2 2
ParseDatetime PARSE_DATETIME 2 2
ParseTime PARSE_TIME 2 2
Rand RAND 0 0
RangeBucket RANGE_BUCKET 2 2
RegexpExtractAll REGEXP_EXTRACT_ALL 2 2
Reverse REVERSE 1 1
Round ROUND 1 3
Rtrim RTRIM 1 2
SafeAdd SAFE_ADD 2 2
SafeDivide SAFE_DIVIDE 2 2
SafeMultiply SAFE_MULTIPLY 2 2
SafeNegate SAFE_NEGATE 1 1
SafeSubtract SAFE_SUBTRACT 2 2
SessionUser SESSION_USER 0 0
Sha1 SHA1 1 1
Sha256 SHA256 1 1
Sha512 SHA512 1 1
Sign SIGN 1 1
Sin SIN 1 1
Sinh SINH 1 1
Sqrt SQRT 1 1
StArea ST_AREA 1 2
StAsbinary ST_ASBINARY 1 1
StAsgeojson ST_ASGEOJSON 1 1
StAstext ST_ASTEXT 1 1
StBoundary ST_BOUNDARY 1 1
StBuffer ST_BUFFER 2 2
StCentroid ST_CENTROID 1 1
StCentroidAgg ST_CENTROID_AGG 1 1
StClosestpoint ST_CLOSESTPOINT 2 3
StContains ST_CONTAINS 2 2
StCoveredby ST_COVEREDBY 2 2
StCovers ST_COVERS 2 2
StDifference ST_DIFFERENCE 2 2
StDimension ST_DIMENSION 1 1
StDisjoint ST_DISJOINT 2 2
StDistance ST_DISTANCE 2 3
StDwithin ST_DWITHIN 3 4
StEquals ST_EQUALS 2 2
StGeogfromgeojson ST_GEOGFROMGEOJSON 1 1
StGeogfromtext ST_GEOGFROMTEXT 1 1
StGeogfromwkb ST_GEOGFROMWKB 1 1
StGeogpoint ST_GEOGPOINT 2 2
StGeogpointfromgeohash ST_GEOGPOINTFROMGEOHASH 1 1
StGeohash ST_GEOHASH 1 2
StIntersection ST_INTERSECTION 2 2
StIntersects ST_INTERSECTS 2 2
StIntersectsbox ST_INTERSECTSBOX 5 5
StIscollection ST_ISCOLLECTION 1 1
StIsempty ST_ISEMPTY 1 1
StLength ST_LENGTH 1 2
StMakeline ST_MAKELINE 1 2
StMakepolygon ST_MAKEPOLYGON 1 2
StMakepolygonoriented ST_MAKEPOLYGONORIENTED 1 1
StMaxdistance ST_MAXDISTANCE 2 3
StNumpoints ST_NUMPOINTS 1 1
StPerimeter ST_PERIMETER 1 2
StSimplify ST_SIMPLIFY 2 2
StSnaptogrid ST_SNAPTOGRID 2 2
StTouches ST_TOUCHES 2 2
StUnion ST_UNION 1 2
StUnionAgg ST_UNION_AGG 1 1
StWithin ST_WITHIN 2 2
StX ST_X 1 1
StY ST_Y 1 1
StddevPop STDDEV_POP 1 1
StddevSamp STDDEV_SAMP 1 1
Sum SUM 1 1
Tan TAN 1 1
Tanh TANH 1 1
Timestamp TIMESTAMP 1 2
TimestampMicros TIMESTAMP_MICROS 1 1
TimestampMillis TIMESTAMP_MILLIS 1 1
TimestampSeconds TIMESTAMP_SECONDS 1 1
ToCodePoints TO_CODE_POINTS 1 1
ToJsonString TO_JSON_STRING 1 2
Trim TRIM 1 2
Upper UPPER 1 1
VarPop VAR_POP 1 1
VarSamp VAR_SAMP 1 1
)t";

// The numbers of arguments the rows written below and the date rows take
// ("name least most"), each other number refused as with the counted functions.
constexpr std::string_view kOwnCounts = R"t(
BitCastToInt32 1 1
BitCastToInt64 1 1
BitCastToUint32 1 1
BitCastToUint64 1 1
FormatDate 2 2
FormatDatetime 2 2
FormatTime 2 2
IsNull 1 1
NetFormatIp 1 1
NetFormatPackedIp 1 1
NetParseIp 1 1
NetParsePackedIp 1 1
Normalize 1 2
NormalizeAndCasefold 1 2
Range 1 1
RangeOf 1 1
RegexpContains 2 2
RegexpMatch 2 2
SafeConvertBytesToString 1 1
Size 1 1
Sort 1 1
StBufferwithtolerance 3 3
ToBase32 1 1
ToBase64 1 1
ToFloat64 1 1
ToHex 1 1
ToInt64 1 1
ToString 1 1
ToUInt64 1 1
Unique 1 1
UnixDate 1 1
UnixMicros 1 1
UnixMillis 1 1
UnixSeconds 1 1
)t";

// What BigQuery has no form for: window functions need a window the language
// does not write, protocol buffers are no BigQuery type, and the rest are
// absent from BigQuery's function reference.
constexpr std::string_view kRefused = R"t(
CumeDist DenseRank FirstValue FromProto Lag LastValue Lead NetIpInNet NetMakeNet NthValue Ntile
PercentRank ProtoDefaultIfNull Rank RowNumber StAskml StGeogfromkml StUnaryunion ToProto
)t";

using Written = std::vector<std::pair<std::string, std::string>>;

std::string call_of(std::string_view sql_name, size_t count) {
  std::string out = std::string(sql_name) + "(";
  for (size_t i = 0; i < count; ++i) out += (i > 0 ? ", {" : "{") + std::to_string(i) + "}";
  return out + ")";
}

// Per counted function, a row for each number of arguments it takes, the name's
// own row taking the most, and a refusal for each other number an arity row
// can name: the language's other engines may well take that number, so the
// call is refused as one BigQuery does not take. A function of any number
// keeps one "%s" for them all.
// The lines of a table, each as its blank-separated words.
std::vector<std::vector<std::string_view>> lines_of(std::string_view table) {
  std::vector<std::vector<std::string_view>> lines;
  size_t start = 0;
  while (start < table.size()) {
    size_t end = table.find('\n', start);
    if (end == std::string_view::npos) end = table.size();
    std::string_view line = table.substr(start, end - start);
    start = end + 1;
    std::vector<std::string_view> words;
    for (size_t at = 0; at < line.size();) {
      size_t blank = line.find(' ', at);
      if (blank == std::string_view::npos) blank = line.size();
      words.push_back(line.substr(at, blank - at));
      at = blank + 1;
    }
    if (!words.empty()) lines.push_back(std::move(words));
  }
  return lines;
}

Written write_counted() {
  Written rows;
  for (const auto& words : lines_of(kCounted)) {
    if (words.size() != 4) continue;
    const std::string name(words[0]);
    const size_t least = static_cast<size_t>(words[2][0] - '0');
    const bool any_number = words[3] == "n";
    const size_t most = any_number ? kMostArityRowArguments : static_cast<size_t>(words[3][0] - '0');
    rows.emplace_back(name, any_number ? std::string(words[1]) + "(%s)" : call_of(words[1], most));
    for (size_t count = 0; count <= kMostArityRowArguments; ++count) {
      if (count < least || count > most) {
        rows.emplace_back(arity_row_name(name, count), std::string(kNotOnThisEngine));
      } else if (count < most && !any_number) {
        rows.emplace_back(arity_row_name(name, count), call_of(words[1], count));
      }
    }
  }
  for (const auto& words : lines_of(kOwnCounts)) {
    if (words.size() != 3) continue;
    const size_t least = static_cast<size_t>(words[1][0] - '0');
    const size_t most = static_cast<size_t>(words[2][0] - '0');
    for (size_t count = 0; count <= kMostArityRowArguments; ++count) {
      if (count < least || count > most)
        rows.emplace_back(arity_row_name(words[0], count), std::string(kNotOnThisEngine));
    }
  }
  return rows;
}

}  // namespace

TemplateRows bigquery_function_rows() {
  // Written once, by the first caller, under the function-local static's
  // guard; read-only afterwards.
  static const Written counted = write_counted();
  TemplateRows rows;
  for (const auto& [name, sql] : counted) rows.push_back({name, sql});
  // clang-format off
  TemplateRows own = {
      {"RegexpContains", R"t(REGEXP_CONTAINS({0}, {1}))t"},
      // The other engines' RegexpMatch finds the pattern anywhere in the text.
      {"RegexpMatch", R"t(REGEXP_CONTAINS({0}, {1}))t"},
      // A quotient of FLOAT64s is exact for a dividend under 2^53 and is what the
      // other engines give for fractions (Div(1, 0.1) is 10, where 0.1 as a
      // BIGNUMERIC makes 9). Past 2^53 BIGNUMERIC divides every INT64 exactly;
      // past 1e19 the dividend is no INT64, and may lie past BIGNUMERIC's range.
      // DIV takes no FLOAT64 and fails on a zero divisor.
      {"Div", R"t((CASE WHEN ABS(CAST({0} AS FLOAT64)) NOT BETWEEN 9007199254740992 AND 1e19 THEN CAST((CASE WHEN (({0}) < 0) <> (({1}) < 0) THEN CEIL(CAST({0} AS FLOAT64) / NULLIF({1}, 0)) ELSE FLOOR(CAST({0} AS FLOAT64) / NULLIF({1}, 0)) END) AS INT64) ELSE CAST(TRUNC(CAST({0} AS BIGNUMERIC) / NULLIF(CAST({1} AS BIGNUMERIC), 0)) AS INT64) END))t"},
      {"Like", R"t(({0} LIKE {1}))t"},
      // BigQuery's own SUBSTR reads every position as the language does, but
      // fails the query on a negative length, which the language reads as none.
      {"Substr", R"t(SUBSTR({0}, {1}, GREATEST({2}, 0)))t"},
      // No unsigned type: NUMERIC holds every unsigned 64-bit value.
      {"ToUInt64", R"t(CAST({0} AS NUMERIC))t"},
      // The shared rows of one argument, which take no other number of them here.
      {"ToFloat64", R"t(CAST({0} AS FLOAT64))t"},
      {"ToInt64", R"t(CAST({0} AS INT64))t"},
      {"ToString", R"t(CAST({0} AS STRING))t"},
      {"1", R"t(MIN({0}))t"},
      {"Agg+", R"t(SUM({0}))t"},
      {"Agg++", R"t(ARRAY_CONCAT_AGG({0}))t"},
      {"Count", R"t(COUNT(DISTINCT {0}))t"},
      {"ExactCount", R"t(COUNT(DISTINCT {0}))t"},
      // DISTINCT takes no ARRAY: lists are told apart by their JSON text,
      // which keeps order and duplicates; a missing list is counted by neither.
      {"Count@list", R"t(COUNT(DISTINCT NULLIF(TO_JSON_STRING({0}), 'null')))t"},
      {"ExactCount@list", R"t(COUNT(DISTINCT NULLIF(TO_JSON_STRING({0}), 'null')))t"},
      // Nor does it order an ARRAY, for MAX, MIN or an ORDER BY: the greatest
      // list of a group, element by element, has no form here.
      {"Max@list", kNotOnThisEngine},
      {"Min@list", kNotOnThisEngine},
      {"List", R"t(ARRAY_AGG({0}))t"},
      {"Set", R"t(ARRAY_AGG(DISTINCT {0}))t"},
      {"SomeValue", R"t(ANY_VALUE({0}))t"},
      {"IsNull", R"t(({0} IS NULL))t"},
      {"Range", R"t(GENERATE_ARRAY(0, {0} - 1))t"},
      {"RangeOf", R"t(GENERATE_ARRAY(0, ARRAY_LENGTH({0}) - 1))t"},
      {"Size", R"t(ARRAY_LENGTH({0}))t"},
      // ARRAY(subquery) over UNNEST of a missing list is an empty list, where
      // other engines keep it missing.
      {"Sort", R"t(IF({0} IS NULL, NULL, ARRAY(SELECT x FROM UNNEST({0}) as x ORDER BY x)))t"},
      {"Unique", R"t(IF({0} IS NULL, NULL, ARRAY(SELECT DISTINCT x FROM UNNEST({0}) as x ORDER BY x)))t"},
      {"BitCastToInt32", R"t((CASE WHEN (({0}) & 4294967295) >= 2147483648 THEN (({0}) & 4294967295) - 4294967296 ELSE ({0}) & 4294967295 END))t"},
      {"BitCastToUint32", R"t((({0}) & 4294967295))t"},
      {"BitCastToInt64", R"t(CAST((CASE WHEN ({0}) >= NUMERIC '9223372036854775808' THEN CAST({0} AS NUMERIC) - NUMERIC '18446744073709551616' ELSE CAST({0} AS NUMERIC) END) AS INT64))t"},
      {"BitCastToUint64", R"t((CASE WHEN ({0}) < 0 THEN CAST({0} AS NUMERIC) + NUMERIC '18446744073709551616' ELSE CAST({0} AS NUMERIC) END))t"},
      // These take bytes; a text is written as its UTF-8 bytes, as elsewhere.
      {"ToHex", R"t(TO_HEX(CAST({0} AS BYTES)))t"},
      {"ToBase32", R"t(TO_BASE32(CAST({0} AS BYTES)))t"},
      {"ToBase64", R"t(TO_BASE64(CAST({0} AS BYTES)))t"},
      {"SafeConvertBytesToString", R"t(SAFE_CONVERT_BYTES_TO_STRING(CAST({0} AS BYTES)))t"},
      {"Normalize", R"t(NORMALIZE({0}, {1:NFC|NFKC|NFD|NFKD}))t"},
      {"Normalize/1", R"t(NORMALIZE({0}))t"},
      {"NormalizeAndCasefold", R"t(NORMALIZE_AND_CASEFOLD({0}, {1:NFC|NFKC|NFD|NFKD}))t"},
      {"NormalizeAndCasefold/1", R"t(NORMALIZE_AND_CASEFOLD({0}))t"},
      // The older network functions, as the newer ones they stand for.
      {"NetFormatIp", R"t(NET.IP_TO_STRING(NET.IPV4_FROM_INT64({0})))t"},
      {"NetParseIp", R"t(NET.IPV4_TO_INT64(NET.IP_FROM_STRING({0})))t"},
      {"NetFormatPackedIp", R"t(NET.IP_TO_STRING({0}))t"},
      {"NetParsePackedIp", R"t(NET.IP_FROM_STRING({0}))t"},
      // Its tolerance is a named argument.
      {"StBufferwithtolerance", R"t(ST_BUFFERWITHTOLERANCE({0}, {1}, tolerance_meters => {2}))t"},
  };
  // clang-format on
  rows.insert(rows.end(), own.begin(), own.end());
  add_refused_rows(rows, kRefused);
  return rows;
}

TemplateRows bigquery_operator_rows() {
  // clang-format off
  return {
      {"++", R"t(%s || %s)t"},
      // BigQuery's MOD takes no FLOAT64. The quotient, truncated in BIGNUMERIC
      // (exact for every pair of INT64), is an INT64, so the remainder keeps
      // the operands' type: an INT64 of two, else a FLOAT64.
      {"%", R"t((({0}) - ({1}) * CAST(TRUNC(CAST({0} AS BIGNUMERIC) / NULLIF(CAST({1} AS BIGNUMERIC), 0)) AS INT64)))t"},
  };
  // clang-format on
}

}  // namespace mirtova
