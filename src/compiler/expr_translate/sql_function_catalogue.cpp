// The catalogue of plain SQL functions, keyed by their camel-case names.
#include "compiler/expr_translate/template_tables.h"

#include "common/strings.h"

namespace mirtova {
namespace {

// One line per plain SQL function: its snake name, a comma, its SQL name. Sorted
// by the snake name; no final line break.
constexpr std::string_view kCatalogueText =
    R"t(abs,ABS
acos,ACOS
acosh,ACOSH
aead.decrypt_bytes,AEAD.DECRYPT_BYTES
aead.decrypt_string,AEAD.DECRYPT_STRING
aead.encrypt,AEAD.ENCRYPT
any_value,ANY_VALUE
approx_count_distinct,APPROX_COUNT_DISTINCT
approx_quantiles,APPROX_QUANTILES
approx_top_count,APPROX_TOP_COUNT
approx_top_sum,APPROX_TOP_SUM
array_agg,ARRAY_AGG
array_concat,ARRAY_CONCAT
array_concat_agg,ARRAY_CONCAT_AGG
array_length,ARRAY_LENGTH
array_reverse,ARRAY_REVERSE
array_to_string,ARRAY_TO_STRING
asin,ASIN
asinh,ASINH
atan,ATAN
atan2,ATAN2
atanh,ATANH
avg,AVG
bit_and,BIT_AND
bit_cast_to_int32,BIT_CAST_TO_INT32
bit_cast_to_int64,BIT_CAST_TO_INT64
bit_cast_to_uint32,BIT_CAST_TO_UINT32
bit_cast_to_uint64,BIT_CAST_TO_UINT64
bit_count,BIT_COUNT
bit_or,BIT_OR
bit_xor,BIT_XOR
byte_length,BYTE_LENGTH
ceil,CEIL
char_length,CHAR_LENGTH
coalesce,COALESCE
code_points_to_bytes,CODE_POINTS_TO_BYTES
code_points_to_string,CODE_POINTS_TO_STRING
concat,CONCAT
corr,CORR
cos,COS
cosh,COSH
count,COUNT
countif,COUNTIF
covar_pop,COVAR_POP
covar_samp,COVAR_SAMP
cume_dist,CUME_DIST
current_date,CURRENT_DATE
current_datetime,CURRENT_DATETIME
current_time,CURRENT_TIME
current_timestamp,CURRENT_TIMESTAMP
date,DATE
date_add,DATE_ADD
date_diff,DATE_DIFF
date_from_unix_date,DATE_FROM_UNIX_DATE
date_sub,DATE_SUB
date_trunc,DATE_TRUNC
datetime,DATETIME
datetime_add,DATETIME_ADD
datetime_diff,DATETIME_DIFF
datetime_sub,DATETIME_SUB
datetime_trunc,DATETIME_TRUNC
dense_rank,DENSE_RANK
div,DIV
ends_with,ENDS_WITH
error,ERROR
exp,EXP
farm_fingerprint,FARM_FINGERPRINT
first_value,FIRST_VALUE
floor,FLOOR
format,FORMAT
format_date,FORMAT_DATE
format_datetime,FORMAT_DATETIME
format_time,FORMAT_TIME
format_timestamp,FORMAT_TIMESTAMP
from_base32,FROM_BASE32
from_base64,FROM_BASE64
from_hex,FROM_HEX
from_proto,FROM_PROTO
generate_array,GENERATE_ARRAY
generate_date_array,GENERATE_DATE_ARRAY
generate_timestamp_array,GENERATE_TIMESTAMP_ARRAY
generate_uuid,GENERATE_UUID
greatest,GREATEST
hll_count.extract,HLL_COUNT.EXTRACT
hll_count.init,HLL_COUNT.INIT
hll_count.merge,HLL_COUNT.MERGE
hll_count.merge_partial,HLL_COUNT.MERGE_PARTIAL
ieee_divide,IEEE_DIVIDE
if,IF
ifnull,IFNULL
is_inf,IS_INF
is_nan,IS_NAN
json_extract,JSON_EXTRACT
json_extract_scalar,JSON_EXTRACT_SCALAR
json_query,JSON_QUERY
json_value,JSON_VALUE
keys.add_key_from_raw_bytes,KEYS.ADD_KEY_FROM_RAW_BYTES
keys.keyset_from_json,KEYS.KEYSET_FROM_JSON
keys.keyset_length,KEYS.KEYSET_LENGTH
keys.keyset_to_json,KEYS.KEYSET_TO_JSON
keys.new_keyset,KEYS.NEW_KEYSET
keys.rotate_keyset,KEYS.ROTATE_KEYSET
lag,LAG
last_value,LAST_VALUE
lead,LEAD
least,LEAST
length,LENGTH
ln,LN
log,LOG
log10,LOG10
logical_and,LOGICAL_AND
logical_or,LOGICAL_OR
lower,LOWER
lpad,LPAD
ltrim,LTRIM
max,MAX
md5,MD5
min,MIN
mod,MOD
net.format_ip,NET.FORMAT_IP
net.format_packed_ip,NET.FORMAT_PACKED_IP
net.host,NET.HOST
net.ip_from_string,NET.IP_FROM_STRING
net.ip_in_net,NET.IP_IN_NET
net.ip_net_mask,NET.IP_NET_MASK
net.ip_to_string,NET.IP_TO_STRING
net.ip_trunc,NET.IP_TRUNC
net.ipv4_from_int64,NET.IPV4_FROM_INT64
net.ipv4_to_int64,NET.IPV4_TO_INT64
net.make_net,NET.MAKE_NET
net.parse_ip,NET.PARSE_IP
net.parse_packed_ip,NET.PARSE_PACKED_IP
net.public_suffix,NET.PUBLIC_SUFFIX
net.reg_domain,NET.REG_DOMAIN
net.safe_ip_from_string,NET.SAFE_IP_FROM_STRING
normalize,NORMALIZE
normalize_and_casefold,NORMALIZE_AND_CASEFOLD
nth_value,NTH_VALUE
ntile,NTILE
nullif,NULLIF
parse_date,PARSE_DATE
parse_datetime,PARSE_DATETIME
parse_time,PARSE_TIME
parse_timestamp,PARSE_TIMESTAMP
percent_rank,PERCENT_RANK
percentile_cont,PERCENTILE_CONT
percentile_disc,PERCENTILE_DISC
pow,POW
proto_default_if_null,PROTO_DEFAULT_IF_NULL
rand,RAND
range_bucket,RANGE_BUCKET
rank,RANK
regexp_contains,REGEXP_CONTAINS
regexp_extract,REGEXP_EXTRACT
regexp_extract_all,REGEXP_EXTRACT_ALL
regexp_match,REGEXP_MATCH
regexp_replace,REGEXP_REPLACE
repeat,REPEAT
replace,REPLACE
reverse,REVERSE
round,ROUND
row_number,ROW_NUMBER
rpad,RPAD
rtrim,RTRIM
safe_add,SAFE_ADD
safe_convert_bytes_to_string,SAFE_CONVERT_BYTES_TO_STRING
safe_divide,SAFE_DIVIDE
safe_multiply,SAFE_MULTIPLY
safe_negate,SAFE_NEGATE
safe_subtract,SAFE_SUBTRACT
session_user,SESSION_USER
sha1,SHA1
sha256,SHA256
sha512,SHA512
sign,SIGN
sin,SIN
sinh,SINH
split,SPLIT
sqrt,SQRT
st_accum,ST_ACCUM
st_area,ST_AREA
st_asbinary,ST_ASBINARY
st_asgeojson,ST_ASGEOJSON
st_askml,ST_ASKML
st_astext,ST_ASTEXT
st_boundary,ST_BOUNDARY
st_buffer,ST_BUFFER
st_bufferwithtolerance,ST_BUFFERWITHTOLERANCE
st_centroid,ST_CENTROID
st_centroid_agg,ST_CENTROID_AGG
st_closestpoint,ST_CLOSESTPOINT
st_contains,ST_CONTAINS
st_coveredby,ST_COVEREDBY
st_covers,ST_COVERS
st_difference,ST_DIFFERENCE
st_dimension,ST_DIMENSION
st_disjoint,ST_DISJOINT
st_distance,ST_DISTANCE
st_dwithin,ST_DWITHIN
st_equals,ST_EQUALS
st_geogfromgeojson,ST_GEOGFROMGEOJSON
st_geogfromkml,ST_GEOGFROMKML
st_geogfromtext,ST_GEOGFROMTEXT
st_geogfromwkb,ST_GEOGFROMWKB
st_geogpoint,ST_GEOGPOINT
st_geogpointfromgeohash,ST_GEOGPOINTFROMGEOHASH
st_geohash,ST_GEOHASH
st_intersection,ST_INTERSECTION
st_intersects,ST_INTERSECTS
st_intersectsbox,ST_INTERSECTSBOX
st_iscollection,ST_ISCOLLECTION
st_isempty,ST_ISEMPTY
st_length,ST_LENGTH
st_makeline,ST_MAKELINE
st_makepolygon,ST_MAKEPOLYGON
st_makepolygonoriented,ST_MAKEPOLYGONORIENTED
st_maxdistance,ST_MAXDISTANCE
st_numpoints,ST_NUMPOINTS
st_perimeter,ST_PERIMETER
st_simplify,ST_SIMPLIFY
st_snaptogrid,ST_SNAPTOGRID
st_touches,ST_TOUCHES
st_unaryunion,ST_UNARYUNION
st_union,ST_UNION
st_union_agg,ST_UNION_AGG
st_within,ST_WITHIN
st_x,ST_X
st_y,ST_Y
starts_with,STARTS_WITH
stddev_pop,STDDEV_POP
stddev_samp,STDDEV_SAMP
string,STRING
string_agg,STRING_AGG
strpos,STRPOS
substr,SUBSTR
sum,SUM
tan,TAN
tanh,TANH
time,TIME
time_add,TIME_ADD
time_diff,TIME_DIFF
time_sub,TIME_SUB
time_trunc,TIME_TRUNC
timestamp,TIMESTAMP
timestamp_add,TIMESTAMP_ADD
timestamp_diff,TIMESTAMP_DIFF
timestamp_from_unix_micros,TIMESTAMP_FROM_UNIX_MICROS
timestamp_from_unix_millis,TIMESTAMP_FROM_UNIX_MILLIS
timestamp_from_unix_seconds,TIMESTAMP_FROM_UNIX_SECONDS
timestamp_micros,TIMESTAMP_MICROS
timestamp_millis,TIMESTAMP_MILLIS
timestamp_seconds,TIMESTAMP_SECONDS
timestamp_sub,TIMESTAMP_SUB
timestamp_trunc,TIMESTAMP_TRUNC
to_base32,TO_BASE32
to_base64,TO_BASE64
to_code_points,TO_CODE_POINTS
to_hex,TO_HEX
to_json_string,TO_JSON_STRING
to_proto,TO_PROTO
trim,TRIM
trunc,TRUNC
unix_date,UNIX_DATE
unix_micros,UNIX_MICROS
unix_millis,UNIX_MILLIS
unix_seconds,UNIX_SECONDS
upper,UPPER
var_pop,VAR_POP
var_samp,VAR_SAMP)t";

}  // namespace

