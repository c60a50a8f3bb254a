// The Format and Parse functions of dates and times, element by element of a
// literal format, over the primitives of DateSql.
#include "compiler/dialects/templates/date_format_sql.h"

#include <array>
#include <map>
#include <optional>

#include "compiler/dialects/templates/date_sql.h"

namespace mirtova {
namespace {

using Text = Result<std::string, std::string>;

enum class Kind { kDate, kDatetime, kTime, kTimestamp };

struct Function {
  std::string_view name;
  bool parse;
  Kind kind;
};

constexpr std::array<Function, 8> kFunctions = {{
    {"FormatDate", false, Kind::kDate},
    {"FormatDatetime", false, Kind::kDatetime},
    {"FormatTime", false, Kind::kTime},
    {"FormatTimestamp", false, Kind::kTimestamp},
    {"ParseDate", true, Kind::kDate},
    {"ParseDatetime", true, Kind::kDatetime},
    {"ParseTime", true, Kind::kTime},
    {"ParseTimestamp", true, Kind::kTimestamp},
}};

constexpr std::array<std::string_view, 12> kMonths = {"January",   "February", "March",    "April",
                                                      "May",       "June",     "July",     "August",
                                                      "September", "October",  "November", "December"};
constexpr std::array<std::string_view, 7> kDays = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                                   "Thursday", "Friday", "Saturday"};

// One piece of a format: a literal text, or an element named without its '%'
// ("Y", "E*S", "E3S", "E4Y", "Ez").
struct Piece {
  bool literal;
  std::string text;
};

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// The pieces of `format`, the composite elements spelled out.
Result<std::vector<Piece>, std::string> pieces_of(std::string_view format, std::string_view function) {
  std::vector<Piece> out;
  auto literal = [&](std::string text) {
    if (!out.empty() && out.back().literal) {
      out.back().text += text;
    } else {
      out.push_back({true, std::move(text)});
    }
  };
  auto bad = [&](std::string_view element) {
    return make_err("The format of " + std::string(function) + " has an unknown element %" +
                    std::string(element) + ".");
  };
  for (size_t i = 0; i < format.size(); ++i) {
    if (format[i] != '%') {
      literal(std::string(1, format[i]));
      continue;
    }
    if (i + 1 >= format.size()) return bad("");
    char c = format[++i];
    std::string element(1, c);
    if (c == 'E') {
      size_t start = i + 1, end = start;
      while (end < format.size() && (is_digit(format[end]) || format[end] == '*')) ++end;
      if (end >= format.size()) return bad(format.substr(i));
      std::string_view middle = format.substr(start, end - start);
      element = "E" + std::string(format.substr(start, end - start + 1));
      char last = format[end];
      bool fraction = last == 'S' && (middle == "*" || (!middle.empty() && middle.size() <= 2 &&
                                                        middle.find('*') == std::string_view::npos));
      bool year = last == 'Y' && middle == "4";
      bool zone = last == 'z' && middle.empty();
      if (!fraction && !year && !zone) return bad(element);
      i = end;
    }
    switch (c) {
      case '%':
        literal("%");
        continue;
      case 'n':
        literal("\n");
        continue;
      case 't':
        literal("\t");
        continue;
      default:
        break;
    }
    static const std::map<char, std::string_view> composites = {{'F', "%Y-%m-%d"},
                                                                {'T', "%H:%M:%S"},
                                                                {'D', "%m/%d/%y"},
                                                                {'R', "%H:%M"},
                                                                {'x', "%m/%d/%y"},
                                                                {'X', "%H:%M:%S"},
                                                                {'c', "%a %b %e %H:%M:%S %Y"}};
    auto composite = composites.find(c);
    if (composite != composites.end()) {
      TRY(std::vector<Piece> inner, pieces_of(composite->second, function));
      for (Piece& piece : inner) {
        if (piece.literal) {
          literal(piece.text);
        } else {
          out.push_back(std::move(piece));
        }
      }
      continue;
    }
    if (c != 'E' && std::string_view("YyCGgmbBhdejaAuwUWVQHIklMSpszZ").find(c) == std::string_view::npos) {
      return bad(element);
    }
    out.push_back({false, element});
  }
  return out;
}

bool is_date_element(const std::string& e) {
  return e == "E4Y" ||
         (e.size() == 1 && std::string_view("YyCGgmbBhdejaAuwUWVQ").find(e[0]) != std::string_view::npos);
}
bool is_time_element(const std::string& e) {
  return e.front() == 'E' ? e.back() == 'S'
                          : std::string_view("HIklMSp").find(e[0]) != std::string_view::npos;
}

// Whether the function of `kind` takes the element; parsing also leaves out the
// elements BigQuery does not read.
bool takes(Kind kind, bool parse, const std::string& e) {
  if (parse && e.size() == 1 && std::string_view("aAgGjuUVwWCQZ").find(e[0]) != std::string_view::npos)
    return false;
  switch (kind) {
    case Kind::kDate:
      return is_date_element(e);
    case Kind::kTime:
      return is_time_element(e);
    case Kind::kDatetime:
      return is_date_element(e) || is_time_element(e);
    case Kind::kTimestamp:
      return true;
  }
  return false;
}

class Writer {
 public:
  explicit Writer(Engine engine) : sql_(engine) {}

