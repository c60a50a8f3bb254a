// Chooses an engine's library program text from the engine table.
#include "compiler/dialects/library/library_program.h"

#include "compiler/dialects/engine_table.h"

namespace mirtova {

std::string_view library_program_text(Engine engine) { return engine_entry(engine).library_program(); }

}  // namespace mirtova
