#include "parser/imports.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <system_error>
#include <utility>

#include "common/strings.h"
#include "parser/depth_guard.h"
#include "parser/tree_access.h"
#include "parser/tree_build.h"
#include "parser/tree_walk.h"
#include "parser/unicode_tables.h"
#include "parser/utf8.h"

namespace mirtova {

namespace {

using Renames = std::map<std::string, std::string, std::less<>>;

std::vector<std::string> split_dots(std::string_view text) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (true) {
    size_t dot = text.find('.', start);
    parts.emplace_back(
        text.substr(start, dot == std::string_view::npos ? std::string_view::npos : dot - start));
    if (dot == std::string_view::npos) return parts;
    start = dot + 1;
  }
}

bool begins_with_upper_case(std::string_view text) {
  std::optional<DecodedChar> first = decode_utf8(text, 0);
  if (!first) return false;
  char32_t c = first->code_point;
  return (c >= U'A' && c <= U'Z') || is_uppercase(c);
}

// An import path reaches a file below a root only when every dotted component
// is a plain name: an empty one would make an absolute path or "..", a "/" or
// a NUL byte would leave the directory structure the dots describe.
bool stays_under_root(std::string_view path) {
  if (path.find('/') != std::string_view::npos || path.find('\0') != std::string_view::npos) return false;
  for (const std::string& part : split_dots(path)) {
    if (part.empty()) return false;
  }
  return true;
}

struct FileText {
  std::string text;
  std::optional<std::string> error;
};

// Imported files larger than this are refused before they are read.
constexpr size_t kMaxImportBytes = 16 * 1024 * 1024;

// Whether `path` names `root` or something beneath it; both resolved.
bool lies_under(const std::filesystem::path& path, const std::filesystem::path& root) {
  auto r = root.begin();
  for (auto p = path.begin(); r != root.end(); ++r, ++p) {
    if (r->empty()) continue;  // the empty last component of a root given with "/"
    if (p == path.end() || *p != *r) return false;
  }
  return true;
}

// Reads an imported file. Only a regular file whose resolved path lies under
// the root it was found in, and no larger than kMaxImportBytes: a link may not
// lead out of the root, and a pipe or a device would block or never end.
FileText read_import(const std::filesystem::path& candidate, const std::string& root) {
  FileText out;
  std::error_code ec;
  const std::filesystem::path real = std::filesystem::canonical(candidate, ec);
  const std::filesystem::path real_root =
      ec ? std::filesystem::path() : std::filesystem::canonical(root.empty() ? "." : root, ec);
  if (ec) {
    out.error = ec.message();
    return out;
  }
  if (!lies_under(real, real_root)) {
    out.error = "the file lies outside the import root";
    return out;
  }
  const int fd = ::open(real.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) {
    out.error = std::generic_category().message(errno);
    return out;
  }
  struct stat info {};
  if (::fstat(fd, &info) != 0) {
    out.error = std::generic_category().message(errno);
  } else if (S_ISDIR(info.st_mode)) {
    out.error = std::generic_category().message(EISDIR);
  } else if (!S_ISREG(info.st_mode)) {
    out.error = "not a regular file";
  } else if (static_cast<uint64_t>(info.st_size) > kMaxImportBytes) {
    out.error = "the file is larger than " + std::to_string(kMaxImportBytes) + " bytes";
  }
  // Read straight into the text: a buffer on the stack would take room that
  // every file of an import chain, each read inside the one before, needs.
  constexpr size_t kChunk = 65536;
  size_t filled = 0;
  while (!out.error) {
    if (out.text.size() < filled + kChunk) out.text.resize(filled + kChunk);
    const ssize_t n = ::read(fd, out.text.data() + filled, kChunk);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      out.error = std::generic_category().message(errno);
      break;
    }
    if (n == 0) break;
    filled += static_cast<size_t>(n);
    // The file may have grown since it was measured.
    if (filled > kMaxImportBytes)
      out.error = "the file is larger than " + std::to_string(kMaxImportBytes) + " bytes";
  }
  out.text.resize(std::min(filled, out.text.size()));
  ::close(fd);
  if (!out.error && to_valid_utf8(out.text) != out.text) out.error = "the file is not valid UTF-8 text";
  return out;
}

