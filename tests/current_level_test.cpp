#include "endgame/current_level.h"

#include <gtest/gtest.h>

#if !defined(_WIN32)
#include <unistd.h>
#endif

#include "runtime/failure.h"
#include "runtime/texts.h"
#include "tests/support/scratch_folder.h"

namespace velkaro::endgame {
namespace {

namespace fs = std::filesystem;
using tests::ScratchFolder;
using tests::WriteBytes;

class CurrentLevel : public ::testing::Test {
 protected:
  CurrentLevel() : paths_(EndgamePathsIn(folder_.path())) {
    fs::create_directory(paths_.endgame_folder);
  }

  std::optional<std::string> LevelOf(std::string_view set) {
    WriteBytes(paths_.endgame_set, set);
    return ReadCurrentLevel(paths_);
  }

  ScratchFolder folder_;
  EndgamePaths paths_;
};

TEST_F(CurrentLevel, IsTheLevelOfTheLastLine) {
  EXPECT_EQ(LevelOf("a\t5\r\nb\t5\r\nc\t5\r\n"), "5");
  EXPECT_EQ(LevelOf("a\t5\r\nb\t9\r\n"), "9");
  EXPECT_EQ(LevelOf("a\t5\r\nb\t9\tbm Kd2"), "9");
  EXPECT_EQ(LevelOf("a\t5\nb\t9\rc\t\t7"), "");
  EXPECT_EQ(LevelOf("a\t 12\r\n"), " 12");
  EXPECT_EQ(LevelOf("\t\xb8\xdf\r\n"), "高");
  EXPECT_EQ(LevelOf("a\t5\r\n\t9\r\n"), "9");
  EXPECT_EQ(LevelOf("a\t\x80\r\n"), "€");  // not ASCII: € in code page 936
}

// The set is read backwards in growing chunks from its end: the level stands
// where the first chunk ends, or beyond the first chunks.
TEST_F(CurrentLevel, IsFoundWhereverTheReadsEnd) {
  std::string many;
  for (int i = 0; i < 1000; ++i) {
    many += "a\t1\r\n";
  }
  EXPECT_EQ(LevelOf(many + "b\t2\r\n"), "2");
  EXPECT_EQ(LevelOf("a\t1\r\n" + std::string(3 << 20, 'x')), "1");
  // The last TAB is the last byte of the second chunk: 4,096 bytes from the end.
  EXPECT_EQ(LevelOf("a\t7\r\nb\t\r\n" + std::string(4094, 'x')), "");
  EXPECT_EQ(LevelOf("a\t7\r\nb\t"), "");
}

TEST_F(CurrentLevel, PassesOverLinesWithoutALevel) {
  EXPECT_EQ(LevelOf("a\t5\r\nb\t9\r\n\r\n"), "9");
  EXPECT_EQ(LevelOf("a\t5\r\nno level\r\n"), "5");
}

TEST_F(CurrentLevel, ReadsTheSetAsAnsiTextOnly) {
  EXPECT_EQ(LevelOf("\xEF\xBB\xBF\t5"), "5");  // the UTF-8 mark is no part of the line
  EXPECT_EQ(LevelOf("\xEF\xBB\xBF"
                    "a\t\xff\xb8\xdf\x81"),
            "\xEF\xBF\xBD高\xEF\xBF\xBD");
}

// What keeps the set from being read is a failure that names it for what it is.
TEST_F(CurrentLevel, ASetThatCannotBeReadIsAFailureThatSaysWhy) {
  const auto failure_of = [&] {
    try {
      ReadCurrentLevel(paths_);
    } catch (const runtime::Failure& failure) {
      return std::string(failure.what());
    }
    return std::string("no failure");
  };
  const std::u8string folder = folder_.path().u8string();
  const std::string set =
      std::string(folder.begin(), folder.end()) +
      (fs::path::preferred_separator == '/' ? "/ENDGAMES/VIRLA.EPD" : "\\ENDGAMES\\VIRLA.EPD");
  // UTF-16 told by its mark, or by a CR LF of its own in its last page, past
  // a first line of 3,000 characters (中, U+4E2D).
  std::string long_first_line;
  for (int i = 0; i < 3000; ++i) {
    long_first_line += "\x2D\x4E";
  }
  for (const std::string& utf16 : {std::string("\xFF\xFE"
                                               "5\0",
                                               4),
                                   long_first_line + std::string("\t\0"
                                                                 "5\0\r\0\n\0",
                                                                 8)}) {
    WriteBytes(paths_.endgame_set, utf16);
    EXPECT_EQ(failure_of(),
              "文件“" + set +
                  "”是以 Unicode（UTF-16）编码保存的，本程序只能读取 ANSI（GBK）编码的文本。"
                  "请用记事本打开它，另存为时把编码选为 ANSI，然后再试。没有作任何更改。");
  }
  fs::remove(paths_.endgame_set);
  fs::create_directory(paths_.endgame_set);
  EXPECT_EQ(failure_of(), "无法打开文件“" + set + "”：这是一个文件夹，不是文件");
}

TEST_F(CurrentLevel, IsNothingForASetWithoutLevels) {
  EXPECT_EQ(LevelOf(""), std::nullopt);
  EXPECT_EQ(LevelOf("\r\n\r\n"), std::nullopt);
  fs::remove(paths_.endgame_set);
  EXPECT_EQ(ReadCurrentLevel(paths_), std::nullopt);
}

TEST_F(CurrentLevel, ReadsLinesLongerThanItsChunks) {
  const std::string fen(200000, 'p');
  const std::string level(70000, '7');
  EXPECT_EQ(LevelOf("a\t1\r\n" + fen + "\t" + level + "\t" + fen + "\r\n" + fen), level);
  // A first field of several chunks, read forwards from the line's start.
  EXPECT_EQ(LevelOf("a\t1\r\n" + std::string(3 << 20, 'p') + "\t5\r\n"), "5");
}

TEST_F(CurrentLevel, AMissingEndgameFolderIsNamedWithTheWorkingFolder) {
  fs::remove_all(paths_.endgame_folder);
  try {
    ReadCurrentLevel(paths_);
    FAIL() << "no failure";
  } catch (const runtime::Failure& failure) {
    EXPECT_EQ(std::string(failure.what()),
              "找不到残局题库的文件夹" + runtime::texts::Quoted(paths_.endgame_folder) +
                  "。本程序在当前工作文件夹" + runtime::texts::Quoted(folder_.path()) +
                  "中寻找它，但不会自行建立。");
  }
  EXPECT_FALSE(fs::exists(paths_.endgame_folder));
}

#if !defined(_WIN32)
// Only a set that does not exist shows no level; a folder that may not be
// searched is a failure, not an empty set.
TEST_F(CurrentLevel, UnprivilegedAnEndgameFolderThatCannotBeSearchedIsAFailure) {
  if (geteuid() == 0) {
    GTEST_SKIP() << "permissions do not bind the superuser";
  }
  WriteBytes(paths_.endgame_set, "a\t5\r\n");
  fs::permissions(paths_.endgame_folder, fs::perms::owner_read);
  try {
    ReadCurrentLevel(paths_);
    ADD_FAILURE() << "no failure";
  } catch (const runtime::Failure& failure) {
    EXPECT_EQ(std::string(failure.what())
                  .rfind("无法访问" + runtime::texts::Quoted(paths_.endgame_set) + "：", 0),
              0u)
        << failure.what();
  }
}
#endif

}  // namespace
}  // namespace velkaro::endgame
