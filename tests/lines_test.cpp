#include "endgame/lines.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/files.h"
#include "tests/support/lines_in_blocks.h"
#include "tests/support/scratch_folder.h"

namespace velkaro::endgame {
namespace {

using tests::ScratchFolder;
using tests::WriteBytes;
using Lines = std::vector<std::string>;

// Reads a file's bytes back as lines, through blocks of every size given.
class LineReading : public ::testing::TestWithParam<std::size_t> {
 protected:
  Lines Read(std::string_view bytes) {
    const auto file = folder_.path() / "list.txt";
    WriteBytes(file, bytes);
    runtime::InputFile input(file);
    bool level_fields_agree = true;
    Lines lines = tests::LinesInBlocks(input, GetParam(), level_fields_agree);
    EXPECT_TRUE(level_fields_agree);
    return lines;
  }

  ScratchFolder folder_;
};

TEST_P(LineReading, EveryTerminatorEndsALineAndNoneIsKept) {
  EXPECT_EQ(Read("a\tb\r\n"), Lines{"a\tb"});
  EXPECT_EQ(Read("a\nb\rc\r\nd"), (Lines{"a", "b", "c", "d"}));
  EXPECT_EQ(Read("a\n\rb"), (Lines{"a", "", "b"}));  // LF then a lone CR: an empty line between
  EXPECT_EQ(Read("\r\n"), Lines{""});
  EXPECT_EQ(Read("\r\r\n\n"), (Lines{"", "", ""}));
}

TEST_P(LineReading, TheLastLineNeedsNoTerminatorAndATerminatorAddsNoLine) {
  EXPECT_EQ(Read("a\tb\tc"), Lines{"a\tb\tc"});
  EXPECT_EQ(Read("x\ty\r\nz\tw"), (Lines{"x\ty", "z\tw"}));
  EXPECT_EQ(Read("x\ty\r\n"), Lines{"x\ty"});
  EXPECT_EQ(Read("x\ty\r\n\r\n"), (Lines{"x\ty", ""}));
  EXPECT_EQ(Read(""), Lines{});
}

TEST_P(LineReading, CarriesEveryOtherByteUnchanged) {
  std::string line;
  for (int c = 0; c < 256; ++c) {
    if (c != '\r' && c != '\n') {
      line += static_cast<char>(c);
    }
  }
  EXPECT_EQ(Read(line + "\r\n" + line), (Lines{line, line}));
}

TEST_P(LineReading, ALineLongerThanABlockComesWhole) {
  const std::string longest(5 * 1024 + 7, 'q');
  EXPECT_EQ(Read("a\r\n" + longest + "\r\nb"), (Lines{"a", longest, "b"}));
}

INSTANTIATE_TEST_SUITE_P(BlockSizes, LineReading, ::testing::Values(1, 2, 3, 5, 64, kBlockSize));

// What another program adds after the list was opened is no part of it, on
// any lane; looked for past its end, it is the list's change. A Unix program
// can write it so under Wine; Windows' sharing keeps Windows programs out.
TEST(InputFile, ReadsNoFurtherThanItsSizeAtOpen) {
#ifdef _WIN32
  GTEST_SKIP() << "the open list is shared for reading alone";
#endif
  const ScratchFolder folder;
  const auto file = folder.path() / "list.txt";
  WriteBytes(file, "a\t1\r\n");
  runtime::InputFile input(file);
  WriteBytes(file, "a\t1\r\nb\t1\r\n");
  char bytes[16] = {};
  EXPECT_EQ(input.ReadOnLane(1, 0, bytes), 5u);
  EXPECT_EQ(input.ReadOnLane(0, 5, bytes), 0u);
  EXPECT_EQ(std::string(bytes, 5), "a\t1\r\n");
  input.LookPastEnd();
  EXPECT_TRUE(input.ChangedSinceOpen());
}

TEST(LevelField, IsField1OfTheTabSplit) {
  EXPECT_EQ(LevelField("p\tq"), "q");
  EXPECT_EQ(LevelField("p\tq\tr\ts"), "q");
  EXPECT_EQ(LevelField("p\t\tr"), "");
  EXPECT_EQ(LevelField("p\t"), "");
  EXPECT_EQ(LevelField("\t12"), "12");
  EXPECT_EQ(LevelField("p\t 12"), " 12");  // spaces belong to the field
  EXPECT_EQ(LevelField("p\t12 \tr"), "12 ");
}

TEST(LevelField, IsMissingWithoutATab) {
  EXPECT_FALSE(LevelField("8/8/8/8/8/8/8/8 w - - 0 1").has_value());
  EXPECT_FALSE(LevelField("").has_value());
}

}  // namespace
}  // namespace velkaro::endgame
