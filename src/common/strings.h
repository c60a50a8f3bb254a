// Small text helpers shared across the compiler.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace mirtova {

inline std::string join(const std::vector<std::string>& parts, std::string_view separator) {
  std::string out;
  for (size_t i = 0; i < parts.size(); ++i) {
    if (i > 0) out += separator;
    out += parts[i];
  }
  return out;
}

}  // namespace mirtova
