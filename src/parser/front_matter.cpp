#include "parser/front_matter.h"

#include <libfyaml.h>

#include <memory>
#include <new>
#include <utility>
#include <vector>

#include "parser/utf8.h"

namespace mirtova {

namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";

std::string_view skip_bom(std::string_view text) {
  if (text.substr(0, kBom.size()) == kBom) text.remove_prefix(kBom.size());
  return text;
}

bool is_space(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }

std::string_view trim_end(std::string_view s) {
  while (!s.empty() && is_space(s.back())) s.remove_suffix(1);
  return s;
}

std::string_view trim(std::string_view s) {
  while (!s.empty() && is_space(s.front())) s.remove_prefix(1);
  return trim_end(s);
}

// Pieces that end just after each "\n"; a last piece without one when not empty.
std::vector<std::string_view> lines_of(std::string_view text) {
  std::vector<std::string_view> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t nl = text.find('\n', start);
    size_t end = nl == std::string_view::npos ? text.size() : nl + 1;
    lines.push_back(text.substr(start, end - start));
    start = end;
  }
  return lines;
}

// The diagnostics of one parse, collected instead of printed: the library
// writes to stderr unless told otherwise, and the host owns that stream.
struct DiagDeleter {
  void operator()(fy_diag* diag) const { fy_diag_destroy(diag); }
};
struct ParserDeleter {
  void operator()(fy_parser* parser) const { fy_parser_destroy(parser); }
};

// The line (from 1) of the first byte that is no part of a UTF-8 character.
// YAML is Unicode text, and the library loops without end on some such bytes.
std::optional<int> first_line_not_utf8(std::string_view text) {
  int line = 1;
  for (size_t at = 0; at < text.size();) {
    if (text[at] == '\n') ++line;
    std::optional<DecodedChar> c = decode_utf8(text, at);
    if (!c) return line;
    at += c->length;
  }
  return std::nullopt;
}

// One YAML stream read whole: its first document, or the first error. Aliases
// stay unresolved in the tree (expanding them is how a few bytes of YAML ask
// for gigabytes); a lookup follows one alias to its target instead.
class YamlStream {
 public:
  explicit YamlStream(std::string_view content) {
    if (std::optional<int> line = first_line_not_utf8(content)) {
      failed_ = true;
      error_ = {"the text is not valid UTF-8", *line};
      return;
    }
    fy_diag_cfg diag_cfg;
    fy_diag_cfg_default(&diag_cfg);
    diag_cfg.fp = nullptr;
    diag_cfg.output_fn = [](fy_diag*, void*, const char*, size_t) {};
    diag_.reset(fy_diag_create(&diag_cfg));
    if (!diag_) throw std::bad_alloc();
    fy_diag_set_collect_errors(diag_.get(), true);
    fy_parse_cfg cfg{};
    cfg.flags = static_cast<fy_parse_cfg_flags>(FYPCF_QUIET | FYPCF_COLLECT_DIAG | FYPCF_DEFAULT_VERSION_1_2);
    cfg.diag = diag_.get();
    parser_.reset(fy_parser_create(&cfg));
    if (!parser_ || fy_parser_set_string(parser_.get(), content.data(), content.size()) != 0)
      throw std::bad_alloc();
    while (fy_document* doc = fy_parse_load_document(parser_.get())) {
      if (!first_)
        first_ = doc;
      else
        fy_parse_document_destroy(parser_.get(), doc);
    }
    failed_ = fy_parser_get_stream_error(parser_.get()) || fy_diag_got_error(diag_.get());
  }
  ~YamlStream() {
    if (first_) fy_parse_document_destroy(parser_.get(), first_);
  }
  YamlStream(const YamlStream&) = delete;
  YamlStream& operator=(const YamlStream&) = delete;

  bool failed() const { return failed_; }
  // The first error the library reported: its text and its line from 1.
  std::pair<std::string, int> first_error() const {
    if (!diag_) return error_;
    void* iter = nullptr;
    if (fy_diag_error* error = fy_diag_errors_iterate(diag_.get(), &iter))
      return {error->msg ? error->msg : "invalid YAML", error->line};
    return {"invalid YAML", 1};
  }
  // The root of the first document when the whole stream loaded.
  fy_node* first_root() const { return failed_ || !first_ ? nullptr : fy_document_root(first_); }

 private:
  std::unique_ptr<fy_diag, DiagDeleter> diag_;
  std::unique_ptr<fy_parser, ParserDeleter> parser_;
  fy_document* first_ = nullptr;
  bool failed_ = false;
  std::pair<std::string, int> error_;  // an error found before the library ran
};

std::string_view scalar_text(fy_node* node) {
  size_t size = 0;
  const char* text = fy_node_get_scalar(node, &size);
  return text ? std::string_view(text, size) : std::string_view();
}

// The value of `key` in a mapping root; `found` says whether the key is there
// (its value may be empty, which the library gives as no node at all).
fy_node* mapping_value(fy_node* root, std::string_view key, bool& found) {
  found = false;
  void* iter = nullptr;
  while (fy_node_pair* pair = fy_node_mapping_iterate(root, &iter)) {
    fy_node* k = fy_node_pair_key(pair);
    if (!k || !fy_node_is_scalar(k) || fy_node_is_alias(k) || scalar_text(k) != key) continue;
    found = true;
    fy_node* value = fy_node_pair_value(pair);
    if (value && fy_node_is_alias(value)) value = fy_node_resolve_alias(value);
    return value;
  }
  return nullptr;
}