struct FoundImport {
  std::filesystem::path path;
  std::string root;
};

// The first candidate under the roots that the file system knows.
std::optional<FoundImport> find_import(const std::vector<std::string>& roots, const std::string& relative) {
  std::vector<std::string> tried = roots.empty() ? std::vector<std::string>{""} : roots;
  for (const std::string& root : tried) {
    std::filesystem::path candidate =
        root.empty() ? std::filesystem::path(relative) : std::filesystem::path(root) / relative;
    std::error_code ec;
    (void)std::filesystem::status(candidate, ec);
    if (!ec) return FoundImport{std::move(candidate), root};
  }
  return std::nullopt;
}

ParsingException message_error(std::string message, std::string text) {
  return ParsingException(std::move(message), SpanString(std::move(text)));
}

// A path component as it opens a prefix: first byte upper case, the rest lower.
std::string capitalised(const std::string& component) {
  std::string out = component;
  if (out.empty() || static_cast<unsigned char>(out[0]) >= 0x80) return out;
  out[0] = ascii_upper(out[0]);
  for (size_t i = 1; i < out.size(); ++i) out[i] = ascii_lower(out[i]);
  return out;
}

// Components join the prefix from the last towards the first until it is one
// no other file of the parse has.
ParseResult<std::string> choose_prefix(const std::string& file_name, const ParseSession& session) {
  std::set<std::string> taken;
  for (const auto& [key, tree] : session.parsed_files) {
    if (const Json* prefix = tree.get("predicates_prefix")) taken.emplace(prefix->as_str());
  }
  std::vector<std::string> components = split_dots(file_name);
  std::string prefix = capitalised(components.back()) + "_";
  for (size_t next = components.size() - 1; taken.contains(prefix); --next) {
    if (next == 0) return message_error("Import paths equal modulo _ and /.", prefix);
    prefix = components[next - 1] + prefix;
  }
  return prefix;
}

bool is_statement_word_char(char32_t c) {
  if (c < 0x80) {
    return (c >= U'a' && c <= U'z') || (c >= U'A' && c <= U'Z') || (c >= U'0' && c <= U'9') || c == U'\'' ||
           c == U'_';
  }
  return is_alphabetic(c) || has_numeric_type(c) || (c >= 0x2080 && c <= 0x209C);
}

// The statement of an assertion names predicates in its words; quoted parts
// are left as written. Answers the number of words replaced.
int32_t rename_in_statement(std::string& text, const Renames& renames) {
  std::string out;
  out.reserve(text.size());
  int32_t count = 0;
  bool quoted = false;
  size_t at = 0;
  while (at < text.size()) {
    std::optional<DecodedChar> c = decode_utf8(text, at);
    size_t length = c ? c->length : 1;
    if (text[at] == '"') {
      quoted = !quoted;
    } else if (!quoted && c && is_statement_word_char(c->code_point)) {
      size_t end = at;
      while (end < text.size()) {
        std::optional<DecodedChar> w = decode_utf8(text, end);
        if (!w || !is_statement_word_char(w->code_point)) break;
        end += w->length;
      }
      std::string_view word = std::string_view(text).substr(at, end - at);
      auto found = renames.find(word);
      if (found != renames.end()) {
        out += found->second;
        ++count;
      } else {
        out += word;
      }
      at = end;
      continue;
    }
    out.append(text, at, length);
    at += length;
  }
  if (count > 0) text = std::move(out);
  return count;
}

int32_t rename_in_string_literal(Json& holder, const Renames& renames) {
  Json& value = holder.at_mut("the_string");
  if (!value.is_str()) return 0;
  std::string before(value.as_str());
  std::string text = before;
  int32_t count = rename_in_statement(text, renames);
  if (count == 0) return 0;
  value = Json(std::move(text));
  if (!holder.has("statement_source")) holder.set("statement_source", std::move(before));
  return count;
}

bool renames_string(const std::string& key, Json& value, const Renames& renames, int32_t& count) {
  if ((key != "predicate_name" && key != "field") || !value.is_str()) return false;
  auto found = renames.find(std::string(value.as_str()));
  if (found == renames.end()) return false;
  value = Json(found->second);
  ++count;
  return true;
}

