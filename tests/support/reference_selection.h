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
  const std::string_view sample = bytes.substr(0, 256);
  const std::size_t pairs = sample.size() / 2;
  int nuls[2] = {0, 0};
  for (std::size_t i = 0; i < 2 * pairs; ++i) {
    nuls[i % 2] += sample[i] == '\0';
  }
  return pairs >= 2 && ((nuls[0] == 0 && 2 * std::size_t(nuls[1]) >= pairs) ||
                        (nuls[1] == 0 && 2 * std::size_t(nuls[0]) >= pairs));
}

}  // namespace velkaro::tests
