// A transparent hash for unordered containers keyed by std::string, so that
// lookups can take a std::string_view without building a string.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace mirtova {

struct StringHash {
  using is_transparent = void;
  size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
};

}  // namespace mirtova
