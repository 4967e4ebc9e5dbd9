#pragma once

#include <string_view>

#include "endgame/lines.h"

namespace velkaro::endgame {

// Whether a level field can hold these bytes at all: fields hold no TAB and no
// line break, so a level text with one matches no line.
inline bool CanBeLevelField(std::string_view level) {
  return level.find_first_of("\t\r\n") == std::string_view::npos;
}

// Calls select(line) for every line of `lines` whose level field is exactly
// `level`, in order. Lines without a level field match no level.
template <typename Select>
void SelectLinesOfLevel(std::string_view lines, std::string_view level, Select&& select) {
  ForEachLine(lines, [&](std::string_view line) {
    if (LevelField(line) == level) {
      select(line);
    }
  });
}

}  // namespace velkaro::endgame
