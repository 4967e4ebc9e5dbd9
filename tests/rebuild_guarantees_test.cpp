// What a rebuild guarantees whatever happens: every failure leaves the set and
// the settings as they were and says what failed; links are not followed;
// copies at once never mix. What it makes of its input is in rebuild_test.cpp.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>

#include "app/runtime/failure.h"
#include "app/runtime/texts.h"
#include "endgame/messages.h"
#include "endgame/rebuild.h"
#include "tests/rebuild_fixture.h"
#include "tests/support/scratch_folder.h"

#if !defined(_WIN32)
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#endif

namespace velkaro::endgame {
namespace {

namespace fs = std::filesystem;
using tests::ReadBytes;
using tests::WriteBytes;

// Every failure the program can meet leaves the set and the settings as they
// were, and says what failed.
class FailedRebuild : public RebuildTest {};

TEST_F(FailedRebuild, OneStageTooManyChangesNothing) {
  WriteBytes(paths_.position_list, LinesOfLevel(kMaxStages + 1, "44"));
  EXPECT_EQ(Fail("44"), TooManyStagesMessage(kMaxStages, paths_.endgame_set));
  ExpectNothingChanged();
}

TEST_F(FailedRebuild, AMissingPositionListChangesNothing) {
  EXPECT_EQ(
      Fail("5").rfind("无法打开文件" + runtime::texts::Quoted(paths_.position_list) + "：", 0), 0u);
  ExpectNothingChanged();
}

TEST_F(FailedRebuild, APositionListThatCannotBeReadChangesNothing) {
  fs::create_directory(paths_.position_list);
  const std::string message = Fail("5");
  EXPECT_EQ(message.rfind("无法", 0), 0u);
  EXPECT_NE(message.find(runtime::texts::Quoted(paths_.position_list) + "："), std::string::npos)
      << message;
  ExpectNothingChanged();
}

TEST_F(FailedRebuild, AMissingEndgameFolderIsNamedAndNotCreated) {
  WriteBytes(paths_.position_list, kList);
  fs::remove_all(paths_.endgame_folder);
  const std::string expected =
      "无法在文件夹" + runtime::texts::Quoted(paths_.endgame_folder) + "中创建新文件：";
  EXPECT_EQ(Fail("12").rfind(expected, 0), 0u);
  EXPECT_FALSE(fs::exists(paths_.endgame_folder));
  EXPECT_EQ(settings_.log, "");
}

TEST_F(FailedRebuild, SettingsThatCannotBeOpenedChangeNothing) {
  WriteBytes(paths_.position_list, kList);
  settings_.refuse_open = true;
  EXPECT_EQ(Fail("12"), "无法打开设置“kestrow\\gui\\”：拒绝访问。");
  ExpectNothingChanged();
}

TEST_F(FailedRebuild, SettingsThatCannotBeSavedAreReportedAfterTheNewSet) {
  WriteBytes(paths_.position_list, kList);
  settings_.refuse_save = 2;
  EXPECT_EQ(Fail("12"), ProgressNotSavedMessage(paths_.endgame_set,
                                                "无法写入设置“kestrow\\gui\\last”：拒绝访问。"));
  EXPECT_EQ(NewSet(), kLevel12);
  EXPECT_EQ(settings_.log, "kestrow\\gui\\curr=0\n");
}

#if !defined(_WIN32)
// A file size limit makes the writes of the new set fail part way through.
TEST_F(FailedRebuild, AWriteFailureChangesNothing) {
  WriteBytes(paths_.position_list, LinesOfLevel(30000, "44"));
  std::signal(SIGXFSZ, SIG_IGN);
  rlimit saved{};
  getrlimit(RLIMIT_FSIZE, &saved);
  rlimit small = saved;
  small.rlim_cur = 64 * 1024;
  setrlimit(RLIMIT_FSIZE, &small);
  const std::string message = Fail("44");
  setrlimit(RLIMIT_FSIZE, &saved);
  EXPECT_EQ(message.rfind("无法写入文件" + runtime::texts::Quoted(paths_.endgame_set) + "：", 0),
            0u)
      << message;
  ExpectNothingChanged();
}

// Permissions do not bind the superuser; the build runs these again as an
// unprivileged user.
TEST_F(FailedRebuild, UnprivilegedAReadOnlyEndgameFolderChangesNothing) {
  if (geteuid() == 0) {
    GTEST_SKIP() << "permissions do not bind the superuser";
  }
  WriteBytes(paths_.position_list, kList);
  fs::permissions(paths_.endgame_folder,
                  fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  const std::string expected =
      "无法在文件夹" + runtime::texts::Quoted(paths_.endgame_folder) + "中创建新文件：";
  EXPECT_EQ(Fail("12").rfind(expected, 0), 0u);
  ExpectNothingChanged();
}

TEST_F(FailedRebuild, UnprivilegedAnUnreadablePositionListChangesNothing) {
  if (geteuid() == 0) {
    GTEST_SKIP() << "permissions do not bind the superuser";
  }
  WriteBytes(paths_.position_list, kList);
  fs::permissions(paths_.position_list, fs::perms::none);
  EXPECT_EQ(
      Fail("12").rfind("无法打开文件" + runtime::texts::Quoted(paths_.position_list) + "：", 0),
      0u);
  ExpectNothingChanged();
}
#endif

// Rebuilds of two levels at once: the set and the progress always come whole
// from one of them.
class Concurrency : public RebuildTest {};

TEST_F(Concurrency, RebuildsOfTwoLevelsAtOnceNeverMix) {
  WriteBytes(paths_.position_list, LinesOfLevel(3000, "1") + LinesOfLevel(2000, "2"));
  std::mutex settings_lock;
  struct SharedSettings : runtime::SettingsStore {
    std::mutex* lock;
    tests::MemorySettings* store;
    struct Section : runtime::SettingsSection {
      std::mutex* lock;
      std::unique_ptr<runtime::SettingsSection> inner;
      void Save(std::string_view key, std::string_view value) override {
        const std::lock_guard<std::mutex> hold(*lock);
        inner->Save(key, value);
      }
    };
    std::unique_ptr<runtime::SettingsSection> OpenSection(std::string_view a,
                                                          std::string_view s) override {
      const std::lock_guard<std::mutex> hold(*lock);
      auto section = std::make_unique<Section>();
      section->lock = lock;
      section->inner = store->OpenSection(a, s);
      return section;
    }
  } shared;
  shared.lock = &settings_lock;
  shared.store = &settings_;
  auto rebuild = [&](const char* level) {
    for (int i = 0; i < 10; ++i) {
      RebuildEndgameSet(paths_, level, kTicked, shared);
    }
  };
  std::thread one(rebuild, "1");
  std::thread two(rebuild, "2");
  one.join();
  two.join();
  const std::string set = NewSet();
  ASSERT_TRUE(set == LinesOfLevel(3000, "1") || set == LinesOfLevel(2000, "2"));
  EXPECT_EQ(settings_.Value(kLast), set.size() == LinesOfLevel(3000, "1").size() ? "3000" : "2000");
  EXPECT_EQ(tests::EntriesOf(paths_.endgame_folder), std::vector<std::string>{"VIRLA.EPD"});
}

#if !defined(_WIN32)

// Failures of the system, made by a library preloaded into the test run that
// makes the calls fail as failing hardware would.
class InjectedFault : public RebuildTest {
 protected:
  void SetUp() override {
    if (std::getenv("VELKARO_FAULT_SHIM") == nullptr) {
      GTEST_SKIP() << "runs with the fault library preloaded";
    }
    // Two blocks' worth, so the failure comes after lines were written.
    WriteBytes(paths_.position_list, LinesOfLevel(30000, "44") + LinesOfLevel(40000, "45"));
  }
  void TearDown() override {
    for (const char* variable :
         {"VELKARO_FAIL_READ_AT", "VELKARO_FAIL_WRITE_AT", "VELKARO_FAIL_FSYNC",
          "VELKARO_FAIL_CLOSE", "VELKARO_FAIL_RENAME"}) {
      unsetenv(variable);
    }
  }

  void ExpectFailure(const char* variable, const char* value, const std::string& expected) {
    setenv(variable, value, 1);
    const std::string message = Fail("44");
    unsetenv(variable);
    EXPECT_EQ(message.rfind(expected, 0), 0u) << message;
    ExpectNothingChanged();
  }
};

TEST_F(InjectedFault, AReadErrorInTheMiddleOfTheListChangesNothing) {
  ExpectFailure(
      "VELKARO_FAIL_READ_AT", "1500000",
      "无法读取文件" + runtime::texts::Quoted(paths_.position_list) + "：" + std::strerror(EIO));
}

TEST_F(InjectedFault, AFullDiskChangesNothing) {
  ExpectFailure(
      "VELKARO_FAIL_WRITE_AT", "300000",
      "无法写入文件" + runtime::texts::Quoted(paths_.endgame_set) + "：" + std::strerror(ENOSPC));
}

TEST_F(InjectedFault, FailingToFlushOrCloseTheNewSetChangesNothing) {
  const std::string expected =
      "无法写入文件" + runtime::texts::Quoted(paths_.endgame_set) + "：" + std::strerror(EIO);
  ExpectFailure("VELKARO_FAIL_FSYNC", "1", expected);
  ExpectFailure("VELKARO_FAIL_CLOSE", "1", expected);
}

TEST_F(InjectedFault, FailingToReplaceTheSetChangesNothing) {
  ExpectFailure(
      "VELKARO_FAIL_RENAME", "1",
      "无法替换文件" + runtime::texts::Quoted(paths_.endgame_set) + "：" + std::strerror(EIO));
}

// A real full disk: the test run mounts a small file system and names it.
TEST_F(RebuildTest, SmallDiskAFullDiskChangesNothing) {
  const char* small_disk = std::getenv("VELKARO_SMALL_DISK");
  if (small_disk == nullptr) {
    GTEST_SKIP() << "runs on a small file system mounted for it";
  }
  const EndgamePaths paths = EndgamePathsIn(fs::path(small_disk) / "work");
  fs::create_directories(paths.endgame_folder);
  WriteBytes(paths.endgame_set, kOldSet);
  WriteBytes(paths.position_list, LinesOfLevel(4000, "44"));  // about half the disk
  try {
    RebuildEndgameSet(paths, "44", kTicked, settings_);
    FAIL() << "the rebuild did not fail";
  } catch (const runtime::Failure& failure) {
    EXPECT_EQ(std::string(failure.what()),
              "无法写入文件" + runtime::texts::Quoted(paths.endgame_set) + "：" +
                  std::strerror(ENOSPC) + "（错误代码 " + std::to_string(ENOSPC) + "）");
  }
  EXPECT_EQ(ReadBytes(paths.endgame_set), kOldSet);
  EXPECT_EQ(tests::EntriesOf(paths.endgame_folder), std::vector<std::string>{"VIRLA.EPD"});
  EXPECT_EQ(settings_.log, "");
}

// Nothing is written through a link: the new file is made, never opened.
class Links : public RebuildTest {};

TEST_F(Links, ALinkWhereTheNewFileWouldGoIsLeftAlone) {
  const fs::path outside = folder_.path() / "outside.txt";
  WriteBytes(outside, "not to be touched");
  const fs::path trap =
      paths_.endgame_folder / ("VIRLA.EPD." + std::to_string(::getpid()) + "-0.tmp");
  fs::create_symlink(outside, trap);
  WriteBytes(paths_.position_list, "a\t1\r\n");
  EXPECT_EQ(Run("1"), "调整完毕共 1 关");
  EXPECT_EQ(ReadBytes(outside), "not to be touched");
  EXPECT_TRUE(fs::is_symlink(trap));
  EXPECT_EQ(NewSet(), "a\t1\r\n");
}

TEST_F(Links, ASetThatIsALinkIsReplacedNotWrittenThrough) {
  const fs::path outside = folder_.path() / "outside.txt";
  WriteBytes(outside, "not to be touched");
  fs::remove(paths_.endgame_set);
  fs::create_symlink(outside, paths_.endgame_set);
  WriteBytes(paths_.position_list, "a\t1\r\n");
  EXPECT_EQ(Run("1"), "调整完毕共 1 关");
  EXPECT_EQ(ReadBytes(outside), "not to be touched");
  EXPECT_FALSE(fs::is_symlink(paths_.endgame_set));
  EXPECT_EQ(NewSet(), "a\t1\r\n");
}

#endif

}  // namespace
}  // namespace velkaro::endgame
