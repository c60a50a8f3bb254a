// The engine table: per engine, its dialect's factory, its library program and
// its template rows. Every choice of something by engine reads it.
#pragma once

#include <memory>

#include "common/engines.h"
#include "compiler/dialects/dialect.h"
#include "compiler/dialects/template_rows.h"

namespace mirtova {

struct EngineEntry {
  Engine engine;
  std::unique_ptr<Dialect> (*make_dialect)();
  std::string_view (*library_program)();
  TemplateRows (*function_rows)();
  TemplateRows (*operator_rows)();
};

// The entry of an engine.
const EngineEntry& engine_entry(Engine engine);

}  // namespace mirtova
