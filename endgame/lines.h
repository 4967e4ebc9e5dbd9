#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "endgame/byte_search.h"

namespace velkaro::runtime {
class InputFile;
class ReadAhead;
}  // namespace velkaro::runtime

namespace velkaro::endgame {

// Position lines are TAB-separated fields; field 1 is the training level. A
// line ends at CR LF, at a lone LF or at a lone CR; the last line of a file
// needs no terminator.

inline bool IsLineBreak(char c) {
  return c == '\n' || c == '\r';
}

// Whether `c` ends a field: a TAB, or the line's end.
inline bool EndsField(char c) {
  return c == '\t' || IsLineBreak(c);
}

// Where the line that starts `text` ends: its first CR or LF, else text.size().
inline std::size_t LineEnd(std::string_view text) {
  return FindLineBreak(text);
}

// Where the line after the one ending at `end` starts (CR LF is one terminator).
inline std::size_t NextLineStart(std::string_view text, std::size_t end) {
  if (end >= text.size()) {
    return text.size();
  }
  if (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') {
    return end + 2;
  }
  return end + 1;
}

// Calls visit(line) for every line of `text`, without terminators.
template <typename Visit>
void ForEachLine(std::string_view text, Visit&& visit) {
  std::size_t start = 0;
  while (start < text.size()) {
    const std::string_view rest = text.substr(start);
    const std::size_t end = LineEnd(rest);
    visit(rest.substr(0, end));
    start += NextLineStart(rest, end);
  }
}

// Field 1 of the line cut at every TAB, or nothing for a line without a TAB.
inline std::optional<std::string_view> LevelField(std::string_view line) {
  const std::size_t first = line.find('\t');
  if (first == std::string_view::npos) {
    return std::nullopt;
  }
  const std::string_view rest = line.substr(first + 1);
  return rest.substr(0, rest.find('\t'));
}

// Whether a level field can hold these bytes at all: fields hold no TAB and no
// line break, so a level text with one matches no line.
inline bool CanBeLevelField(std::string_view level) {
  return level.find_first_of("\t\r\n") == std::string_view::npos;
}

// A line longer than a block. It is never held whole: it is read through once
// for its end and its level field, and read again only to be copied.
struct LongLine {
  std::uint64_t offset = 0;  // of its first byte in the file
  std::uint64_t length = 0;  // without its terminator
  // Its level field, when it has one no longer than was asked for.
  std::optional<std::string> level_field;
};

// Reads a position file in blocks of a fixed size and hands it out as runs of
// whole lines, so that callers can scan many lines at once; memory stays the
// block's whatever the lines' lengths. A file proven to be UTF-16 is refused
// (text_encoding.h), and a UTF-8 byte order mark is no part of the first line.
class LineBlocks {
 public:
  static constexpr std::size_t kBlockSize = std::size_t{1} << 20;

  explicit LineBlocks(runtime::InputFile& file, std::size_t block_size = kBlockSize);
  ~LineBlocks();
  LineBlocks(const LineBlocks&) = delete;
  LineBlocks& operator=(const LineBlocks&) = delete;

  // The next run of whole lines, each with its terminator but perhaps the
  // file's last; valid until the next call. Empty at the end of the file, and
  // where the next line is longer than a block: then AtLongLine().
  std::string_view Next();
  bool AtLongLine() const { return at_long_line_; }

  // Reads the long line through to its end; its level field is kept when it
  // is at most `longest_field` bytes long.
  LongLine PassLongLine(std::size_t longest_field);
  // Hands out the bytes of a long line that was passed, in order, in pieces.
  void ReadLongLine(const LongLine& line, const std::function<void(std::string_view)>& piece);

  // Whether a byte read so far was NUL: no ANSI list is expected to hold one,
  // every UTF-16 list with a TAB does. Only a reading that selects no line
  // needs to know: StopNotingNul() spares the rest of it the looking.
  bool HeldNul() const { return held_nul_; }
  void StopNotingNul() { noting_nul_.store(false, std::memory_order_relaxed); }

 private:
  // Reads until the block is full or the file is at its end.
  void Fill();
  // Notes whether bytes just read hold a NUL; on the thread that read them.
  void NoteNul(std::span<const char> read);
  // Starts reading the next block, behind what is left of this one, while the
  // caller scans the run handed out; TakeReadAhead() makes it the block, if
  // one was started.
  void StartReadAhead();
  void TakeReadAhead();
  // Drops the first `count` bytes of the block.
  void Drop(std::size_t count);
  void SkipByteOrderMark();
  // The block's first byte.
  char* Block() const;

  runtime::InputFile& file_;
  // The block is at lead_ after the buffer's first aligned byte, so that what
  // is read next, behind it, starts aligned.
  std::unique_ptr<char[]> buffer_;
  std::size_t lead_ = 0;
  std::size_t capacity_;
  // Blocks of the program's own size are read ahead, into the spare buffer.
  std::unique_ptr<char[]> spare_;
  std::size_t spare_lead_ = 0;
  std::unique_ptr<runtime::ReadAhead> ahead_;
  bool reading_ahead_ = false;
  std::size_t filled_ = 0;
  std::size_t handed_out_ = 0;
  std::uint64_t buffer_offset_ = 0;  // in the file, of the block's first byte
  bool at_end_ = false;
  bool started_ = false;
  bool at_long_line_ = false;
  // Set on the reading thread, read once its read was waited for.
  bool held_nul_ = false;
  std::atomic<bool> noting_nul_{true};
};

}  // namespace velkaro::endgame
