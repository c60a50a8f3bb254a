#include "parser/front_matter.h"

#include <yaml-cpp/yaml.h>

#include <regex>
#include <vector>

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

// Loads the first document of the block, or nothing when it does not load.
std::optional<YAML::Node> load_first(const FrontMatterBlock& block) {
  try {
    std::vector<YAML::Node> docs = YAML::LoadAll(block.content);
    if (docs.empty()) return std::nullopt;
    return docs.front();
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

// A plain scalar is a string unless the YAML 1.2 core schema reads it as null,
// a boolean or a number; a quoted scalar is always a string.
bool is_plain_non_string(const std::string& s) {
  static const std::regex kCore(
      "^(~|null|Null|NULL|true|True|TRUE|false|False|FALSE|[-+]?[0-9]+|0o[0-7]+|0x[0-9a-fA-F]+|"
      "[-+]?(\\.[0-9]+|[0-9]+(\\.[0-9]*)?)([eE][-+]?[0-9]+)?|[-+]?\\.(inf|Inf|INF)|\\.nan|\\.NaN|\\.NAN)$");
  return s.empty() || std::regex_match(s, kCore);
}

bool is_yaml_string(const YAML::Node& node) {
  if (!node.IsScalar()) return false;
  if (node.Tag() == "!") return true;  // quoted
  return !is_plain_non_string(node.Scalar());
}

bool is_yaml_null(const YAML::Node& node) {
  if (node.IsNull()) return true;
  if (!node.IsScalar() || node.Tag() == "!") return false;
  const std::string& s = node.Scalar();
  return s.empty() || s == "~" || s == "null" || s == "Null" || s == "NULL";
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
  try {
    (void)YAML::LoadAll(block.content);
    return std::nullopt;
  } catch (const YAML::Exception& e) {
    size_t line = static_cast<size_t>(e.mark.line < 0 ? 0 : e.mark.line) + 2;
    if (line > block.line_count) line = block.line_count;
    return FrontMatterError{e.msg, line};
  }
}

std::optional<FrontMatterName> front_matter_name(const FrontMatterBlock& block) {
  std::optional<YAML::Node> doc = load_first(block);
  if (!doc || !doc->IsMap()) return std::nullopt;
  YAML::Node value = (*doc)["name"];
  if (!value || !is_yaml_string(value)) return std::nullopt;
  std::string_view name = trim(value.Scalar());
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
  std::optional<YAML::Node> doc = load_first(block);
  if (!doc || !doc->IsMap()) return std::nullopt;
  YAML::Node value = (*doc)["description"];
  if (!value) return std::nullopt;
  if (is_yaml_null(value)) return std::string();
  if (is_yaml_string(value)) return std::string(trim(value.Scalar()));
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