bool all_of(std::string_view s, bool (*digit)(char)) {
  if (s.empty()) return false;
  for (char c : s)
    if (!digit(c)) return false;
  return true;
}

bool is_dec(char c) { return c >= '0' && c <= '9'; }
bool is_oct(char c) { return c >= '0' && c <= '7'; }
bool is_hex(char c) { return is_dec(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

// An integer or a float of the YAML 1.2 core schema.
bool is_core_number(std::string_view s) {
  if (s.substr(0, 2) == "0o") return all_of(s.substr(2), is_oct);
  if (s.substr(0, 2) == "0x") return all_of(s.substr(2), is_hex);
  if (s == ".nan" || s == ".NaN" || s == ".NAN") return true;
  size_t i = 0;
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) ++i;
  std::string_view unsigned_part = s.substr(i);
  if (unsigned_part == ".inf" || unsigned_part == ".Inf" || unsigned_part == ".INF") return true;
  size_t whole = 0, fraction = 0;
  while (i < s.size() && is_dec(s[i])) ++i, ++whole;
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && is_dec(s[i])) ++i, ++fraction;
  }
  if (whole == 0 && fraction == 0) return false;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    ++i;
    if (i < s.size() && (s[i] == '-' || s[i] == '+')) ++i;
    size_t exponent = 0;
    while (i < s.size() && is_dec(s[i])) ++i, ++exponent;
    if (exponent == 0) return false;
  }
  return i == s.size();
}

bool is_plain_null(std::string_view s) {
  return s.empty() || s == "~" || s == "null" || s == "Null" || s == "NULL";
}

// A plain scalar is a string unless the YAML 1.2 core schema reads it as null,
// a boolean or a number; a quoted or block scalar is always a string. Scanned
// by hand: a regular expression engine recurses per character of a long value.
bool is_plain_non_string(std::string_view s) {
  return is_plain_null(s) || s == "true" || s == "True" || s == "TRUE" || s == "false" || s == "False" ||
         s == "FALSE" || is_core_number(s);
}

bool is_plain(fy_node* node) { return fy_node_get_style(node) == FYNS_PLAIN; }

bool is_yaml_string(fy_node* node) {
  if (!node || !fy_node_is_scalar(node)) return false;
  return !is_plain(node) || !is_plain_non_string(scalar_text(node));
}

bool is_yaml_null(fy_node* node) {
  if (!node) return true;
  return fy_node_is_scalar(node) && is_plain(node) && is_plain_null(scalar_text(node));
}

}  // namespace

bool opens_front_matter(std::string_view text) {
  text = skip_bom(text);
  if (text.empty()) return false;
  size_t nl = text.find('\n');
  std::string_view first = nl == std::string_view::npos ? text : text.substr(0, nl + 1);
  return trim_end(first) == "---";
}

std::optional<FrontMatterBlock> front_matter(std::string_view text) {
  if (!opens_front_matter(text)) return std::nullopt;
  std::vector<std::string_view> lines = lines_of(skip_bom(text));
  for (size_t i = 1; i < lines.size(); ++i) {
    if (trim_end(lines[i]) != "---") continue;
    FrontMatterBlock block;
    for (size_t j = 1; j < i; ++j) block.content += lines[j];
    block.line_count = i + 1;
    return block;
  }
  return std::nullopt;
}

std::optional<FrontMatterError> check_front_matter(const FrontMatterBlock& block) {
  YamlStream stream(block.content);
  if (!stream.failed()) return std::nullopt;
  auto [message, line_in_content] = stream.first_error();
  size_t line = static_cast<size_t>(line_in_content < 1 ? 1 : line_in_content) + 1;
  if (line > block.line_count) line = block.line_count;
  return FrontMatterError{std::move(message), line};
}

std::optional<FrontMatterName> front_matter_name(const FrontMatterBlock& block) {
  YamlStream stream(block.content);
  fy_node* root = stream.first_root();
  if (!root || !fy_node_is_mapping(root)) return std::nullopt;
  bool found = false;
  fy_node* value = mapping_value(root, "name", found);
  if (!found || !is_yaml_string(value)) return std::nullopt;
  std::string_view name = trim(scalar_text(value));
  if (name.empty()) return std::nullopt;
  FrontMatterName result{std::string(name), 1};
  std::vector<std::string_view> lines = lines_of(block.content);
  for (size_t i = 0; i < lines.size(); ++i) {
    std::string_view line = lines[i];
    if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
    while (!line.empty() && is_space(line.front())) line.remove_prefix(1);
    if (line.substr(0, 5) == "name:") {
      result.line = i + 2;
      break;
    }
  }
  return result;
}

std::optional<std::string> front_matter_description(const FrontMatterBlock& block) {
  YamlStream stream(block.content);
  fy_node* root = stream.first_root();
  if (!root || !fy_node_is_mapping(root)) return std::nullopt;
  bool found = false;
  fy_node* value = mapping_value(root, "description", found);
  if (!found) return std::nullopt;
  if (is_yaml_null(value)) return std::string();
  if (is_yaml_string(value)) return std::string(trim(scalar_text(value)));
  return std::nullopt;
}

std::string blank_front_matter(std::string_view text) {
  std::optional<FrontMatterBlock> block = front_matter(text);
  if (!block) return std::string(text);
  std::string_view rest = skip_bom(text);
  std::vector<std::string_view> lines = lines_of(rest);
  size_t skipped = 0;
  for (size_t i = 0; i < block->line_count && i < lines.size(); ++i) skipped += lines[i].size();
  std::string out(block->line_count, '\n');
  out += rest.substr(skipped);
  return out;
}

}  // namespace mirtova
