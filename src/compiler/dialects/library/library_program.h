// The library program each engine brings: Mirtova text compiled with every user program for that engine.
#pragma once

#include <string_view>

#include "common/engines.h"

namespace mirtova {

// The engine's library program text. The texts are static, so the view never dangles.
std::string_view library_program_text(Engine engine);

}  // namespace mirtova