  // ---- formatting: `v` is the engine's civil timestamp (microseconds on SQLite)

  std::string field(std::string_view f, const std::string& v) {
    Engine e = sql_.engine();
    if (e == Engine::kDatabricks) {
      if (f == "micro") return sql_.mod_floor(sql_.micros(v), 1000000);
      if (f == "doy") return "dayofyear(" + v + ")";
      if (f == "dow") return "(dayofweek(" + v + ") - 1)";
      if (f == "isoweek") return "weekofyear(" + v + ")";
      if (f == "isoyear") return "extract(YEAROFWEEK FROM " + v + ")";
      return std::string(f) + "(" + v + ")";
    }
    if (e == Engine::kDuckdb) {
      if (f == "micro") return "(microsecond(" + v + ") % 1000000)";
      if (f == "doy") return "dayofyear(" + v + ")";
      if (f == "dow") return "dayofweek(" + v + ")";
      if (f == "isoweek") return "week(" + v + ")";
      return std::string(f) + "(" + v + ")";
    }
    if (e == Engine::kPsql) {
      if (f == "micro") return "(CAST(extract(microseconds from " + v + ") AS bigint) % 1000000)";
      if (f == "second") return "CAST(floor(extract(second from " + v + ")) AS bigint)";
      std::string_view part = f == "isoweek" ? "week" : f;
      return "CAST(extract(" + std::string(part) + " from " + v + ") AS bigint)";
    }
    if (sql_.binds_by_lambda()) {
      // The microseconds of the civil time: its date's fields, and the time's by division.
      std::string day = sql_.date_of_timestamp(v);
      std::string time = sql_.time_of_timestamp(v);
      if (f == "micro") return sql_.mod_floor(v, 1000000);
      if (f == "hour") return "(" + time + " / 3600000000)";
      if (f == "minute") return "(" + time + " / 60000000 % 60)";
      if (f == "second") return "(" + time + " / 1000000 % 60)";
      if (f == "doy") return "day_of_year(" + day + ")";
      if (f == "dow") return "(day_of_week(" + day + ") % 7)";
      if (f == "isoweek") return "week(" + day + ")";
      if (f == "isoyear") return "year_of_week(" + day + ")";
      return std::string(f) + "(" + day + ")";
    }
    std::string seconds = sql_.floor_div(v, 1000000);
    auto strftime = [&](std::string_view spec, const std::string& of) {
      return "CAST(strftime('" + std::string(spec) + "', " + of + ") AS INTEGER)";
    };
    std::string at = seconds + ", 'unixepoch'";
    if (f == "micro") return sql_.mod_floor(v, 1000000);
    // The Thursday of the date's ISO week holds its ISO year and week.
    std::string thursday = at + ", printf('%+d days', 3 - (" + strftime("%w", at) + " + 6) % 7)";
    if (f == "isoyear") return strftime("%Y", thursday);
    if (f == "isoweek") return "((" + strftime("%j", thursday) + " - 1) / 7 + 1)";
    static const std::map<std::string_view, std::string_view> specs = {
        {"year", "%Y"},   {"month", "%m"},  {"day", "%d"}, {"hour", "%H"},
        {"minute", "%M"}, {"second", "%S"}, {"doy", "%j"}, {"dow", "%w"}};
    return strftime(specs.at(f), at);
  }

