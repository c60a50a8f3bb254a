// Each engine's override rows, chosen from the engine table.
#include "compiler/dialects/template_rows.h"

#include "compiler/dialects/engine_table.h"

namespace mirtova {

std::string arity_row_name(std::string_view name, size_t count) {
  return std::string(name) + "/" + std::to_string(count);
}

void add_refused_rows(TemplateRows& rows, std::string_view names) {
  size_t start = 0;
  while (start < names.size()) {
    size_t end = names.find_first_of(" \n", start);
    if (end == std::string_view::npos) end = names.size();
    if (end > start) rows.push_back({names.substr(start, end - start), kNotOnThisEngine});
    start = end + 1;
  }
}

TemplateRows function_template_rows(Engine engine) {
  const EngineEntry& entry = engine_entry(engine);
  // The engine's own rows, then its rows of each family it takes.
  TemplateRows rows = entry.function_rows();
  for (RowsOf family : entry.families.in_order()) {
    if (family == nullptr) continue;
    TemplateRows more = family();
    rows.insert(rows.end(), more.begin(), more.end());
  }
  return rows;
}

TemplateRows operator_template_rows(Engine engine) { return engine_entry(engine).operator_rows(); }

}  // namespace mirtova
