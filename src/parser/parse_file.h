// parse_file: the one entry into parsing. A whole program text (and every file
// it imports) becomes one program tree, or the first parse error met.
#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "parser/json.h"
#include "parser/parsing_exception.h"

namespace mirtova {

// State that one parse_file call lends to every file parsed beneath it.
struct ParseSession {
  std::map<std::string, Json> parsed_files;  // file key -> program tree
  std::set<std::string> files_under_way;
  std::vector<std::string> import_roots;
};

ParseResult<Json> parse_file(std::string text, std::optional<std::string> file_name = std::nullopt,
                             std::vector<std::string> import_roots = {});

ParseResult<Json> parse_file_internal(std::string text, const std::string& file_name, ParseSession& session,
                                      std::vector<std::string> import_chain);

// Byte range of line `line` (from 1) without its line terminator; (0, 0) when
// the text has fewer lines.
std::pair<size_t, size_t> line_bounds(std::string_view text, size_t line);

}  // namespace mirtova
