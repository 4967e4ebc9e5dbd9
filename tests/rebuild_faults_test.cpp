#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>

#include "app/runtime/failure.h"
#include "endgame/messages.h"
#include "endgame/rebuild.h"
#include "tests/rebuild_fixture.h"
#include "tests/scratch_folder.h"

#if !defined(_WIN32)
#include <unistd.h>
#endif

namespace velkaro::endgame {
namespace {

namespace fs = std::filesystem;
using testing::ReadBytes;
using testing::WriteBytes;

// Lines no level matches, however the input is cut.
class BadInput : public RebuildTest {};

TEST_F(BadInput, NulAndBytesInvalidInTheCodePageAreCarriedAsTheyAre) {
  const std::string odd = std::string("8/8\0/8", 6) + "\t3\t\x81\xff\x80\x00 end";
  WriteBytes(paths_.position_list, odd + "\r\n" + std::string("x\t3\0\r\n", 6) + "\x81\t3");
  EXPECT_EQ(Run("3"), "调整完毕共 2 关");
  EXPECT_EQ(NewSet(), odd + "\r\n\x81\t3\r\n");
}

TEST_F(BadInput, ListsOfNothingButLineEndsMatchNothing) {
  for (const std::string_view list : {"\r\n\r\n\r\n", "\r\r\r", "\n\n\n", "\t"}) {
    WriteBytes(paths_.position_list, list);
    EXPECT_EQ(Run("1"), "级别不在范围（1-179）内");
    EXPECT_EQ(NewSet(), "");
  }
}

TEST_F(BadInput, ALevelTextWithTabsOrSpacesIsComparedAsItIs) {
  WriteBytes(paths_.position_list, "a\tb\tc\r\na\t b \r\n");
  EXPECT_EQ(Run("b\tc"), "级别不在范围（1-179）内");
  EXPECT_EQ(Run(" b "), "调整完毕共 1 关");
  EXPECT_EQ(Run("b"), "调整完毕共 1 关");
}

TEST_F(BadInput, LongLevelTextsAndVeryLongLines) {
  const std::string level(10000, '9');
  const std::string long_line = std::string(100 << 20, 'p') + "\t5\t" + std::string(64, 'q');
  WriteBytes(paths_.position_list,
             "a\t" + level + "\r\n" + long_line + "\r\nb\t" + level + "9\r\nc\t5");
  EXPECT_EQ(Run(level), "调整完毕共 1 关");
  EXPECT_EQ(NewSet(), "a\t" + level + "\r\n");
  EXPECT_EQ(Run("5"), "调整完毕共 2 关");
  EXPECT_EQ(NewSet(), long_line + "\r\nc\t5\r\n");
}

// Rebuilds of two levels at once: the set and the progress always come whole
// from one of them.
TEST_F(BadInput, RebuildsAtTheSameTimeNeverMix) {
  WriteBytes(paths_.position_list, LinesOfLevel(3000, "1") + LinesOfLevel(2000, "2"));
  std::mutex settings_lock;
  struct SharedSettings : runtime::SettingsStore {
    std::mutex* lock;
    runtime::MemorySettings* store;
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
  EXPECT_EQ(testing::EntriesOf(paths_.endgame_folder), std::vector<std::string>{"VIRLA.EPD"});
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
  ExpectFailure("VELKARO_FAIL_READ_AT", "1500000",
                "无法读取文件" + runtime::Quoted(paths_.position_list) + "：" + std::strerror(EIO));
}

TEST_F(InjectedFault, AFullDiskChangesNothing) {
  ExpectFailure(
      "VELKARO_FAIL_WRITE_AT", "300000",
      "无法写入文件" + runtime::Quoted(paths_.endgame_set) + "：" + std::strerror(ENOSPC));
}

TEST_F(InjectedFault, FailingToFlushOrCloseTheNewSetChangesNothing) {
  const std::string expected =
      "无法写入文件" + runtime::Quoted(paths_.endgame_set) + "：" + std::strerror(EIO);
  ExpectFailure("VELKARO_FAIL_FSYNC", "1", expected);
  ExpectFailure("VELKARO_FAIL_CLOSE", "1", expected);
}

TEST_F(InjectedFault, FailingToReplaceTheSetChangesNothing) {
  ExpectFailure("VELKARO_FAIL_RENAME", "1",
                "无法替换文件" + runtime::Quoted(paths_.endgame_set) + "：" + std::strerror(EIO));
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
    EXPECT_EQ(std::string(failure.what()), "无法写入文件" + runtime::Quoted(paths.endgame_set) +
                                               "：" + std::strerror(ENOSPC) + "（错误代码 " +
                                               std::to_string(ENOSPC) + "）");
  }
  EXPECT_EQ(ReadBytes(paths.endgame_set), kOldSet);
  EXPECT_EQ(testing::EntriesOf(paths.endgame_folder), std::vector<std::string>{"VIRLA.EPD"});
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
