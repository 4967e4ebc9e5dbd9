#pragma once

#include <cstddef>
#include <cstring>
#include <memory>
#include <optional>
#include <string_view>

namespace velkaro::runtime {
class InputFile;
}

namespace velkaro::endgame {

// Position lines are TAB-separated fields; field 1 is the training level. A
// line ends at CR LF, at a lone LF or at a lone CR; the last line of a file
// needs no terminator.

inline bool IsLineBreak(char c) {
  return c == '\n' || c == '\r';
}

// Where the line that starts `text` ends: its first CR or LF, else text.size().
inline std::size_t LineEnd(std::string_view text) {
  const char* begin = text.data();
  const auto* lf = static_cast<const char*>(std::memchr(begin, '\n', text.size()));
  const std::size_t limit = lf != nullptr ? static_cast<std::size_t>(lf - begin) : text.size();
  const auto* cr = static_cast<const char*>(std::memchr(begin, '\r', limit));
  return cr != nullptr ? static_cast<std::size_t>(cr - begin) : limit;
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

// Reads a file in large blocks and hands it out as runs of whole lines, so that
// callers can scan many lines at once. Memory grows only when one line is
// longer than a block.
class LineBlocks {
 public:
  static constexpr std::size_t kBlockSize = std::size_t{1} << 20;

  explicit LineBlocks(runtime::InputFile& file, std::size_t block_size = kBlockSize);

  // The next run of whole lines, each with its terminator but perhaps the
  // file's last; empty at the end of the file. Valid until the next call.
  std::string_view Next();

 private:
  runtime::InputFile& file_;
  std::unique_ptr<char[]> buffer_;
  std::size_t capacity_;
  std::size_t filled_ = 0;
  std::size_t handed_out_ = 0;
  bool at_end_ = false;
};

}  // namespace velkaro::endgame
