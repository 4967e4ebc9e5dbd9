#include "endgame/current_level.h"

#include <algorithm>
#include <memory>

#include "endgame/byte_search.h"
#include "endgame/lines.h"
#include "endgame/messages.h"
#include "endgame/text_encoding.h"
#include "runtime/codepage.h"
#include "runtime/failure.h"
#include "runtime/files.h"

namespace velkaro::endgame {

namespace {

// Reads start small, for the usual set whose last line is short, and double up
// to a large chunk, for a long one.
constexpr std::size_t kFirstChunk = 4 * 1024;
constexpr std::size_t kChunk = 1 << 20;

// Reads the set in growing chunks, from its end backwards or from a place forwards.
class SetReader {
 public:
  explicit SetReader(runtime::InputFile& file)
      : file_(file), chunk_(std::make_unique_for_overwrite<char[]>(kChunk)) {}

  // The place of the last byte before `end` that `find` finds in a chunk, or nothing.
  template <typename Find>
  std::optional<std::uint64_t> FindBackward(std::uint64_t end, Find find) {
    for (std::size_t chunk = kFirstChunk; end > 0; chunk = std::min(2 * chunk, kChunk)) {
      const std::uint64_t start = end > chunk ? end - chunk : 0;
      const std::string_view bytes = ReadAt(start, static_cast<std::size_t>(end - start));
      if (const std::size_t at = find(bytes); at != std::string_view::npos) {
        return start + at;
      }
      end = start;
    }
    return std::nullopt;
  }

  // Field 1 of the line that starts at `line_start` and has a TAB.
  std::string LevelFieldOfLineAt(std::uint64_t line_start) {
    std::string field;
    bool in_field = false;
    std::size_t chunk = kFirstChunk;
    for (std::uint64_t at = line_start;; chunk = std::min(2 * chunk, kChunk)) {
      const std::string_view bytes = ReadAt(at, chunk);
      if (bytes.empty()) {
        return field;
      }
      std::size_t from = 0;
      if (!in_field) {
        from = FindTab(bytes);
        if (from == bytes.size()) {
          at += bytes.size();
          continue;
        }
        in_field = true;
        ++from;
      }
      const std::size_t stop = from + FindTabOrLineBreak(bytes.substr(from));
      field.append(bytes.substr(from, stop - from));
      if (stop < bytes.size()) {
        return field;
      }
      at += bytes.size();
    }
  }

 private:
  std::string_view ReadAt(std::uint64_t offset, std::size_t size) {
    return {chunk_.get(), file_.ReadAt(offset, std::span<char>(chunk_.get(), size))};
  }

  runtime::InputFile& file_;
  std::unique_ptr<char[]> chunk_;
};

}  // namespace

std::optional<std::string> ReadCurrentLevel(const EndgamePaths& paths) {
  switch (runtime::KindOf(paths.endgame_folder)) {
    case runtime::PathKind::kMissing:
      throw runtime::Failure(EndgameFolderMissingMessage(paths.endgame_folder));
    case runtime::PathKind::kFile:
      throw runtime::Failure(EndgameFolderIsAFileMessage(paths.endgame_folder));
    case runtime::PathKind::kFolder:
      break;
  }
  // Only a set that does not exist yet has no level; any other trouble is a failure.
  if (runtime::KindOf(paths.endgame_set) == runtime::PathKind::kMissing) {
    return std::nullopt;
  }
  runtime::InputFile file(paths.endgame_set);
  SetReader set(file);
  // A set saved as UTF-16 is told by a line break of its own, looked for at
  // its start and at its end, where its last line is read anyway.
  const std::uint64_t first_line = CheckEncoding(file, kSetEncodingSample);
  const std::uint64_t size = file.Size();
  if (size > kSetEncodingSample) {
    CheckEncodingAt(file, size - kSetEncodingSample, kSetEncodingSample);
  }
  // The last line with a level field is the line of the last TAB.
  const auto last_tab = set.FindBackward(size, FindLastTab);
  if (!last_tab) {
    return std::nullopt;
  }
  const auto line_break = set.FindBackward(*last_tab, FindLastLineBreak);
  const std::uint64_t line_start = line_break ? *line_break + 1 : first_line;
  return runtime::FromFileBytes(set.LevelFieldOfLineAt(line_start));
}

}  // namespace velkaro::endgame
