#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string_view>

namespace velkaro::runtime {
class InputFile;
}

namespace velkaro::endgame {

// What reading the whole list showed besides its lines.
struct ListFacts {
  // A NUL byte, which no ANSI list is expected to hold; looked for only until
  // a line is chosen, as nothing but a reading that chooses none asks.
  bool held_nul = false;
};

// Which lines a reading hands out.
class LineChoice {
 public:
  virtual ~LineChoice() = default;
  // Calls chosen(line), without its terminator, for each chosen line of
  // `lines`, a run of whole lines, in order. Runs on the reading threads, on
  // several runs at once.
  virtual void Choose(std::string_view lines,
                      const std::function<void(std::string_view)>& chosen) const = 0;
  // Whether a line is chosen whose level field is `field`: nothing where the
  // line has no TAB, or a field longer than LongestField(). For the lines
  // that cross a block's end.
  virtual bool Chooses(std::optional<std::string_view> field) const = 0;
  virtual std::size_t LongestField() const = 0;
};

// Where the chosen lines go, in the file's order, on the reading's own thread.
class LineSink {
 public:
  virtual ~LineSink() = default;
  // A line begins; its bytes follow in one part or more, then End().
  virtual void Begin() = 0;
  virtual void Part(std::string_view bytes) = 0;
  virtual void End() = 0;
};

// Blocks of this size fit, with the bytes about them, in one core's own cache
// on the processors measured (docs/performance.md).
inline constexpr std::size_t kBlockSize = std::size_t{1} << 19;

// Reads the position file `file` whole, as lines (lines.h), and hands the
// lines that `choice` chooses to `sink`. Two threads read at once, each a
// block at a time through a handle of its own, and let `choice` choose among
// the block's lines while its bytes are in that thread's processor's cache;
// this thread joins the lines that cross blocks' ends and hands out all in
// order. Each byte is looked at once, but for the lines that cross; memory is
// a few blocks' whatever the lines. A file proven to be UTF-16 is refused
// (text_encoding.h), a UTF-8 byte order mark is no part of the first line,
// and a file that ends sooner than at open is a failure. Without threads to
// read on, this one reads.
ListFacts ReadChosenLines(runtime::InputFile& file, const LineChoice& choice, LineSink& sink,
                          std::size_t block_size = kBlockSize);

}  // namespace velkaro::endgame
