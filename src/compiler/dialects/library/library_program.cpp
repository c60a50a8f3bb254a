// Chooses an engine's library program text from the engine table.
#include "compiler/dialects/library/library_program.h"

#include "compiler/dialects/engine_table.h"

namespace mirtova {

std::string_view library_program_text(std::string_view engine) {
  const EngineEntry* entry = find_engine(engine);
  return entry != nullptr ? entry->library_program() : std::string_view();
}

}  // namespace mirtova
