#pragma once

#include <cstddef>
#include <functional>
#include <string_view>

#include "endgame/lines.h"

namespace velkaro::runtime {
class InputFile;
}

namespace velkaro::endgame {

class LineWriter;

// What reading the whole list showed besides its lines.
struct ListFacts {
  // A NUL byte, which no ANSI list is expected to hold; looked for only until
  // a line is selected, as nothing but a reading that selects none asks.
  bool held_nul = false;
};

// Copies every line of `file` whose level field is `level` to `writer`, in
// order, each followed by CR LF; `before_each` runs before each line is
// written and may stop the copy by throwing. Each byte of the file is looked
// at a bounded number of times, and memory stays a block's whatever the lines.
ListFacts CopyLinesOfLevel(runtime::InputFile& file, std::string_view level, LineWriter& writer,
                           const std::function<void()>& before_each,
                           std::size_t block_size = LineBlocks::kBlockSize);

// Reads the whole file as position lines and selects none: its read errors and
// its form are found all the same.
ListFacts ReadAllLines(runtime::InputFile& file);

}  // namespace velkaro::endgame
