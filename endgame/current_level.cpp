#include "endgame/current_level.h"

#include <array>

#include "app/runtime/codepage.h"
#include "app/runtime/failure.h"
#include "app/runtime/files.h"
#include "endgame/lines.h"
#include "endgame/messages.h"

namespace velkaro::endgame {

namespace {

constexpr std::size_t kChunk = 64 * 1024;

// The position of the last byte before `end` for which found(byte) holds.
template <typename Found>
std::optional<std::uint64_t> FindBackward(runtime::InputFile& file, std::uint64_t end,
                                          Found found) {
  std::array<char, kChunk> chunk;
  while (end > 0) {
    const std::uint64_t start = end > kChunk ? end - kChunk : 0;
    const auto length =
        file.ReadAt(start, std::span<char>(chunk.data(), static_cast<std::size_t>(end - start)));
    for (std::size_t i = length; i > 0; --i) {
      if (found(chunk[i - 1])) {
        return start + i - 1;
      }
    }
    end = start;
  }
  return std::nullopt;
}

// The level field of the line that starts at `line_start`, which has a TAB.
std::string LevelFieldOfLineAt(runtime::InputFile& file, std::uint64_t line_start) {
  std::array<char, kChunk> chunk;
  std::string field;
  bool in_field = false;
  for (std::uint64_t at = line_start;;) {
    const std::size_t length = file.ReadAt(at, chunk);
    if (length == 0) {
      return field;
    }
    for (std::size_t i = 0; i < length; ++i) {
      const char c = chunk[i];
      if (!in_field) {
        in_field = c == '\t';
      } else if (c == '\t' || IsLineBreak(c)) {
        return field;
      } else {
        field += c;
      }
    }
    at += length;
  }
}

}  // namespace

std::optional<std::string> ReadCurrentLevel(const EndgamePaths& paths) {
  if (runtime::KindOf(paths.endgame_folder) != runtime::PathKind::kFolder) {
    throw runtime::Failure(EndgameFolderMissingMessage(paths.endgame_folder));
  }
  // Only a set that does not exist yet has no level; any other trouble is a failure.
  if (runtime::KindOf(paths.endgame_set) == runtime::PathKind::kMissing) {
    return std::nullopt;
  }
  runtime::InputFile set(paths.endgame_set);
  // The last line with a level field is the line of the last TAB.
  const auto last_tab = FindBackward(set, set.Size(), [](char c) { return c == '\t'; });
  if (!last_tab) {
    return std::nullopt;
  }
  const auto line_break = FindBackward(set, *last_tab, IsLineBreak);
  const std::uint64_t line_start = line_break ? *line_break + 1 : 0;
  return runtime::FromFileBytes(LevelFieldOfLineAt(set, line_start));
}

}  // namespace velkaro::endgame
