// Tests name engines by the host's texts; below the module's edge the core
// takes Engine values.
#pragma once

#include <ostream>
#include <stdexcept>
#include <string>
#include <string_view>

#include "common/engines.h"

namespace mirtova {

// The engine of one of the seven names; any other text is a fault of the test.
inline Engine engine_of(std::string_view name) {
  if (std::optional<Engine> engine = engine_named(name)) return *engine;
  throw std::invalid_argument("no engine is named " + std::string(name));
}

inline std::ostream& operator<<(std::ostream& out, Engine engine) { return out << engine_name(engine); }

}  // namespace mirtova
