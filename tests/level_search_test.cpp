#include "endgame/level_search.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "endgame/level_scan.h"
#include "endgame/line_selection.h"
#include "endgame/line_writer.h"
#include "runtime/cpu_features.h"
#include "runtime/files.h"
#include "tests/level_scan_narrow.h"
#include "tests/support/reference_selection.h"
#include "tests/support/scratch_folder.h"

namespace velkaro::endgame {
namespace {

using Lines = std::vector<std::string>;

// The lines the scan selects, with the widest vectors the processor has; with
// SSE2 alone, and with the 32-byte windows of 32-bit code, it must select the same.
Lines Fast(std::string_view run, std::string_view level) {
  std::vector<Lines> lines;
  const auto add = [&](const auto& scan) {
    scan([&](std::string_view line) { lines.back().emplace_back(line); });
  };
  for (const auto vectors : {LevelSearch::Vectors::kWidest, LevelSearch::Vectors::kSse2}) {
    lines.emplace_back();
    add([&](const auto& select) { LevelSearch(level, vectors).ForEachLine(run, select); });
  }
  const std::string level_bytes(level);
  lines.emplace_back();
  add([&](const auto& select) {
    scan::Scan<scan::Classify, std::uint32_t>(run, level_bytes, select);
  });
#if defined(VELKARO_AVX2_SCAN)
  if (runtime::ProcessorHasAvx2()) {
    lines.emplace_back();
    add([&](const auto& select) { tests::ScanAvx2WithNarrowWindows(run, level_bytes, select); });
  }
#endif
  for (std::size_t other = 1; other < lines.size(); ++other) {
    EXPECT_EQ(lines[0], lines[other]) << "scan " << other << " disagrees with the widest vectors";
  }
  return lines[0];
}

Lines Simple(std::string_view run, std::string_view level) {
  Lines lines;
  tests::ReferenceSelectLinesOfLevel(run, level,
                                     [&](std::string_view line) { lines.emplace_back(line); });
  return lines;
}

TEST(LevelSearch, FindsTheLevelOnlyAsAWholeField1) {
  const std::string run =
      "p\t12\r\n"     // yes
      "p\t123\r\n"    // a longer field
      "p\t012\r\n"    // a longer field
      "p\t1\t12\r\n"  // 12 in field 2
      "12\tq\r\n"     // 12 in field 0
      "p\t12\tq\n"    // yes, LF
      "p\t12\v\r\n"   // a longer field: VT and FF end no field
      "p\t12\f\n"
      "p\t12\rp\t12";  // yes, lone CR; yes, no terminator at the end
  const Lines expected{"p\t12", "p\t12\tq", "p\t12", "p\t12"};
  EXPECT_EQ(Fast(run, "12"), expected);
  EXPECT_EQ(Simple(run, "12"), expected);
}

// Eight bytes are compared through the masks, the rest of a longer level on
// its own; either way the whole field, to its end or the run's.
TEST(LevelSearch, ComparesLongLevelsWhole) {
  const std::string run =
      "p\t12345678\r\n"     // yes, eight bytes
      "p\t123456789\r\n"    // a longer field
      "p\t1234567890\tq\n"  // yes, ten bytes
      "p\t12345678901\r"    // a longer field
      "p\t1234567891\r"     // one byte differs
      "p\t1234567890x";     // a longer field, at the run's end
  EXPECT_EQ(Fast(run, "12345678"), (Lines{"p\t12345678"}));
  EXPECT_EQ(Fast(run, "1234567890"), (Lines{"p\t1234567890\tq"}));
  EXPECT_EQ(Fast(run.substr(0, run.size() - 1), "1234567890"),
            (Lines{"p\t1234567890\tq", "p\t1234567890"}));
}

TEST(LevelSearch, FindsEmptyLevelFields) {
  EXPECT_EQ(Fast("a\t\r\nb\tc\r\nd\t\te\r\ng\t\v\nf\r\n\t", ""), (Lines{"a\t", "d\t\te", "\t"}));
}

TEST(LevelSearch, LooksAtEveryPlaceOfALongRun) {
  // Matches at every offset against the 16-byte steps of the scan.
  // Fields longer than a window, too.
  for (std::size_t pad = 0; pad < 200; pad += pad < 40 ? 1 : 37) {
    const std::string line = std::string(pad, 'x') + "\t77";
    const std::string run = line + "\r\n" + line + "\r\n" + line;
    EXPECT_EQ(Fast(run, "77"), (Lines{line, line, line})) << pad;
  }
}

// Lines whose level fields share a long level's first byte and all but one of
// its others, or are one byte longer, a few to a window (compared one by one)
// or many (lines shorter than the level, compared with the window whole),
// each byte changed in turn, the level itself among them at every place in a
// window.
TEST(LevelSearch, ComparesFieldsThatShareTheLevelsEndsByteForByte) {
  for (const std::string level : {"1234567890", "1234567890123456", "12345678901234567890",
                                  "123456789012345678901234567890123"}) {
    std::string run;
    Lines expected;
    const std::size_t masked = std::min<std::size_t>(level.size(), 16);
    for (std::size_t i = 0; i < 300; ++i) {
      std::string field = level;
      if (i % 5 == 1) {
        field += 'y';
      } else if (i % 5 != 0) {
        field[1 + i % (level.size() - 1)] = 'x';
      }
      const std::string line = std::string(1 + i % 7, 'p') + "\t" + field;
      run += line + (i % 2 == 0 ? "\n" : "\r\n");
      if (field == level) {
        expected.push_back(line);
      }
    }
    ASSERT_EQ(expected.size(), 60U);
    EXPECT_EQ(Fast(run, level), expected) << level;
    // Lines of a TAB, a 1 and a line break: every TAB is the first of its line
    // and followed by the ends of a level of 10 or 16 bytes that ends as it
    // starts, and by a line break after them.
    const std::string many = "1" + std::string(masked - 2, 'z') + "1";
    const std::string short_lines = "\t1\n";
    std::string crowded;
    for (std::size_t i = 0; i < 40; ++i) {
      crowded += short_lines;
    }
    crowded += "q\t" + many + "\n" + crowded;
    EXPECT_EQ(Fast(crowded, many), (Lines{"q\t" + many})) << many;
  }
}

// A random list over a small alphabet that makes fields, every terminator and
// near-misses common, and a level of any length up to 20 bytes, itself and
// with one byte changed strewn over the list as level fields.
struct RandomCase {
  std::string list;
  std::string level;
};

RandomCase RandomList(std::mt19937& random, std::size_t longest) {
  static const std::string alphabet = "\t\t\t\r\n\n12 a\v";
  static const std::string levels[] = {"",
                                       "1",
                                       "2",
                                       "12",
                                       "1 ",
                                       "a",
                                       "21a",
                                       "1212",
                                       "121212121",
                                       "1212121212",
                                       "1a1212121212121a",
                                       "12121212121212121",
                                       "1a121212121212121212"};
  RandomCase each;
  each.list.resize(random() % longest);
  for (char& c : each.list) {
    c = alphabet[random() % alphabet.size()];
  }
  each.level = levels[random() % std::size(levels)];
  for (std::size_t strewn = random() % 4; strewn > 0 && !each.list.empty(); --strewn) {
    std::string field = "\t" + each.level;
    if (random() % 2 == 0 && !each.level.empty()) {
      field[1 + random() % each.level.size()] = 'x';
    }
    each.list.insert(random() % each.list.size(), field);
  }
  return each;
}

// The scan agrees with the plain line-by-line reading on runs of many windows.
TEST(LevelSearch, AgreesWithTheSimplePathOnRandomRuns) {
  std::mt19937 random(20261207);
  for (int round = 0; round < 4000; ++round) {
    const RandomCase each = RandomList(random, 400);
    ASSERT_EQ(Fast(each.list, each.level), Simple(each.list, each.level))
        << "level '" << each.level << "' run: " << ::testing::PrintToString(each.list);
  }
}

// So does the whole copy from a file, read in blocks of 1 to 70 bytes (most
// lines then longer than a block) or of the program's own size.
TEST(LevelSearch, TheCopyAgreesWithTheSimplePathInBlocksOfEverySize) {
  std::mt19937 random(7122026);
  const tests::ScratchFolder folder;
  const std::filesystem::path list = folder.path() / "chessfen.txt";
  for (int round = 0; round < 300; ++round) {
    const RandomCase each = RandomList(random, 300);
    tests::WriteBytes(list, each.list);
    std::string expected;
    tests::ReferenceSelectLinesOfLevel(each.list, each.level, [&](std::string_view line) {
      expected.append(line).append("\r\n");
    });
    const std::size_t block = round % 4 == 0 ? kBlockSize : 1 + random() % 70;
    const std::filesystem::path target = folder.path() / "VIRLA.EPD";
    {
      runtime::InputFile file(list);
      runtime::ReplacementFile copy(target);
      LineWriter writer(copy, 1 + random() % 70);
      CopyLinesOfLevel(
          file, each.level, writer, [] {}, block);
      writer.Flush();
      copy.Finish();
      copy.Commit();
    }
    ASSERT_EQ(tests::ReadBytes(target), expected)
        << "level '" << each.level << "' block " << block
        << " list: " << ::testing::PrintToString(each.list);
  }
}

// The set the program makes of `list` for level 1, through its files in `folder`.
std::string CopyOfLevel1(const std::filesystem::path& folder, const std::string& list) {
  tests::WriteBytes(folder / "chessfen.txt", list);
  {
    runtime::InputFile file(folder / "chessfen.txt");
    runtime::ReplacementFile copy(folder / "VIRLA.EPD");
    LineWriter writer(copy);
    CopyLinesOfLevel(file, "1", writer, [] {});
    writer.Flush();
    copy.Finish();
    copy.Commit();
  }
  return tests::ReadBytes(folder / "VIRLA.EPD");
}

std::string SimpleCopyOfLevel1(std::string_view list) {
  std::string expected;
  tests::ReferenceSelectLinesOfLevel(
      list, "1", [&](std::string_view line) { expected.append(line).append("\r\n"); });
  return expected;
}

// Lists of many blocks, read on two threads: the line that crosses each
// block's end, of any length, is joined from both blocks and handed out in order,
// one longer than is kept read again.
TEST(LevelSearch, TheCopyOfAListOfManyBlocksAgreesWithTheSimplePath) {
  std::mt19937 random(20261208);
  std::string list;
  while (list.size() < 3 * kBlockSize + 4321) {
    list += RandomList(random, 300).list;
    if (random() % 8 == 0) {
      list += "a\t1\t" + std::string(random() % 3000, 'x') + "\n";
    }
    if (kBlockSize - list.size() % kBlockSize < 6000) {
      list += "a\t1\t" + std::string(6000, 'x') + "\n";  // across the end, longer than kept
    }
  }
  const tests::ScratchFolder folder;
  const std::string copied = CopyOfLevel1(folder.path(), list);
  const std::string expected = SimpleCopyOfLevel1(list);
  const auto differ = std::mismatch(copied.begin(), copied.end(), expected.begin(), expected.end());
  EXPECT_TRUE(copied == expected) << copied.size() << " bytes copied, " << expected.size()
                                  << " expected; they differ from byte "
                                  << (differ.first - copied.begin());
}

// The real block, on two threads: lists that end about where the first or second
// block does, with each final terminator, copy as the simple path selects.
class ListsAtBlockEnds : public ::testing::TestWithParam<std::size_t> {};

TEST_P(ListsAtBlockEnds, CopyAsTheSimplePathSelects) {
  const tests::ScratchFolder folder;
  for (const std::string_view end : {"", "\r", "\n", "\r\n"}) {
    for (const int offset : {-70, -35, -3, -2, -1, 0, 1, 2, 3, 35, 70}) {
      const std::size_t size = GetParam() * kBlockSize + offset;
      std::string list;
      for (int i = 0; list.size() + 64 < size; ++i) {
        list += i % 3 == 0 ? "8/8/8/8/8/8/8/K1k5 w - - 0 1\t1\r\n" : "8/8/k7/8/8/8/8/K7\t2\n";
      }
      list += std::string(size - list.size() - 2 - end.size(), 'p') + "\t1";
      list += end;
      EXPECT_TRUE(CopyOfLevel1(folder.path(), list) == SimpleCopyOfLevel1(list))
          << "a list of " << size << " bytes ending in " << end.size() << " terminator bytes";
    }
  }
}

INSTANTIATE_TEST_SUITE_P(OneAndTwoBlocks, ListsAtBlockEnds, ::testing::Values(1, 2));

// The byte searches read through the same window masks, SSE2's and AVX2's
// alike: they find what the string's own searches find, at every length and
// offset against the windows.
TEST(LevelSearch, TheByteSearchesFindWhatTheStringSearchesFind) {
  std::mt19937 random(1207);
  const std::string alphabet = "\t\r\nab";
  const std::pair<scan::Sought, const char*> sought[] = {{scan::Sought::kLineBreaks, "\r\n"},
                                                         {scan::Sought::kSeparators, "\t\r\n"},
                                                         {scan::Sought::kTabs, "\t"}};
  for (int round = 0; round < 3000; ++round) {
    std::string text(random() % 200, 'a');
    const std::size_t sparse = 1 + random() % 80;  // most bytes 'a'
    for (char& c : text) {
      c = random() % sparse == 0 ? alphabet[random() % alphabet.size()] : 'a';
    }
    const std::size_t from = text.empty() ? 0 : random() % text.size();
    const std::string_view part = std::string_view(text).substr(from);
    for (const auto& [bytes, members] : sought) {
      const std::size_t first = std::min(part.find_first_of(members), part.size());
      const std::size_t last = part.find_last_of(members);
      EXPECT_EQ(scan::FindFirst<scan::Classify>(part, bytes), first) << members;
      EXPECT_EQ(scan::FindLast<scan::Classify>(part, bytes), last) << members;
#if defined(VELKARO_AVX2_SCAN)
      if (runtime::ProcessorHasAvx2()) {
        EXPECT_EQ(scan::FindFirstAvx2(part, bytes), first) << members;
        EXPECT_EQ(scan::FindLastAvx2(part, bytes), last) << members;
      }
#endif
    }
    if (HasFailure()) {
      FAIL() << "text: " << ::testing::PrintToString(std::string(part));
    }
  }
}

}  // namespace
}  // namespace velkaro::endgame
