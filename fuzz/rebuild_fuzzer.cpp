// libFuzzer target over the line reader, the level search, the line writer, the
// rebuild and the level shown at start.
// An input is: a byte giving the level's length (0 to 31: bits 0 to 2, 4 and 5) and whether
// the level is typed as the text those bytes stand for in the files' code page
// (bit 3: Chinese and other non-ASCII levels) or as UTF-8, the level, a byte
// giving the read block and write buffer sizes (1 to 70), then the position list.
// It checks that the fast and the simple path find the same lines, that reading
// in blocks yields the lines of the whole, that writing through a small buffer
// keeps every line whole and in order, that the rebuild writes exactly the
// selected lines, each a byte-exact copy with CR LF, and that the level shown
// at start is the level field of the last line that has one. Small blocks
// make most lines longer than a block, which are read in another way. A list
// proven to be UTF-16 is refused, and so is one with NUL bytes that selects
// nothing; a UTF-8 byte order mark is no part of a line.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <utility>

#include "endgame/current_level.h"
#include "endgame/level_scan.h"
#include "endgame/level_search.h"
#include "endgame/line_selection.h"
#include "endgame/line_writer.h"
#include "endgame/lines.h"
#include "endgame/messages.h"
#include "endgame/rebuild.h"
#include "runtime/codepage.h"
#include "runtime/cpu_features.h"
#include "runtime/failure.h"
#include "runtime/files.h"
#include "tests/support/lines_in_blocks.h"
#include "tests/support/memory_settings.h"
#include "tests/support/reference_selection.h"

namespace {

namespace fs = std::filesystem;
using namespace velkaro;

// The working folder: VELKARO_FUZZ_FOLDER (scripts/fuzz makes and removes one
// per run), or else a new one of this process's own, removed at exit.
class WorkingFolder {
 public:
  WorkingFolder() {
    if (const char* given = std::getenv("VELKARO_FUZZ_FOLDER"); given != nullptr && *given != 0) {
      folder_ = given;
    } else {
      folder_ =
          fs::temp_directory_path() / ("velkaro-fuzz-" + std::to_string(std::random_device()()));
      owned_ = true;
    }
    fs::create_directories(folder_ / "ENDGAMES");
  }
  ~WorkingFolder() {
    std::error_code ignored;
    if (owned_) {
      fs::remove_all(folder_, ignored);
    }
  }
  const fs::path& path() const { return folder_; }

