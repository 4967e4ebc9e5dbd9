#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "endgame/lines.h"

namespace velkaro::tests {

// Calls visit(line) for every line that `blocks` hands out, in order, a line
// longer than a block read back whole. Clears `level_fields_agree` when the
// level field found while a long line was passed is not the line's own.
template <typename Visit>
void ForEachLineInBlocks(endgame::LineBlocks& blocks, Visit&& visit, bool& level_fields_agree) {
  for (;;) {
    const std::string_view run = blocks.Next();
    if (!run.empty()) {
      endgame::ForEachLine(run, visit);
    } else if (blocks.AtLongLine()) {
      const endgame::LongLine line = blocks.PassLongLine(SIZE_MAX);
      std::string whole;
      blocks.ReadLongLine(line, [&](std::string_view piece) { whole += piece; });
      const auto field = endgame::LevelField(whole);
      if (line.level_field != (field ? std::optional<std::string>(*field) : std::nullopt)) {
        level_fields_agree = false;
      }
      visit(std::string_view(whole));
    } else {
      return;
    }
  }
}

}  // namespace velkaro::tests