// Every tree of the session's files in ascending key order, with its names.
std::set<std::string> defined_and_made(const Json::ArrayType& rules) {
  std::set<std::string> names = statement_heads(rules);
  names.merge(made_predicates(rules));
  return names;
}

Json import_node(const std::string& file_key, const std::string& predicate,
                 const std::optional<std::string>& synonym) {
  return make_object("file", file_key, "predicate_name", predicate, "synonym",
                     synonym ? Json(*synonym) : Json());
}

std::string local_name(const Json& node) {
  const Json& synonym = node.at("synonym");
  return std::string(synonym.is_null() ? node.at("predicate_name").as_str() : synonym.as_str());
}

// Fills the written names of "main": each import's local name, and every
// other name of an imported file by its name without the prefix, unless two
// files share it or the top file already uses it.
Json written_names(const Json::ArrayType& rules, const FileImports& file, const ParseSession& session) {
  Json names = Json::object();
  // The top file's names only decide for names of imported files; a file
  // that imports nothing is spared a walk over all its rules.
  std::set<std::string> top_names;
  if (!session.parsed_files.empty()) top_names = statement_heads(rules);
  for (const Json& node : file.nodes) {
    const std::string prefix(
        session.parsed_files.at(std::string(node.at("file").as_str())).at("predicates_prefix").as_str());
    std::string local = local_name(node);
    names.set(prefix + std::string(node.at("predicate_name").as_str()), local);
    top_names.insert(std::move(local));
  }
  std::map<std::string, std::vector<std::string>> filed;  // rest after the prefix -> internal names
  for (const auto& [key, tree] : session.parsed_files) {
    const std::string prefix(tree.at("predicates_prefix").as_str());
    for (const std::string& name : defined_and_made(tree.at("rule").as_array())) {
      if (name.size() > prefix.size() && name.compare(0, prefix.size(), prefix) == 0 && !names.has(name))
        filed[name.substr(prefix.size())].push_back(name);
    }
  }
  for (const auto& [rest, internal_names] : filed) {
    if (internal_names.size() == 1 && !top_names.contains(rest)) names.set(internal_names.front(), rest);
  }
  return names;
}

// Appends every imported file's rules to the top file's, refusing a file whose
// predicate the top file (or a file merged before it) defines as well.
ParseResult<Unit> merge_files(Json::ArrayType& rules, const ParseSession& session) {
  if (session.parsed_files.empty()) return Unit{};
  std::set<std::string> seen = statement_heads(rules);
  for (const auto& [key, tree] : session.parsed_files) {
    const Json::ArrayType& file_rules = tree.at("rule").as_array();
    std::set<std::string> defined = statement_heads(file_rules);
    for (const std::string& name : defined) {
      if (!name.empty() && name[0] != '@' && seen.contains(name))
        return message_error("Predicate from file is overridden by importer.", name);
    }
    seen.merge(defined);
    rules.insert(rules.end(), file_rules.begin(), file_rules.end());
  }
  return Unit{};
}

}  // namespace

std::set<std::string> statement_heads(const Json::ArrayType& rules) {
  std::set<std::string> names;
  for (const Json& rule : rules) names.emplace(rule.at("head").at("predicate_name").as_str());
  return names;
}

// A hand-written @Make whose first argument is no predicate literal makes no
// name here; the functor passes report it.
std::set<std::string> made_predicates(const Json::ArrayType& rules) {
  std::set<std::string> names;
  for (const Json& rule : rules) {
    if (head_name(rule) != "@Make") continue;
    const Json* made = made_expression(rule);
    if (made != nullptr && made->has("literal"))
      if (std::optional<std::string> name = predicate_name(*made)) names.insert(std::move(*name));
  }
  return names;
}

int32_t rename_predicates(Json& rule, const Renames& renames) {
  if (renames.empty()) return 0;
  const Json* head_name = rule.get("head") ? rule.at("head").get("predicate_name") : nullptr;
  const bool is_assert = head_name != nullptr && head_name->is_str() && head_name->as_str() == "@Assert";
  int32_t count = 0;
  walk_tree_mut(rule, [&](Json& node) {
    for (auto& [key, value] : node.as_object_mut()) renames_string(key, value, renames, count);
    if (is_assert && node.has("the_string")) count += rename_in_string_literal(node, renames);
  });
  return count;
}

