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
    // The first candidate of a line decides it: the level field follows the
    // line's first TAB, so a later candidate, or a longer field that starts
    // with the level, means the line is not selected. Either way the search
    // goes on after the line, so that no byte is looked at again and again.
    const std::size_t after = tab + needle_.size();
    const std::size_t end = after + LineEnd(lines.substr(after));
    std::size_t start = tab;
    while (start > 0 && lines[start - 1] != '\t' && !IsLineBreak(lines[start - 1])) {
      --start;
    }
    const bool whole_field = end == after || lines[after] == '\t';
    const bool field_1 = start == 0 || lines[start - 1] != '\t';
    if (whole_field && field_1) {
      select(lines.substr(start, end - start));
    }
    from = end;
  }
}

}  // namespace velkaro::endgame
