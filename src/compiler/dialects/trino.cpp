#include "compiler/dialects/trino.h"

#include "compiler/dialects/number_text.h"

namespace mirtova {

std::string_view TrinoDialect::name() const { return "trino"; }
bool TrinoDialect::supports_offset() const { return true; }
std::optional<std::string> TrinoDialect::number_to_string() const { return std::string(trino_number_text()); }

}  // namespace mirtova