  std::string pad(const std::string& x, int width, char fill = '0') const {
    if (sql_.engine() == Engine::kSqlite) {
      return "printf('%" + std::string(fill == '0' ? "0" : "") + std::to_string(width) + "d', " + x + ")";
    }
    return "lpad(" + sql_.text(x) + ", " + std::to_string(width) + ", '" + fill + "')";
  }

  // The text without its trailing zeros (Spark reads rtrim's two arguments the other way round).
  std::string zeros_cut(const std::string& x) const {
    if (sql_.engine() == Engine::kDatabricks) return "TRIM(TRAILING '0' FROM " + x + ")";
    return "rtrim(" + x + ", '0')";
  }

  std::string name_of(const std::string& number, bool month, bool abbreviated) const {
    std::string out = "(CASE " + number;
    size_t count = month ? kMonths.size() : kDays.size();
    for (size_t i = 0; i < count; ++i) {
      std::string_view name = month ? kMonths[i] : kDays[i];
      out += " WHEN " + std::to_string(month ? i + 1 : i) + " THEN " +
             sql_.literal(abbreviated ? name.substr(0, 3) : name);
    }
    return out + " END)";
  }

  // The SQL of one element.
  std::string element(const std::string& e, const std::string& v) {
    auto f = [&](std::string_view name) { return field(name, v); };
    if (e == "Y") return sql_.text(f("year"));
    if (e == "E4Y") return pad(f("year"), 4);
    if (e == "y") return pad(f("year") + " % 100", 2);
    if (e == "C") return pad(sql_.trunc_div(f("year"), 100), 2);
    if (e == "G") return sql_.text(f("isoyear"));
    if (e == "g") return pad(f("isoyear") + " % 100", 2);
    if (e == "m") return pad(f("month"), 2);
    if (e == "b" || e == "h" || e == "B") return name_of(f("month"), true, e != "B");
    if (e == "d") return pad(f("day"), 2);
    if (e == "e") return pad(f("day"), 2, ' ');
    if (e == "j") return pad(f("doy"), 3);
    if (e == "a" || e == "A") return name_of(f("dow"), false, e == "a");
    if (e == "u") return sql_.text("((" + f("dow") + " + 6) % 7 + 1)");
    if (e == "w") return sql_.text(f("dow"));
    if (e == "U") return pad(sql_.trunc_div(f("doy") + " + 6 - " + f("dow"), 7), 2);
    if (e == "W") return pad(sql_.trunc_div(f("doy") + " + 6 - (" + f("dow") + " + 6) % 7", 7), 2);
    if (e == "V") return pad(f("isoweek"), 2);
    if (e == "Q") return sql_.text(sql_.trunc_div(f("month") + " + 2", 3));
    if (e == "H") return pad(f("hour"), 2);
    if (e == "k") return pad(f("hour"), 2, ' ');
    if (e == "I") return pad("(" + f("hour") + " + 11) % 12 + 1", 2);
    if (e == "l") return pad("(" + f("hour") + " + 11) % 12 + 1", 2, ' ');
    if (e == "M") return pad(f("minute"), 2);
    if (e == "S") return pad(f("second"), 2);
    if (e == "p") return "(CASE WHEN " + f("hour") + " < 12 THEN 'AM' ELSE 'PM' END)";
    if (e == "E*S") {
      // The fraction without its trailing zeros, and no point when it is 0.
      return "(" + pad(f("second"), 2) + " || (CASE WHEN " + f("micro") + " = 0 THEN '' ELSE " +
             zeros_cut("'.' || " + pad(f("micro"), 6)) + " END))";
    }
    if (e.front() == 'E' && e.back() == 'S') {
      // So many digits of the fraction, cut (not rounded).
      int digits = 0;
      for (char c : e.substr(1, e.size() - 2)) digits = digits * 10 + (c - '0');
      if (digits == 0) return pad(f("second"), 2);
      return "(" + pad(f("second"), 2) + " || '.' || substr(" + pad(f("micro"), 6) + " || '" +
             std::string(static_cast<size_t>(digits), '0') + "', 1, " + std::to_string(digits) + "))";
    }
    if (e == "s") return sql_.text(sql_.floor_div(sql_.micros(v), 1000000));
    // Timestamps are written in UTC.
    if (e == "Z") return "'UTC'";
    return e == "Ez" ? "'+00:00'" : "'+0000'";
  }

