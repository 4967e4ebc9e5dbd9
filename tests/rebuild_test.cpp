// What a rebuild makes of its input: the new set, the progress and the
// message, for good input and odd. Failures and what a rebuild guarantees
// whatever happens are in rebuild_guarantees_test.cpp.
#include "endgame/rebuild.h"

#include <gtest/gtest.h>

#include <string>

#include "endgame/messages.h"
#include "runtime/failure.h"
#include "tests/rebuild_fixture.h"
#include "tests/support/memory_settings.h"
#include "tests/support/same_bytes.h"
#include "tests/support/scratch_folder.h"

namespace velkaro::endgame {
namespace {

namespace fs = std::filesystem;
using tests::EntriesOf;
using tests::ReadBytes;
using tests::ScratchFolder;
using tests::WriteBytes;
using Entries = std::vector<std::string>;

class Rebuild : public RebuildTest {};

TEST_F(Rebuild, CopiesTheLinesOfTheLevelInOrderAndResetsProgress) {
  WriteBytes(paths_.position_list, kList);
  EXPECT_EQ(Run("12"), "调整完毕共 3 关");
  EXPECT_TRUE(tests::SameBytes(NewSet(), kLevel12));
  EXPECT_EQ(settings_.log, "kestrow\\gui\\curr=0\nkestrow\\gui\\last=3\nkestrow\\gui\\(flushed)\n");
  EXPECT_EQ(settings_.Value("kestrow\\gui\\other"), "kept");
  EXPECT_EQ(EntriesOf(paths_.endgame_folder), Entries{"VIRLA.EPD"});
}

TEST_F(Rebuild, OnlyATickedBoxCountsTheStagesAsCleared) {
  WriteBytes(paths_.position_list, kList);
  for (const int cleared : {0, 2}) {
    EXPECT_EQ(Run("12", cleared), "调整完毕共 3 关");
    EXPECT_EQ(settings_.Value(kCurr), "0");
    EXPECT_EQ(settings_.Value(kLast), "0");
  }
  EXPECT_EQ(Run("7", kTicked), "调整完毕共 1 关");
  EXPECT_EQ(settings_.Value(kLast), "1");
}

TEST_F(Rebuild, ComparesTheLevelAsTextNotAsANumber) {
  WriteBytes(paths_.position_list, kList);
  EXPECT_EQ(Run("012"), "调整完毕共 1 关");
  EXPECT_TRUE(tests::SameBytes(NewSet(), "8/8/8/8/8/2k5/2p5/2K5 b - - 0 1\t012\r\n"));
  EXPECT_EQ(Run("12 "), "调整完毕共 1 关");
  EXPECT_TRUE(tests::SameBytes(NewSet(), "8/8/8/8/8/2k5/8/2K1Q3 w - - 0 1\t12 \r\n"));
  EXPECT_EQ(Run(" 12"), "调整完毕共 1 关");
  EXPECT_TRUE(tests::SameBytes(NewSet(), "8/8/8/8/8/8/1k6/R3K3 w - - 0 1\t 12\r\n"));
}

TEST_F(Rebuild, NoMatchLeavesAnEmptySetAndSaysTheLevelIsOutOfRange) {
  WriteBytes(paths_.position_list, "a\t12\r\n");
  for (const std::string_view level : {"13", "1", "", "12\tbm"}) {
    EXPECT_EQ(Run(level), "级别不在范围（1-179）内") << level;
    EXPECT_TRUE(tests::SameBytes(NewSet(), ""));
    EXPECT_EQ(settings_.Value(kCurr), "0");
    EXPECT_EQ(settings_.Value(kLast), "0");
  }
  WriteBytes(paths_.position_list, "");
  EXPECT_EQ(Run("12"), "级别不在范围（1-179）内");
}

TEST_F(Rebuild, AcceptsAnyLevelThatLinesCarry) {
  WriteBytes(paths_.position_list, "a\t180\r\nb\t\r\nc\t\tx\r\nd\tabc\r\n");
  EXPECT_EQ(Run("180"), "调整完毕共 1 关");
  EXPECT_EQ(Run(""), "调整完毕共 2 关");
  EXPECT_TRUE(tests::SameBytes(NewSet(), "b\t\r\nc\t\tx\r\n"));
  EXPECT_EQ(Run("abc"), "调整完毕共 1 关");
}

TEST_F(Rebuild, EndsEveryLineWithCrLfAndSkipsLinesWithoutALevel) {
  WriteBytes(paths_.position_list, "a\t3\nb\t3\rno level\r\n\r\n\nc\t3\r\nc\t3\r\nd\t3");
  EXPECT_EQ(Run("3"), "调整完毕共 5 关");
  EXPECT_TRUE(tests::SameBytes(NewSet(), "a\t3\r\nb\t3\r\nc\t3\r\nc\t3\r\nd\t3\r\n"));
}

TEST_F(Rebuild, CarriesTheBytesOfALineUnchanged) {
  const std::string line = std::string("\x00\x01 \xff\x80\xb8\xdf", 7) + "\t9\t\xa1\xa4 \x7f";
  WriteBytes(paths_.position_list, line + "\r\n");
  EXPECT_EQ(Run("9"), "调整完毕共 1 关");
  EXPECT_TRUE(tests::SameBytes(NewSet(), line + "\r\n"));
}

TEST_F(Rebuild, MatchesAChineseLevelInTheFilesCodePage) {
  // 高 and 低 in code page 936.
  WriteBytes(paths_.position_list, "a\t\xb8\xdf\r\nb\t\xb5\xcd\r\nc\t\xb8\xdf\xb5\xcd\r\n");
  EXPECT_EQ(Run("高"), "调整完毕共 1 关");
  EXPECT_TRUE(tests::SameBytes(NewSet(), "a\t\xb8\xdf\r\n"));
  EXPECT_EQ(Run("高低"), "调整完毕共 1 关");
  EXPECT_EQ(Run("😀"), "级别不在范围（1-179）内");  // not in the code page: matches nothing
}

TEST_F(Rebuild, MatchesTheWholeTextOrNothing) {
  // 0x80 is no ASCII byte but € in code page 936; a tag character, which a
  // converter may drop without a word, leaves "1" that must not match.
  WriteBytes(paths_.position_list, "a\t\x80\r\nb\t1\r\n");
  EXPECT_EQ(Run("€"), "调整完毕共 1 关");
  EXPECT_TRUE(tests::SameBytes(NewSet(), "a\t\x80\r\n"));
  EXPECT_EQ(Run("1\xF3\xA0\x80\x81"), "级别不在范围（1-179）内");
}

TEST_F(Rebuild, MakesTheFirstSetWhereThereIsNone) {
  fs::remove(paths_.endgame_set);
  WriteBytes(paths_.position_list, "a\t1\r\n");
  EXPECT_EQ(Run("1"), "调整完毕共 1 关");
  EXPECT_TRUE(tests::SameBytes(NewSet(), "a\t1\r\n"));
}

TEST_F(Rebuild, TakesAtMost32767Stages) {
  const std::string list = LinesOfLevel(kMaxStages, "44");
  WriteBytes(paths_.position_list, "x\t45\r\n" + list);
  EXPECT_EQ(Run("44"), "调整完毕共 32767 关");
  EXPECT_TRUE(tests::SameBytes(NewSet(), list));
  EXPECT_EQ(settings_.Value(kLast), "32767");
}

// Lines no level matches, however the input is cut.
class BadInput : public RebuildTest {};

TEST_F(BadInput, NulAndBytesInvalidInTheCodePageAreCarriedAsTheyAre) {
  const std::string odd = std::string("8/8\0/8", 6) + "\t3\t\x81\xff\x80\x00 end";
  WriteBytes(paths_.position_list, odd + "\r\n" + std::string("x\t3\0\r\n", 6) + "\x81\t3");
  EXPECT_EQ(Run("3"), "调整完毕共 2 关");
  EXPECT_TRUE(tests::SameBytes(NewSet(), odd + "\r\n\x81\t3\r\n"));
  // One pair of bytes that could be a TAB in UTF-16 tells nothing.
  WriteBytes(paths_.position_list, std::string("\0\t1", 3));
  EXPECT_EQ(Run("1"), "调整完毕共 1 关");
  EXPECT_TRUE(tests::SameBytes(NewSet(), std::string("\0\t1\r\n", 5)));
}

TEST_F(BadInput, ListsOfNothingButLineEndsMatchNothing) {
  for (const std::string_view list : {"\r\n\r\n\r\n", "\r\r\r", "\n\n\n", "\t"}) {
    WriteBytes(paths_.position_list, list);
    EXPECT_EQ(Run("1"), "级别不在范围（1-179）内");
    EXPECT_TRUE(tests::SameBytes(NewSet(), ""));
  }
}

TEST_F(BadInput, ALevelTextWithTabsOrSpacesIsComparedAsItIs) {
  WriteBytes(paths_.position_list, "a\tb\tc\r\na\t b \r\nd\tb\r\n");
  EXPECT_EQ(Run("b\tc"), "级别不在范围（1-179）内");
  EXPECT_EQ(Run("b\r"), "级别不在范围（1-179）内");  // a field holds no line break
  EXPECT_EQ(Run("b\r\n"), "级别不在范围（1-179）内");
  EXPECT_EQ(Run(" b "), "调整完毕共 1 关");
  EXPECT_EQ(Run("b"), "调整完毕共 2 关");
}

// Shapes that once made the search slow or its memory grow select exactly the
// lines of the simplest reading.
TEST_F(BadInput, HardShapesSelectExactlyTheLinesOfTheLevel) {
  std::string later_fields = "a\tb";
  std::string longer_fields = "c";
  for (int i = 0; i < 40; ++i) {
    later_fields += "\t1";
    longer_fields += "\t1x";
  }
  const std::string longer_than_a_block(3 << 20, 'x');
  WriteBytes(paths_.position_list, longer_than_a_block + "\rp\t1\rq\t1\r" + later_fields + "\r\n" +
                                       longer_fields + "\r\n\t1x\t1\nr\t1");
  EXPECT_EQ(Run("1"), "调整完毕共 3 关");
  EXPECT_TRUE(tests::SameBytes(NewSet(), "p\t1\r\nq\t1\r\nr\t1\r\n"));

  // A UTF-8 byte order mark is no part of the first line; a line longer than a
  // block whose level field comes after a field longer than a block is copied.
  const std::string long_line = longer_than_a_block + "\t1\t" + longer_than_a_block;
  WriteBytes(paths_.position_list, "\xEF\xBB\xBFx\t1\r\n" + long_line + "\ny\t1x\r" + long_line);
  EXPECT_EQ(Run("1"), "调整完毕共 3 关");
  EXPECT_TRUE(tests::SameBytes(NewSet(), "x\t1\r\n" + long_line + "\r\n" + long_line + "\r\n"));
}

TEST_F(BadInput, LongLevelTextsAndVeryLongLines) {
  const std::string level(10000, '9');
  const std::string long_line = std::string(100 << 20, 'p') + "\t5\t" + std::string(64, 'q');
  WriteBytes(paths_.position_list,
             "a\t" + level + "\r\nz\t5\r\n" + long_line + "\r\nb\t" + level + "9\r\nc\t5");
  EXPECT_EQ(Run(level), "调整完毕共 1 关");
  EXPECT_TRUE(tests::SameBytes(NewSet(), "a\t" + level + "\r\n"));
  // A line longer than the write buffer comes after the line buffered before it.
  EXPECT_EQ(Run("5"), "调整完毕共 3 关");
  EXPECT_TRUE(tests::SameBytes(NewSet(), "z\t5\r\n" + long_line + "\r\nc\t5\r\n"));
}

}  // namespace
}  // namespace velkaro::endgame
