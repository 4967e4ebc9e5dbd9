#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace velkaro::endgame {

// Finds the lines of one level in runs of whole lines, reading each byte once:
// every window of the run (64 bytes, 32 in 32-bit code) is turned into bit
// masks (its TABs and line breaks, and the TABs followed by the level's first
// and last bytes and the end of a field, compared in the vector registers),
// and every line of the window is decided from the masks by bit operations, as
// the fastest JSON and CSV parsers index their input. The level's other bytes,
// up to sixteen, are compared in the registers too, in the windows where a
// line's level field has those ends. No line is looked at on its own unless it
// is selected, or its level field starts with the first sixteen bytes of a
// longer level; nothing restarts and nothing walks back, whatever the lines'
// shapes.
class LevelSearch {
 public:
  // The widest vectors the processor has, or SSE2, which every supported one has.
  enum class Vectors { kWidest, kSse2 };

  explicit LevelSearch(std::string_view level, Vectors vectors = Vectors::kWidest);

  // Calls select(line) for every line of `lines` whose level field is the
  // level, in order: the same lines as the simplest reading of the rule. The
  // level holds no TAB and no line break (CanBeLevelField).
  template <typename Select>
  void ForEachLine(std::string_view lines, Select&& select) const {
    Scan(lines, select);
  }

 private:
  void Scan(std::string_view lines, const std::function<void(std::string_view)>& select) const;

  std::string level_;
  bool avx2_;
};

}  // namespace velkaro::endgame