  std::string format(const Function& fn, const std::vector<Piece>& pieces, const std::string& a) {
    // SQLite reads the value once, in a WITH of its own: read where the
    // conversion to microseconds reads it, a format of a format nests a
    // dozen parentheses a level, past what the engine's parser holds.
    if (sql_.engine() == Engine::kSqlite && a.find('(') != std::string::npos)
      return "(WITH mirtova_once(mirtova_f) AS (VALUES (" + a + ")) SELECT " +
             format(fn, pieces, "mirtova_f") + " FROM mirtova_once)";
    std::string value;
    switch (fn.kind) {
      case Kind::kDate:
        value = sql_.timestamp_of_date(sql_.date(a));
        break;
      case Kind::kDatetime:
      case Kind::kTimestamp:
        value = sql_.timestamp(a);
        break;
      case Kind::kTime:
        if (sql_.counts_micros()) {
          value = sql_.time(a);
        } else if (sql_.engine() == Engine::kDatabricks) {
          value = sql_.timestamp_of_micros(sql_.time(a));
        } else {
          value = "(DATE '1970-01-01' + " + sql_.time(a) + ")";
        }
        break;
    }
    return sql_.let(value, [&](const std::string& v) {
      std::string out;
      for (const Piece& piece : pieces) {
        out +=
            (out.empty() ? "" : " || ") + (piece.literal ? sql_.literal(piece.text) : element(piece.text, v));
      }
      if (out.empty()) out = "''";
      return "(CASE WHEN " + v + " IS NULL THEN NULL ELSE " + out + " END)";
    });
  }

  // ---- parsing: a pattern of the whole text, each field read from its group

