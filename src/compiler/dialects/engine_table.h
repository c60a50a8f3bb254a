// The engine table: per engine, its dialect's factory, its library program and
// its template rows. Every choice of something by engine reads it; adding an
// engine is its own files and one row.
#pragma once

#include <array>
#include <memory>

#include "common/engines.h"
#include "compiler/dialects/dialect.h"
#include "compiler/dialects/template_rows.h"

namespace mirtova {

using RowsOf = TemplateRows (*)();

// The rows an engine takes for each family of the catalogue's functions, each
// from the engine's own file; none for a family it does not take. They are
// merged over the engine's own rows in this order, a later row replacing an
// earlier one of the same name.
struct TemplateFamilies {
  RowsOf numbers = nullptr;
  RowsOf aggregates = nullptr;
  RowsOf texts = nullptr;
  RowsOf bytes = nullptr;
  RowsOf json = nullptr;
  RowsOf arrays = nullptr;
  RowsOf dates = nullptr;
  RowsOf network = nullptr;

  constexpr std::array<RowsOf, 8> in_order() const {
    return {numbers, aggregates, texts, bytes, json, arrays, dates, network};
  }
};

struct EngineEntry {
  Engine engine;
  std::unique_ptr<Dialect> (*make_dialect)();
  std::string_view (*library_program)();
  RowsOf function_rows;
  RowsOf operator_rows;
  TemplateFamilies families;
};

// The entry of an engine.
const EngineEntry& engine_entry(Engine engine);

}  // namespace mirtova
