#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

#include "endgame/byte_search.h"

namespace velkaro::endgame {

// Position lines are TAB-separated fields; field 1 is the training level. A
// line ends at CR LF, at a lone LF or at a lone CR; the last line of a file
// needs no terminator.

// Whether `c` ends a field: a TAB, or the line's end. Written without a
// branch, for the scan's candidates (window_masks.h).
inline bool EndsField(char c) {
  constexpr unsigned kEnds = 1U << '\t' | 1U << '\n' | 1U << '\r';
  const auto byte = static_cast<unsigned char>(c);
  return byte < 16 && ((kEnds >> byte) & 1U) != 0;
}

// Where the line that starts `text` ends: its first CR or LF, else text.size().
inline std::size_t LineEnd(std::string_view text) {
  return FindLineBreak(text);
}

// Where the line after the one ending at `end` starts (CR LF is one terminator).
inline std::size_t NextLineStart(std::string_view text, std::size_t end) {
  if (end >= text.size()) {
    return text.size();
  }
  if (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') {
    return end + 2;
  }
  return end + 1;
}

// Calls visit(line) for every line of `text`, without terminators.
template <typename Visit>
void ForEachLine(std::string_view text, Visit&& visit) {
  std::size_t start = 0;
  while (start < text.size()) {
    const std::string_view rest = text.substr(start);
    const std::size_t end = LineEnd(rest);
    visit(rest.substr(0, end));
    start += NextLineStart(rest, end);
  }
}

// Field 1 of the line cut at every TAB, or nothing for a line without a TAB.
inline std::optional<std::string_view> LevelField(std::string_view line) {
  const std::size_t first = line.find('\t');
  if (first == std::string_view::npos) {
    return std::nullopt;
  }
  const std::string_view rest = line.substr(first + 1);
  return rest.substr(0, rest.find('\t'));
}

// Whether a level field can hold these bytes at all: fields hold no TAB and no
// line break, so a level text with one matches no line.
inline bool CanBeLevelField(std::string_view level) {
  return level.find_first_of("\t\r\n") == std::string_view::npos;
}

}  // namespace velkaro::endgame
