// A file's statements read one by one, before the passes over the whole rule
// list (normal forms, aggregations, imports): what a caller keeps that parses
// a text and then the same text with more statements after it, without
// reading the text's statements twice.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/result.h"
#include "parser/front_matter.h"
#include "parser/imports.h"
#include "parser/json.h"
#include "parser/parse_file.h"
#include "parser/parsing_exception.h"

namespace mirtova {

struct FileStatements {
  std::string text;
  bool has_front_matter = false;
  std::optional<FrontMatterName> front_matter_name;
  std::optional<std::string> front_matter_description;
  Json::ArrayType rules;  // each statement's rules, before the passes
  FileImports imports;
};

// The front matter's checks and every statement of the text, imports resolved.
ParseResult<FileStatements> read_statements(std::string text, const std::string& file_name,
                                            ParseSession& session, std::vector<std::string> import_chain);

// Adds the statements of `more`, which holds no import and no front matter,
// as they would be read after the text's last one.
ParseResult<Unit> read_more_statements(std::string_view more, FileStatements& statements);

// The passes over the whole rule list, and the file's tree.
ParseResult<Json> finish_file(FileStatements statements, const std::string& file_name,
                              const ParseSession& session);

}  // namespace mirtova
