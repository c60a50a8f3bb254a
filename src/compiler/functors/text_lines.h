// Filling "{0}", "{1}", ... templates and joining lines of generated program text.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace mirtova {

// Replaces every "{i}" by the i-th value (an index may recur); other braces stay.
std::string fill(std::string_view pattern, std::initializer_list<std::string_view> values);

// The lines joined by "\n", without a final line break.
std::string join_lines(const std::vector<std::string>& lines);

}  // namespace mirtova
