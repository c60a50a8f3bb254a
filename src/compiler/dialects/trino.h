// The Trino dialect (engine "trino"): Presto's, but with OFFSET and its own number text.
#pragma once

#include "compiler/dialects/presto.h"

namespace mirtova {

class TrinoDialect : public PrestoDialect {
 public:
  std::string_view name() const override;
  bool supports_offset() const override;
  std::optional<std::string> number_to_string() const override;
};

}  // namespace mirtova