 private:
  fs::path folder_;
  bool owned_ = false;
};

const endgame::EndgamePaths& Paths() {
  static const WorkingFolder folder;
  static const endgame::EndgamePaths paths = endgame::EndgamePathsIn(folder.path());
  return paths;
}

void Check(bool holds) {
  if (!holds) {
    std::abort();
  }
}

std::string Read(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  if (input.size() < 2) {
    return 0;
  }
  const auto mode = static_cast<unsigned char>(input[0]);
  // Levels up to 31 bytes: longer than the sixteen the scan compares by masks.
  const std::size_t level_length = (mode & 7u) | ((mode >> 1) & 24u);
  input.remove_prefix(1);
  if (input.size() < level_length + 1) {
    return 0;
  }
  const std::string_view level_bytes = input.substr(0, level_length);
  const std::string level =
      (mode & 8) != 0 ? runtime::FromFileBytes(level_bytes) : std::string(level_bytes);
  const std::size_t block_size = 1 + static_cast<unsigned char>(input[level_length]) % 70;
  const std::string_view file_bytes = input.substr(level_length + 1);
  const endgame::EndgamePaths& paths = Paths();
  std::ofstream(paths.position_list, std::ios::binary | std::ios::trunc)
      .write(file_bytes.data(), static_cast<std::streamsize>(file_bytes.size()));

  // A file proven to be UTF-16 is refused, by the rebuild and the lookup.
  const auto refused_as = [&](const std::string& expected, auto call) {
    try {
      call();
    } catch (const runtime::Failure& failure) {
      return failure.what() == expected;
    }
    return false;
  };
  if (tests::ReferenceIsUtf16(file_bytes, 64 * 1024, false)) {
    tests::MemorySettings settings;
    Check(refused_as(endgame::Utf16FileMessage(paths.position_list), [&] {
      endgame::RebuildEndgameSet(paths, level, endgame::kTicked, settings);
    }));
    Check(!settings.Value("kestrow\\gui\\last").has_value());
  }
  if (tests::ReferenceIsUtf16(file_bytes, 4 * 1024, true)) {
    fs::copy_file(paths.position_list, paths.endgame_set, fs::copy_options::overwrite_existing);
    Check(refused_as(endgame::Utf16FileMessage(paths.endgame_set),
                     [&] { endgame::ReadCurrentLevel(paths); }));
    return 0;
  }
  if (tests::ReferenceIsUtf16(file_bytes, 64 * 1024, false)) {
    return 0;
  }
  // A UTF-8 byte order mark is no part of the first line.
  const std::string_view list =
      file_bytes.starts_with("\xEF\xBB\xBF") ? file_bytes.substr(3) : file_bytes;

  // What the rebuild must write: the simple path over the whole list, for the
  // bytes that spell the level in the files, if any do.
  std::string expected;
  int count = 0;
  const std::optional<std::string> field = runtime::ToFileBytes(level);
  if (field && endgame::CanBeLevelField(*field)) {
    tests::ReferenceSelectLinesOfLevel(list, *field, [&](std::string_view line) {
      expected.append(line).append("\r\n");
      ++count;
    });
    // With the widest vectors the processor has, and with SSE2 alone.
    for (const auto vectors :
         {endgame::LevelSearch::Vectors::kWidest, endgame::LevelSearch::Vectors::kSse2}) {
      std::string fast;
      endgame::LevelSearch(*field, vectors).ForEachLine(list, [&](std::string_view line) {
        fast.append(line).append("\r\n");
      });
      Check(fast == expected);
    }
    // With the 32-byte windows of 32-bit code.
    std::string narrow;
    endgame::scan::Scan<endgame::scan::Classify, std::uint32_t>(
        list, *field, [&](std::string_view line) { narrow.append(line).append("\r\n"); });
    Check(narrow == expected);
  }

  // The byte searches find what the string's own searches find, with SSE2
  // and with AVX2 where the processor has it.
  for (const auto& [sought, members] : {std::pair{endgame::scan::Sought::kLineBreaks, "\r\n"},
                                        std::pair{endgame::scan::Sought::kSeparators, "\t\r\n"},
                                        std::pair{endgame::scan::Sought::kTabs, "\t"}}) {
    const std::size_t first = std::min(list.find_first_of(members), list.size());
    const std::size_t last = list.find_last_of(members);
    Check(endgame::scan::FindFirst<endgame::scan::Classify>(list, sought) == first);
    Check(endgame::scan::FindLast<endgame::scan::Classify>(list, sought) == last);
#if defined(VELKARO_AVX2_SCAN)
    if (runtime::ProcessorHasAvx2()) {
      Check(endgame::scan::FindFirstAvx2(list, sought) == first);
      Check(endgame::scan::FindLastAvx2(list, sought) == last);
    }
#endif
  }

  // Blocks of any size hand out the lines of the whole, a line longer than a
  // block too, and find its level field as it passes.
  {
    std::string whole;
    endgame::ForEachLine(list, [&](std::string_view line) { whole.append(line).append("\n"); });
    std::string in_blocks;
    runtime::InputFile file(paths.position_list);
    bool level_fields_agree = true;
    for (const std::string& line : tests::LinesInBlocks(file, block_size, level_fields_agree)) {
      in_blocks.append(line).append("\n");
    }
    Check(in_blocks == whole);
    Check(level_fields_agree);
  }

  // The selection in blocks of any size, long lines streamed through.
  if (field && endgame::CanBeLevelField(*field)) {
    {
      runtime::InputFile file(paths.position_list);
      runtime::ReplacementFile selected(paths.endgame_set);
      endgame::LineWriter writer(selected, block_size);
      endgame::CopyLinesOfLevel(
          file, *field, writer, [] {}, block_size);
      writer.Flush();
      selected.Finish();
      selected.Commit();
    }
    Check(Read(paths.endgame_set) == expected);
  }

  // Writing lines through a buffer of any size keeps each whole and in order.
  {
    std::string through_buffer;
    {
      runtime::ReplacementFile file(paths.endgame_set);
      endgame::LineWriter writer(file, block_size);
      endgame::ForEachLine(list, [&](std::string_view line) {
        writer.WriteLine(line);
        through_buffer.append(line).append("\r\n");
      });
      writer.Flush();
      file.Finish();
      file.Commit();
    }
    Check(Read(paths.endgame_set) == through_buffer);
  }

  // The rebuild itself, through the files.
  tests::MemorySettings settings;
  if (count > endgame::kMaxStages) {
    return 0;
  }
  // Nothing selected from a list with NUL bytes, which may be UTF-16 read
  // as ANSI: refused, the set as it was.
  if (count == 0 && file_bytes.find('\0') != std::string_view::npos) {
    const std::string before = Read(paths.endgame_set);
    Check(refused_as(endgame::NulBytesMessage(paths.position_list), [&] {
      endgame::RebuildEndgameSet(paths, level, endgame::kTicked, settings);
    }));
    Check(Read(paths.endgame_set) == before && !settings.Value("kestrow\\gui\\last"));
    return 0;
  }
  const std::string message = endgame::RebuildEndgameSet(paths, level, endgame::kTicked, settings);
  Check(Read(paths.endgame_set) == expected);
  Check(message ==
        (count > 0 ? endgame::StagesMessage(count) : std::string(endgame::kLevelOutOfRange)));
  Check(settings.Value("kestrow\\gui\\last") == std::to_string(count));
  Check(settings.Value("kestrow\\gui\\curr") == "0");

  // The level shown at start, against the simplest reading: the level field of
  // the last line that has one.
  std::ofstream(paths.endgame_set, std::ios::binary | std::ios::trunc)
      .write(file_bytes.data(), static_cast<std::streamsize>(file_bytes.size()));
  std::optional<std::string> last_field;
  endgame::ForEachLine(list, [&](std::string_view line) {
    if (const auto level_field = endgame::LevelField(line)) {
      last_field = runtime::FromFileBytes(*level_field);
    }
  });
  Check(endgame::ReadCurrentLevel(paths) == last_field);
  return 0;
}
