// The sets of names the layers hand each other, named by what they are for.
#pragma once

#include <functional>
#include <set>
#include <string>
#include <unordered_set>

#include "common/string_hash.h"

namespace mirtova {

// Names walked in ascending byte order, looked up by any text.
using SortedNames = std::set<std::string, std::less<>>;

// Names only looked up, by any text; never walked, so their order is none.
using HashedNames = std::unordered_set<std::string, StringHash, std::equal_to<>>;

}  // namespace mirtova