std::string to_camel_case(std::string_view name) {
  std::string out;
  out.reserve(name.size());
  size_t start = 0;
  while (start <= name.size()) {
    size_t end = name.find('_', start);
    if (end == std::string_view::npos) end = name.size();
    std::string_view piece = name.substr(start, end - start);
    if (!piece.empty()) {
      // Only the first letter of a piece changes; the rest keeps its case.
      out += ascii_upper(piece.front());
      out += piece.substr(1);
    }
    start = end + 1;
  }
  return out;
}

TemplateMap build_bulk_built_in_functions() {
  TemplateMap map;
  map.reserve(270);
  size_t start = 0;
  while (start <= kCatalogueText.size()) {
    size_t end = kCatalogueText.find('\n', start);
    if (end == std::string_view::npos) end = kCatalogueText.size();
    std::string_view line = kCatalogueText.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    size_t comma = line.find(',');
    if (comma != std::string_view::npos) {
      std::string snake(line.substr(0, comma));
      for (char& c : snake) {
        if (c == '.') c = '_';
      }
      std::string sql(line.substr(comma + 1));
      sql += "(%s)";
      map.insert_or_assign(to_camel_case(snake), std::move(sql));
    }
    start = end + 1;
  }
  return map;
}

const TemplateMap& plain_sql_functions() {
  // Filled once, by the first thread that needs it, under the static's own
  // initialisation guard; read-only afterwards.
  static const TemplateMap catalogue = build_bulk_built_in_functions();
  return catalogue;
}

}  // namespace mirtova