int32_t rename_predicate(Json& rule, std::string_view old_name, std::string_view new_name) {
  return rename_predicates(rule, Renames{{std::string(old_name), std::string(new_name)}});
}

ParseResult<Unit> resolve_import(const SpanString& statement, ParseSession& session,
                                 const std::vector<std::string>& import_chain, FileImports& file) {
  const std::string import_text(statement.view().substr(7));
  std::string path = import_text;
  std::optional<std::string> synonym;
  if (size_t as = import_text.find(" as "); as != std::string::npos) {
    if (import_text.find(" as ", as + 1) != std::string::npos)
      return message_error("Too many as", import_text);
    path = import_text.substr(0, as);
    synonym = import_text.substr(as + 4);
  }
  std::vector<std::string> components = split_dots(path);
  std::string predicate = components.back();
  if (predicate.empty() || !begins_with_upper_case(predicate))
    return message_error("One import per predicate please.", import_text);
  components.pop_back();
  const std::string file_key = join(components, ".");

  if (!session.parsed_files.contains(file_key)) {
    if (session.files_under_way.contains(file_key))
      return message_error("Circular imports are not allowed: " + join(import_chain, "->") + "->" + file_key,
                           file_key);
    // Each file of an import chain is parsed inside the one that imports it.
    if (import_chain.size() >= kMaxParseDepth || stack_nearly_exhausted())
      return message_error(kTooDeepMessage, file_key);
    session.files_under_way.insert(file_key);
    std::string relative = file_key;
    for (char& c : relative) {
      if (c == '.') c = '/';
    }
    relative += ".l";
    std::optional<FoundImport> found;
    if (stays_under_root(path)) found = find_import(session.import_roots, relative);
    if (!found)
      return message_error("Imported file not found: " + relative, "import " + file_key + ".<PREDICATE>");
    FileText read = read_import(found->path, found->root);
    if (read.error) return message_error("Failed to read file: " + *read.error, found->path.string());
    TRY(Json tree, parse_file_internal(std::move(read.text), file_key, session, import_chain));
    session.parsed_files[file_key] = std::move(tree);
    session.files_under_way.erase(file_key);
  }

  file.nodes.push_back(import_node(file_key, predicate, synonym));
  if (!file.imported_names.contains(file_key))
    file.imported_names[file_key] =
        defined_and_made(session.parsed_files.at(std::string(file_key)).at("rule").as_array());
  return Unit{};
}

ParseResult<AppliedImports> apply_imports(const std::string& file_name, Json::ArrayType rules,
                                          const FileImports& file, const ParseSession& session) {
  AppliedImports out;
  if (file_name != "main") {
    TRY(out.prefix, choose_prefix(file_name, session));
    Renames own;
    for (const std::string& name : defined_and_made(rules)) {
      if (name.empty() || name[0] == '@' || name == "++?") continue;
      own.emplace(name, out.prefix + name);
    }
    for (Json& rule : rules) rename_predicates(rule, own);
  }

  for (const Json& node : file.nodes) {
    const std::string file_key(node.at("file").as_str());
    const std::string predicate(node.at("predicate_name").as_str());
    const std::string prefix(session.parsed_files.at(file_key).at("predicates_prefix").as_str());
    if (prefix.empty()) return message_error("Empty import prefix", file_key);
    const std::string internal = prefix + predicate;
    int32_t count = 0;
    for (Json& rule : rules) count += rename_predicate(rule, local_name(node), internal);
    const std::set<std::string>& names = file.imported_names.at(file_key);
    if (!names.contains(internal) && !names.contains(predicate))
      return message_error("Predicate imported but not defined.", file_key + " -> " + predicate);
    if (count == 0) return message_error("Predicate imported but not used.", file_key + " -> " + predicate);
  }

  if (file_name == "main") {
    out.predicate_names = written_names(rules, file, session);
    TRY_VOID(merge_files(rules, session));
  }
  out.rules = std::move(rules);
  return out;
}

}  // namespace mirtova
