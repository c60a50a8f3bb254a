// The library program each engine brings: Mirtova text compiled with every user program for that engine.
#pragma once

#include <string_view>

namespace mirtova {

// The engine's library program text; empty for a name outside the seven engines.
// The texts are static, so the view never dangles.
std::string_view library_program_text(std::string_view engine);

}  // namespace mirtova
