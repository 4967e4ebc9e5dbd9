#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "endgame/lines.h"

namespace velkaro::endgame {

// Finds the lines of one level in runs of whole lines without looking at every
// line: it searches the run for the level as a whole field (TAB, the level,
// then TAB or a line end) and only then checks that the field is field 1 of its
// line. Nearly every line is passed over at the speed of a memory scan.
class LevelSearch {
 public:
  explicit LevelSearch(std::string_view level);

  // Calls select(line) for every line of `lines` whose level field is the
  // level, in order: the same lines as the simplest reading of the rule.
  template <typename Select>
  void ForEachLine(std::string_view lines, Select&& select) const;

 private:
  // Where the next "\t<level>" at or after `from` starts, or lines.size().
  std::size_t FindNeedle(std::string_view lines, std::size_t from) const;

  std::string needle_;  // TAB and the level
};

template <typename Select>
void LevelSearch::ForEachLine(std::string_view lines, Select&& select) const {
  std::size_t from = 0;
  for (;;) {
    const std::size_t tab = FindNeedle(lines, from);
    if (tab == lines.size()) {
      return;
    }
    const std::size_t after = tab + needle_.size();
    if (after < lines.size() && lines[after] != '\t' && !IsLineBreak(lines[after])) {
      from = tab + 1;  // a longer field that starts with the level
      continue;
    }
    // Field 1 only if no TAB stands between the line's start and this one.
    std::size_t start = tab;
    while (start > 0 && lines[start - 1] != '\t' && !IsLineBreak(lines[start - 1])) {
      --start;
    }
    if (start > 0 && lines[start - 1] == '\t') {
      from = tab + 1;
      continue;
    }
    const std::size_t end = after + LineEnd(lines.substr(after));
    select(lines.substr(start, end - start));
    from = end;
  }
}

}  // namespace velkaro::endgame
