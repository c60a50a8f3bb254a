// The engine table: per engine, its dialect's factory, its library program and
// its template rows. Every choice of something by engine name reads it.
#pragma once

#include <memory>
#include <string_view>

#include "compiler/dialects/dialect.h"
#include "compiler/dialects/template_rows.h"

namespace mirtova {

struct EngineEntry {
  std::string_view name;
  std::unique_ptr<Dialect> (*make_dialect)();
  std::string_view (*library_program)();
  TemplateRows (*function_rows)();
  TemplateRows (*operator_rows)();
};

// The entry of one of the seven engines, compared byte for byte; nullptr for
// any other name.
const EngineEntry* find_engine(std::string_view name);

}  // namespace mirtova
