#pragma once

#include <algorithm>
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

// Whether the `size` bytes of a file's `bytes` from `from` (an even offset)
// prove it to be UTF-16: a CR LF as two UTF-16 code units, in either byte
// order, at an even offset.
inline bool ReferenceProvesUtf16(std::string_view bytes, std::size_t from, std::size_t size) {
  using namespace std::string_view_literals;
  const std::string_view sample = bytes.substr(std::min(from, bytes.size()), size);
  for (std::size_t i = 0; i + 4 <= sample.size(); i += 2) {
    if (sample.substr(i, 4) == "\r\0\n\0"sv || sample.substr(i, 4) == "\0\r\0\n"sv) {
      return true;
    }
  }
  return false;
}

// Whether a file is refused as UTF-16 by the rebuild (`sample` 64 KiB) or the
// lookup at start (4 KiB): a byte order mark, or proof in its first `sample`
// bytes, or, for the lookup, in its last 4 KiB from an even offset.
inline bool ReferenceIsUtf16(std::string_view bytes, std::size_t sample, bool at_end_too) {
  if (bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF") ||
      ReferenceProvesUtf16(bytes, 0, sample)) {
    return true;
  }
  if (!at_end_too || bytes.size() <= sample) {
    return false;
  }
  const std::size_t end = bytes.size() - sample;
  return ReferenceProvesUtf16(bytes, end - end % 2, sample);
}

}  // namespace velkaro::tests
