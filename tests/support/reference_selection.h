#pragma once

#include <string_view>

#include "endgame/lines.h"

namespace velkaro::tests {

// The reference the fast level search is checked against: the rule said in the
// simplest way. Calls select(line) for every line of `lines` whose level field
// is exactly `level`, in order. Lines without a level field match no level.
template <typename Select>
void ReferenceSelectLinesOfLevel(std::string_view lines, std::string_view level, Select&& select) {
  endgame::ForEachLine(lines, [&](std::string_view line) {
    if (endgame::LevelField(line) == level) {
      select(line);
    }
  });
}

}  // namespace velkaro::tests
