#pragma once

#include <cstddef>
#include <functional>
#include <string_view>

#include "endgame/line_reading.h"

namespace velkaro::runtime {
class InputFile;
}

namespace velkaro::endgame {

class LineWriter;

// Copies every line of `file` whose level field is `level` to `writer`, in
// order, each followed by CR LF; `before_each` runs once for each line before
// its bytes are written, and may stop the copy by throwing. Each byte of the
// file is looked at a bounded number of times, and memory stays a few blocks'
// whatever the lines (ReadChosenLines).
ListFacts CopyLinesOfLevel(runtime::InputFile& file, std::string_view level, LineWriter& writer,
                           const std::function<void()>& before_each,
                           std::size_t block_size = kBlockSize);

// Reads the whole file as position lines and selects none: its read errors and
// its form are found all the same.
ListFacts ReadAllLines(runtime::InputFile& file);

}  // namespace velkaro::endgame
