// Each engine's override rows, chosen from the engine table.
#include "compiler/dialects/template_rows.h"

#include "compiler/dialects/engine_table.h"

namespace mirtova {

void add_refused_rows(TemplateRows& rows, std::string_view names) {
  size_t start = 0;
  while (start < names.size()) {
    size_t end = names.find_first_of(" \n", start);
    if (end == std::string_view::npos) end = names.size();
    if (end > start) rows.push_back({names.substr(start, end - start), kNotOnThisEngine});
    start = end + 1;
  }
}

TemplateRows function_template_rows(std::string_view engine) {
  const EngineEntry* entry = find_engine(engine);
  return entry != nullptr ? entry->function_rows() : TemplateRows();
}

TemplateRows operator_template_rows(std::string_view engine) {
  const EngineEntry* entry = find_engine(engine);
  return entry != nullptr ? entry->operator_rows() : TemplateRows();
}

}  // namespace mirtova