  Text parse(const Function& fn, std::string_view format, const std::vector<Piece>& pieces,
             const std::string& a) {
    std::string pattern = "^\\s*";
    int groups = 0;
    // Each field from the last element that sets it: its group and the element.
    std::map<std::string, std::pair<int, std::string>> fields;
    auto group = [&](std::string_view inner) {
      pattern += "(" + std::string(inner) + ")";
      return ++groups;
    };
    for (const Piece& piece : pieces) {
      if (piece.literal) {
        bool space = false;
        for (char c : piece.text) {
          if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f') {
            if (!space) pattern += "\\s*";
            space = true;
            continue;
          }
          space = false;
          bool plain = is_digit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                       static_cast<unsigned char>(c) >= 0x80;
          if (!plain) pattern += '\\';
          pattern += c;
        }
        continue;
      }
      const std::string& e = piece.text;
      if (e == "Y" || e == "E4Y") {
        fields["year"] = {group(e == "Y" ? "[0-9]{1,4}" : "[0-9]{4}"), "Y"};
      } else if (e == "y") {
        fields["year"] = {group("[0-9]{1,2}"), "y"};
      } else if (e == "m") {
        fields["month"] = {group("[0-9]{1,2}"), "m"};
      } else if (e == "b" || e == "B" || e == "h") {
        // A month's name or its first three letters, in any case.
        std::string names;
        for (std::string_view month : kMonths) {
          names += names.empty() ? "" : "|";
          for (size_t i = 0; i < month.size(); ++i) {
            if (i == 3) names += "(?:";
            char c = month[i];
            char upper = c >= 'a' ? static_cast<char>(c - 'a' + 'A') : c;
            char lower = c >= 'a' ? c : static_cast<char>(c - 'A' + 'a');
            names += std::string("[") + upper + lower + "]";
          }
          if (month.size() > 3) names += ")?";
        }
        fields["month"] = {group(names), "b"};
      } else if (e == "d" || e == "e") {
        if (e == "e") pattern += "\\s*";
        fields["day"] = {group("[0-9]{1,2}"), "d"};
      } else if (e == "H" || e == "k" || e == "I" || e == "l") {
        if (e == "k" || e == "l") pattern += "\\s*";
        fields["hour"] = {group("[0-9]{1,2}"), e == "H" || e == "k" ? "H" : "I"};
      } else if (e == "M") {
        fields["minute"] = {group("[0-9]{1,2}"), "M"};
      } else if (e == "S") {
        fields["second"] = {group("[0-9]{1,2}"), "S"};
      } else if (e.front() == 'E' && e.back() == 'S') {
        fields["second"] = {group("[0-9]{1,2}"), "S"};
        pattern += "(?:\\.";
        fields["fraction"] = {group("[0-9]+"), "f"};
        pattern += ")?";
      } else if (e == "p") {
        fields["ampm"] = {group("[AaPp][Mm]"), "p"};
      } else if (e == "z" || e == "Ez") {
        fields["offset_sign"] = {group("[+-]"), "z"};
        fields["offset_hours"] = {group("[0-9]{2}"), "z"};
        pattern += ":?";
        fields["offset_minutes"] = {group("[0-9]{2}"), "z"};
      } else if (e == "s") {
        fields["epoch"] = {group("-?[0-9]+"), "s"};
      } else {
        return make_err("The format element %" + e + " of " + std::string(fn.name) + " is not available.");
      }
    }
    pattern += "\\s*$";
    return sql_.let(a, [&](const std::string& s) {
      auto text_of = [&](int n) {
        switch (sql_.engine()) {
          case Engine::kDuckdb: {
            // Groups by name: DuckDB numbers at most nine.
            std::string names;
            for (int i = 1; i <= groups; ++i) names += (i == 1 ? "'g" : ", 'g") + std::to_string(i) + "'";
            return "NULLIF(struct_extract(regexp_extract(" + s + ", " + sql_.literal(pattern) + ", [" +
                   names + "]), 'g" + std::to_string(n) + "'), '')";
          }
          case Engine::kPsql:
            return "(regexp_match(" + s + ", " + sql_.literal(pattern) + "))[" + std::to_string(n) + "]";
          case Engine::kSqlite:
            return "MIRTOVA_REGEXP_GROUP(" + s + ", " + sql_.literal(pattern) + ", " + std::to_string(n) +
                   ")";
          case Engine::kDatabricks:
            return "NULLIF(regexp_extract(" + s + ", " + sql_.literal(pattern) + ", " + std::to_string(n) +
                   "), '')";
          case Engine::kTrino:
          case Engine::kPresto:
            return "regexp_extract(" + s + ", " + sql_.literal(pattern) + ", " + std::to_string(n) + ")";
          default:
            break;
        }
        return std::string();
      };
      auto has = [&](const char* name) { return fields.count(name) > 0; };
      auto number = [&](const char* name, const char* otherwise) {
        auto found = fields.find(name);
        return found == fields.end() ? std::string(otherwise) : sql_.integer(text_of(found->second.first));
      };
      std::vector<std::string> checks;
      std::string year = number("year", "1970");
      if (has("year") && fields["year"].second == "y") {
        year = "(" + year + " + (CASE WHEN " + year + " < 69 THEN 2000 ELSE 1900 END))";
      }
      std::string month = number("month", "1");
      if (has("month") && fields["month"].second == "b") {
        std::string name = "lower(substr(" + text_of(fields["month"].first) + ", 1, 3))";
        month = "(CASE " + name;
        for (size_t i = 0; i < kMonths.size(); ++i) {
          std::string abbreviation(kMonths[i].substr(0, 3));
          abbreviation[0] = static_cast<char>(abbreviation[0] - 'A' + 'a');
          month += " WHEN '" + abbreviation + "' THEN " + std::to_string(i + 1);
        }
        month += " END)";
      }
      std::string day = number("day", "1");
      std::string hour = number("hour", "0");
      if (has("hour") && fields["hour"].second == "I") {
        checks.push_back(hour + " BETWEEN 1 AND 12");
        std::string pm =
            has("ampm") ? "(CASE WHEN lower(" + text_of(fields["ampm"].first) + ") = 'pm' THEN 12 ELSE 0 END)"
                        : "0";
        hour = "(" + hour + " % 12 + " + pm + ")";
      }
      std::string minute = number("minute", "0");
      std::string second = number("second", "0");
      checks.push_back(hour + " BETWEEN 0 AND 23");
      checks.push_back(minute + " BETWEEN 0 AND 59");
      checks.push_back(second + " BETWEEN 0 AND 59");
      checks.push_back(month + " BETWEEN 1 AND 12");
      std::string micro = "0";
      if (has("fraction")) {
        micro = "COALESCE(" +
                sql_.integer("substr(" + text_of(fields["fraction"].first) + " || '000000', 1, 6)") + ", 0)";
      }
      std::string time =
          "(((" + hour + ") * 60 + " + minute + ") * 60 + " + second + ") * 1000000 + " + micro;
      std::string value;
      if (fn.kind == Kind::kDate) {
        value = sql_.date_text(sql_.make_date(year, month, day));
      } else if (fn.kind == Kind::kTime) {
        value = sql_.time_text(sql_.time_of_micros(time));
      } else {
        std::string civil = sql_.day_number(sql_.make_date(year, month, day)) + " * 86400000000 + " + time;
        std::string ts = sql_.timestamp_of_micros(civil);
        if (fn.kind == Kind::kTimestamp) {
          if (has("epoch")) {
            ts = sql_.timestamp_of_micros(number("epoch", "0") + " * 1000000");
          } else if (has("offset_sign")) {
            std::string offset = "(CASE WHEN " + text_of(fields["offset_sign"].first) +
                                 " = '-' THEN -1 ELSE 1 END) * (" + number("offset_hours", "0") + " * 60 + " +
                                 number("offset_minutes", "0") + ")";
            ts = sql_.timestamp_of_micros("(" + civil + ") - (" + offset + ") * 60000000");
          }
        }
        value = sql_.timestamp_text(ts);
      }
      std::string match;
      switch (sql_.engine()) {
        case Engine::kDuckdb:
          match = "regexp_matches(" + s + ", " + sql_.literal(pattern) + ")";
          break;
        case Engine::kPsql:
          match = s + " ~ " + sql_.literal(pattern);
          break;
        case Engine::kSqlite:
          match = s + " REGEXP " + sql_.literal(pattern);
          break;
        case Engine::kDatabricks:
          match = "(" + s + " RLIKE " + sql_.literal(pattern) + ")";
          break;
        case Engine::kTrino:
        case Engine::kPresto:
          match = "regexp_like(" + s + ", " + sql_.literal(pattern) + ")";
          break;
        default:
          break;
      }
      std::string ok = match;
      for (const std::string& check : checks) ok += " AND " + check;
      std::string failure = sql_.fail("'" + std::string(fn.name) + " could not read ' || " + s +
                                          " || ' with the format ' || " + sql_.literal(format),
                                      "text");
      // Every part is checked before it is read: a text that does not match
      // fails rather than giving a date made of NULLs or defaults.
      return "(CASE WHEN " + s + " IS NULL THEN NULL WHEN NOT (" + match + ") THEN " + failure +
             " WHEN NOT (" + ok + ") THEN " + failure + " ELSE " +
             sql_.let(value,
                      [&](const std::string& x) {
                        return "(CASE WHEN " + x + " IS NULL THEN " + failure + " ELSE " + x + " END)";
                      }) +
             " END)";
    });
  }

 private:
  DateSql sql_;
};

}  // namespace

bool is_date_format_function(std::string_view name) {
  for (const Function& fn : kFunctions) {
    if (fn.name == name) return true;
  }
  return false;
}

Result<std::string, std::string> date_format_call(Engine engine, std::string_view name,
                                                  std::string_view format, const std::string& value) {
  const Function* fn = nullptr;
  for (const Function& candidate : kFunctions) {
    if (candidate.name == name) fn = &candidate;
  }
  if (fn == nullptr) {
    return make_err("Built-in function " + std::string(name) + " is not available on engine " +
                    std::string(engine_name(engine)) + ".");
  }
  TRY(std::vector<Piece> pieces, pieces_of(format, name));
  for (const Piece& piece : pieces) {
    if (!piece.literal && !takes(fn->kind, fn->parse, piece.text)) {
      return make_err("The format element %" + piece.text + " is not available in " + std::string(name) +
                      ".");
    }
  }
  Writer writer(engine);
  if (fn->parse) return writer.parse(*fn, format, pieces, value);
  return writer.format(*fn, pieces, value);
}

}  // namespace mirtova
