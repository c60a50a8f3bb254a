// Parsing the engines' library programs, and the per-thread cache of their rules.
#include "compiler/program/library_rules.h"

#include <array>
#include <optional>
#include <string>
#include <utility>

#include "common/engines.h"
#include "common/result.h"
#include "compiler/dialects/library/library_program.h"
#include "parser/depth_guard.h"
#include "parser/parse_file.h"

namespace mirtova {

namespace {

Result<LibraryRules, CompileError> cached_library_rules(Engine engine, std::string_view text) {
  // Parsed library rules by engine. Filled here, on the first request for an
  // engine on this thread that parses; thread-local storage is the guard, as
  // no other thread reaches this cache. An entry is never changed afterwards,
  // and the rules it points to are const, so the pointers handed out may
  // travel. A failure is not kept: only a stack too small for the call that
  // asked fails, and a later call may have more.
  thread_local std::array<std::optional<LibraryRules>, kEngines.size()> cache;
  std::optional<LibraryRules>& slot = cache[engine_index(engine)];
  if (!slot) {
    TRY(LibraryRules rules, parse_library_program(engine, text));
    slot = std::move(rules);
  }
  return *slot;
}

}  // namespace

Result<LibraryRules, CompileError> parse_library_program(Engine engine, std::string_view text) {
  ParseResult<Json> program = [&] {
    const DepthGuard::FixedText own_text;
    return parse_file(std::string(text));
  }();
  if (!program.ok()) {
    std::string message = "Failed to parse the library program of ";
    message += engine_name(engine);
    message += ": ";
    message += program.error().show_message();
    return CompileError(std::move(message));
  }
  std::vector<Json> rules = std::move(program.value().at_mut("rule").as_array_mut());
  return LibraryRules(std::make_shared<const std::vector<Json>>(std::move(rules)));
}

Result<LibraryRules, CompileError> library_rules(const Dialect& dialect) {
  return cached_library_rules(dialect.engine(), dialect.library_program());
}

Result<LibraryRules, CompileError> library_rules(Engine engine) {
  return cached_library_rules(engine, library_program_text(engine));
}

}  // namespace mirtova
