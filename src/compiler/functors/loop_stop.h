// The mark that recursion unfolding leaves on the loops it writes, which stop
// on tests of their own.
#pragma once

#include <string_view>

namespace mirtova {

// The key of an @Iteration rule that tells how a plan sees that the loop is
// done: "newest_levels" (the iterative form: each member's two newest levels
// agree) or "new_rows" (the semi-naive form: no member holds a row new to the
// accumulator). The parser never writes it, so a loop of the user's own has no
// such key.
inline constexpr std::string_view kLoopStopKey = "loop_stop";
inline constexpr std::string_view kStopWhenLevelsAgree = "newest_levels";
inline constexpr std::string_view kStopWithoutNewRows = "new_rows";

}  // namespace mirtova
