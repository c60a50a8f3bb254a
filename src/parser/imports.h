// Imports of predicates from other program files: resolving an import
// statement (reading and parsing the file once per parse), prefixing an
// imported file's names, the import checks, and, for the top file, merging
// every file's rules and recording the names the user wrote.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "parser/json.h"
#include "parser/parse_file.h"
#include "parser/parsing_exception.h"
#include "parser/span.h"

namespace mirtova {

// What one file's parse learns from its import statements.
struct FileImports {
  Json::ArrayType nodes;  // one import node per statement, in source order
  // File key -> the names that file defines or makes, filled on first import.
  std::map<std::string, std::set<std::string>> imported_names;
};

// Resolves one import statement (already stripped, beginning with "import "),
// parsing the imported file through the driver unless the session holds it.
// `import_chain` ends with the importing file's own name.
ParseResult<Unit> resolve_import(const SpanString& statement, ParseSession& session,
                                 const std::vector<std::string>& import_chain, FileImports& file);

struct AppliedImports {
  std::string prefix;
  Json::ArrayType rules;
  Json predicate_names = Json::object();  // internal -> written; only for "main"
};

// Runs after the rewrite passes: the file's prefix and renaming, the import
// checks, and for "main" the written-name map and the merge of every file.
ParseResult<AppliedImports> apply_imports(const std::string& file_name, Json::ArrayType rules,
                                          const FileImports& file, const ParseSession& session);

// Renames, in place and in one pass, every use of a predicate named by a key
// of `renames` to its value; answers how many names were replaced. Doing all
// names at once keeps A and Prefix_A apart when both are renamed.
int32_t rename_predicates(Json& rule, const std::map<std::string, std::string, std::less<>>& renames);
int32_t rename_predicate(Json& rule, std::string_view old_name, std::string_view new_name);

// The head name of every statement, annotations' included.
std::set<std::string> statement_heads(const Json::ArrayType& rules);
// The names the "@Make" statements make.
std::set<std::string> made_predicates(const Json::ArrayType& rules);

}  // namespace mirtova
