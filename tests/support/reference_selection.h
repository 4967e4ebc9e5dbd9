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

// Whether a file starting with `bytes` is refused as UTF-16: a byte order mark,
// or, in its first 256 bytes taken as pairs (at least two), NULs only ever in
// the same place of a pair, and there in at least half of the pairs.
inline bool ReferenceIsUtf16(std::string_view bytes) {
  if (bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF")) {
    return true;
  }
  const std::string_view sample = bytes.substr(0, 4096);
  const std::size_t pairs = sample.size() / 2;
  // Per byte order (0: little-endian, 1: big-endian): a TAB, a line break and
  // NULs in the high byte; NULs in the low byte.
  for (int order = 0; order < 2; ++order) {
    bool tab = false;
    bool line_break = false;
    std::size_t high_nuls = 0;
    std::size_t low_nuls = 0;
    for (std::size_t i = 0; i < pairs; ++i) {
      const unsigned first = static_cast<unsigned char>(sample[2 * i]);
      const unsigned second = static_cast<unsigned char>(sample[2 * i + 1]);
      const unsigned code = order == 0 ? first | (second << 8u) : (first << 8u) | second;
      tab = tab || code == 9;
      line_break = line_break || code == 10 || code == 13;
      high_nuls += code < 0x100 ? 1 : 0;
      low_nuls += (code & 0xFF) == 0 ? 1 : 0;
    }
    if ((tab && line_break) || (pairs >= 2 && low_nuls == 0 && 2 * high_nuls >= pairs)) {
      return true;
    }
  }
  return false;
}

}  // namespace velkaro::tests
