#include "endgame/rebuild.h"

#include <gtest/gtest.h>

#include <string>

#include "app/runtime/failure.h"
#include "app/runtime/memory_settings.h"
#include "endgame/messages.h"
#include "tests/rebuild_fixture.h"
#include "tests/scratch_folder.h"

#if !defined(_WIN32)
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#endif

namespace velkaro::endgame {
namespace {

namespace fs = std::filesystem;
using testing::EntriesOf;
using testing::ReadBytes;
using testing::ScratchFolder;
using testing::WriteBytes;
using Entries = std::vector<std::string>;

class Rebuild : public RebuildTest {};

constexpr std::string_view kList =
    "6k1/5ppp/8/8/8/8/5PPP/3R2K1 w - - 0 1\t12\tbm Rd8#\r\n"
    "8/8/8/4k3/8/8/4P3/4K3 w - - 0 1\t7\r\n"
    "8/5k2/8/8/8/8/5K2/7R w - - 0 1\t12\r\n"
    "8/8/8/8/8/2k5/2p5/2K5 b - - 0 1\t012\r\n"
    "8/8/8/8/8/2k5/8/2K1Q3 w - - 0 1\t12 \r\n"
    "8/8/8/8/8/8/1k6/R3K3 w - - 0 1\t 12\r\n"
    "7k/8/6K1/8/8/8/8/6Q1 w - - 0 1\t12\tid \"last\"\r\n";

constexpr std::string_view kLevel12 =
    "6k1/5ppp/8/8/8/8/5PPP/3R2K1 w - - 0 1\t12\tbm Rd8#\r\n"
    "8/5k2/8/8/8/8/5K2/7R w - - 0 1\t12\r\n"
    "7k/8/6K1/8/8/8/8/6Q1 w - - 0 1\t12\tid \"last\"\r\n";

TEST_F(Rebuild, CopiesTheLinesOfTheLevelInOrderAndResetsProgress) {
  WriteBytes(paths_.position_list, kList);
  EXPECT_EQ(Run("12"), "调整完毕共 3 关");
  EXPECT_EQ(NewSet(), kLevel12);
  EXPECT_EQ(settings_.log, "kestrow\\gui\\curr=0\nkestrow\\gui\\last=3\n");
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
  EXPECT_EQ(NewSet(), "8/8/8/8/8/2k5/2p5/2K5 b - - 0 1\t012\r\n");
  EXPECT_EQ(Run("12 "), "调整完毕共 1 关");
  EXPECT_EQ(NewSet(), "8/8/8/8/8/2k5/8/2K1Q3 w - - 0 1\t12 \r\n");
  EXPECT_EQ(Run(" 12"), "调整完毕共 1 关");
  EXPECT_EQ(NewSet(), "8/8/8/8/8/8/1k6/R3K3 w - - 0 1\t 12\r\n");
}

TEST_F(Rebuild, NoMatchLeavesAnEmptySetAndSaysTheLevelIsOutOfRange) {
  WriteBytes(paths_.position_list, "a\t12\r\n");
  for (const std::string_view level : {"13", "1", "", "12\tbm"}) {
    EXPECT_EQ(Run(level), "级别不在范围（1-179）内") << level;
    EXPECT_EQ(NewSet(), "");
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
  EXPECT_EQ(NewSet(), "b\t\r\nc\t\tx\r\n");
  EXPECT_EQ(Run("abc"), "调整完毕共 1 关");
}

TEST_F(Rebuild, EndsEveryLineWithCrLfAndSkipsLinesWithoutALevel) {
  WriteBytes(paths_.position_list, "a\t3\nb\t3\rno level\r\n\r\n\nc\t3\r\nc\t3\r\nd\t3");
  EXPECT_EQ(Run("3"), "调整完毕共 5 关");
  EXPECT_EQ(NewSet(), "a\t3\r\nb\t3\r\nc\t3\r\nc\t3\r\nd\t3\r\n");
}

TEST_F(Rebuild, CarriesTheBytesOfALineUnchanged) {
  const std::string line = std::string("\x00\x01 \xff\x80\xb8\xdf", 7) + "\t9\t\xa1\xa4 \x7f";
  WriteBytes(paths_.position_list, line + "\r\n");
  EXPECT_EQ(Run("9"), "调整完毕共 1 关");
  EXPECT_EQ(NewSet(), line + "\r\n");
}

TEST_F(Rebuild, MatchesAChineseLevelInTheFilesCodePage) {
  // 高 and 低 in code page 936.
  WriteBytes(paths_.position_list, "a\t\xb8\xdf\r\nb\t\xb5\xcd\r\nc\t\xb8\xdf\xb5\xcd\r\n");
  EXPECT_EQ(Run("高"), "调整完毕共 1 关");
  EXPECT_EQ(NewSet(), "a\t\xb8\xdf\r\n");
  EXPECT_EQ(Run("高低"), "调整完毕共 1 关");
  EXPECT_EQ(Run("😀"), "级别不在范围（1-179）内");  // not in the code page: matches nothing
}

TEST_F(Rebuild, MakesTheFirstSetWhereThereIsNone) {
  fs::remove(paths_.endgame_set);
  WriteBytes(paths_.position_list, "a\t1\r\n");
  EXPECT_EQ(Run("1"), "调整完毕共 1 关");
  EXPECT_EQ(NewSet(), "a\t1\r\n");
}

TEST_F(Rebuild, TakesAtMost32767Stages) {
  const std::string list = LinesOfLevel(kMaxStages, "44");
  WriteBytes(paths_.position_list, "x\t45\r\n" + list);
  EXPECT_EQ(Run("44"), "调整完毕共 32767 关");
  EXPECT_EQ(NewSet(), list);
  EXPECT_EQ(settings_.Value(kLast), "32767");
}

TEST_F(Rebuild, OneStageTooManyChangesNothing) {
  WriteBytes(paths_.position_list, LinesOfLevel(kMaxStages + 1, "44"));
  EXPECT_EQ(Fail("44"), TooManyStagesMessage(kMaxStages, paths_.endgame_set));
  ExpectNothingChanged();
}

TEST_F(Rebuild, AMissingPositionListChangesNothing) {
  EXPECT_EQ(Fail("5").rfind("无法打开文件" + runtime::Quoted(paths_.position_list) + "：", 0), 0u);
  ExpectNothingChanged();
}

TEST_F(Rebuild, APositionListThatCannotBeReadChangesNothing) {
  fs::create_directory(paths_.position_list);
  const std::string message = Fail("5");
  EXPECT_EQ(message.rfind("无法", 0), 0u);
  EXPECT_NE(message.find(runtime::Quoted(paths_.position_list) + "："), std::string::npos)
      << message;
  ExpectNothingChanged();
}

TEST_F(Rebuild, AMissingEndgameFolderIsNamedAndNotCreated) {
  WriteBytes(paths_.position_list, kList);
  fs::remove_all(paths_.endgame_folder);
  const std::string expected =
      "无法在文件夹" + runtime::Quoted(paths_.endgame_folder) + "中创建新文件：";
  EXPECT_EQ(Fail("12").rfind(expected, 0), 0u);
  EXPECT_FALSE(fs::exists(paths_.endgame_folder));
  EXPECT_EQ(settings_.log, "");
}

TEST_F(Rebuild, SettingsThatCannotBeOpenedChangeNothing) {
  WriteBytes(paths_.position_list, kList);
  settings_.refuse_open = true;
  EXPECT_EQ(Fail("12"), "无法打开设置“kestrow\\gui\\”：拒绝访问。");
  ExpectNothingChanged();
}

TEST_F(Rebuild, SettingsThatCannotBeSavedAreReportedAfterTheNewSet) {
  WriteBytes(paths_.position_list, kList);
  settings_.refuse_save = 2;
  EXPECT_EQ(Fail("12"), ProgressNotSavedMessage(paths_.endgame_set,
                                                "无法写入设置“kestrow\\gui\\last”：拒绝访问。"));
  EXPECT_EQ(NewSet(), kLevel12);
  EXPECT_EQ(settings_.log, "kestrow\\gui\\curr=0\n");
}

#if !defined(_WIN32)
// A file size limit makes the writes of the new set fail part way through.
TEST_F(Rebuild, AWriteFailureChangesNothing) {
  WriteBytes(paths_.position_list, LinesOfLevel(30000, "44"));
  std::signal(SIGXFSZ, SIG_IGN);
  rlimit saved{};
  getrlimit(RLIMIT_FSIZE, &saved);
  rlimit small = saved;
  small.rlim_cur = 64 * 1024;
  setrlimit(RLIMIT_FSIZE, &small);
  const std::string message = Fail("44");
  setrlimit(RLIMIT_FSIZE, &saved);
  EXPECT_EQ(message.rfind("无法写入文件" + runtime::Quoted(paths_.endgame_set) + "：", 0), 0u)
      << message;
  ExpectNothingChanged();
}

// Permissions do not bind the superuser; the build runs these again as an
// unprivileged user.
TEST_F(Rebuild, UnprivilegedAReadOnlyEndgameFolderChangesNothing) {
  if (geteuid() == 0) {
    GTEST_SKIP() << "permissions do not bind the superuser";
  }
  WriteBytes(paths_.position_list, kList);
  fs::permissions(paths_.endgame_folder,
                  fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  const std::string expected =
      "无法在文件夹" + runtime::Quoted(paths_.endgame_folder) + "中创建新文件：";
  EXPECT_EQ(Fail("12").rfind(expected, 0), 0u);
  ExpectNothingChanged();
}

TEST_F(Rebuild, UnprivilegedAnUnreadablePositionListChangesNothing) {
  if (geteuid() == 0) {
    GTEST_SKIP() << "permissions do not bind the superuser";
  }
  WriteBytes(paths_.position_list, kList);
  fs::permissions(paths_.position_list, fs::perms::none);
  EXPECT_EQ(Fail("12").rfind("无法打开文件" + runtime::Quoted(paths_.position_list) + "：", 0), 0u);
  ExpectNothingChanged();
}
#endif

}  // namespace
}  // namespace velkaro::endgame
