#pragma once

#include <cstddef>
#include <string_view>

namespace velkaro::endgame {

// Searches for the bytes that shape position lines (TAB, CR, LF) at the speed
// of a memory scan, each byte looked at once, whatever the lines' lengths,
// through the window masks of the level search (level_scan.h).

// The first CR or LF of `text`, or text.size().
std::size_t FindLineBreak(std::string_view text);
// The first TAB, CR or LF of `text`, or text.size().
std::size_t FindTabOrLineBreak(std::string_view text);
// The first TAB of `text`, or text.size().
std::size_t FindTab(std::string_view text);
// The last TAB of `text`, or std::string_view::npos.
std::size_t FindLastTab(std::string_view text);
// The last CR or LF of `text`, or std::string_view::npos.
std::size_t FindLastLineBreak(std::string_view text);

// Whether `text` holds a NUL byte.
bool HoldsNul(std::string_view text);

}  // namespace velkaro::endgame
