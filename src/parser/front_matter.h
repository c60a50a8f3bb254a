// Front matter: the optional YAML block between two "---" lines that opens a
// program file. The parser checks it and skips it, keeping line numbers.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace mirtova {

struct FrontMatterBlock {
  std::string content;    // the lines between the two "---" lines, verbatim
  size_t line_count = 0;  // lines from the start through the closing "---"
};

struct FrontMatterError {
  std::string message;  // the YAML parser's own description, without position
  size_t line = 0;      // line of the whole text (the opening "---" is line 1)
};

struct FrontMatterName {
  std::string name;
  size_t line = 1;
};

bool opens_front_matter(std::string_view text);
std::optional<FrontMatterBlock> front_matter(std::string_view text);
std::optional<FrontMatterError> check_front_matter(const FrontMatterBlock& block);
std::optional<FrontMatterName> front_matter_name(const FrontMatterBlock& block);
std::optional<std::string> front_matter_description(const FrontMatterBlock& block);
std::string blank_front_matter(std::string_view text);

}  // namespace mirtova
