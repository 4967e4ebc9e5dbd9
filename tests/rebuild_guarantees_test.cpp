// What a rebuild guarantees whatever happens: every failure leaves the set and
// the settings as they were and says what failed; links are not followed;
// copies at once never mix. What it makes of its input is in rebuild_test.cpp.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <future>
#include <mutex>
#include <string>
#include <thread>

#include "endgame/current_level.h"
#include "endgame/messages.h"
#include "endgame/rebuild.h"
#include "runtime/failure.h"
#include "runtime/texts.h"
#include "tests/rebuild_fixture.h"
#include "tests/support/same_bytes.h"
#include "tests/support/scratch_folder.h"

#if !defined(_WIN32)
#include <sys/resource.h>
#include <sys/wait.h>
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

// A path as the messages spell it, between Chinese quotation marks.
std::string Spelled(const fs::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

#if !defined(_WIN32)
// A failure to write names the new file and says the set is as it was.
std::string WriteFailureMessage(const EndgamePaths& paths, int error) {
  const std::string set = paths.endgame_set.string();
  return "无法写入新文件“" + set + "." + std::to_string(getpid()) + "-0.tmp”：" +
         std::strerror(error) + "（错误代码 " + std::to_string(error) + "）；文件“" + set +
         "”未作更改。";
}
#endif

TEST_F(FailedRebuild, OneStageTooManyChangesNothing) {
  WriteBytes(paths_.position_list, LinesOfLevel(kMaxStages + 1, "44"));
  EXPECT_EQ(Fail("44"), "这个级别的局面超过 32767 个，训练程序容纳不下；残局题库“" +
                            Spelled(paths_.endgame_set) + "”未作更改。");
  ExpectNothingChanged();
}

// Text in UTF-16, little- or big-endian.
std::string Utf16(std::u16string_view text, bool big_endian = false) {
  std::string bytes;
  for (const char16_t each : text) {
    const auto low = static_cast<char>(each & 0xFF);
    const auto high = static_cast<char>(each >> 8);
    bytes += big_endian ? std::string{high, low} : std::string{low, high};
  }
  return bytes;
}

std::u16string Repeated(std::u16string_view text, int times) {
  std::u16string whole;
  for (int i = 0; i < times; ++i) {
    whole += text;
  }
  return whole;
}

// A list in UTF-16 is refused when a CR LF of its own proves it, wherever its
// first 64 KiB hold one; when they do not, by what it selects: nothing, from a
// list that holds NUL bytes. An ANSI list with NUL bytes beside its TABs and
// line breaks is copied. 中 (U+4E2D) holds no NUL, nor a TAB or line break.
TEST_F(FailedRebuild, AListInUtf16IsRefusedAndAnAnsiListWithNulsIsCopied) {
  enum Outcome { kUtf16, kNoLineAndNuls, kCopied };
  const std::u16string header = Repeated(u"中", 60) + u"\r\n";
  const std::u16string lines = u"8/8/8/8/8/8/8/K1k5 w - - 0 1\t12\r\n";
  // Lines of odd lengths, fields padded with NULs: a NUL before a TAB and
  // one before a CR at even offsets, as a TAB and a CR of UTF-16 would be.
  const std::string padded = std::string("8/8/8/8/8/8/8/K1k5 w\0\t12\tbm\0\0\r\n", 31) +
                             std::string("7k/8/6K1/8/8/8/8/6Q1 w\0\0\t12\tid\0\r\n", 33);
  const struct {
    std::string list;
    Outcome outcome;
  } cases[] = {
      {"\xFF\xFE" + Utf16(u"a\t12"), kUtf16},
      {"\xFE\xFF" + Utf16(u"a\t12", true), kUtf16},
      {Utf16(lines), kUtf16},
      {Utf16(lines, true), kUtf16},
      // Chinese header lines, no TAB in the first page.
      {Utf16(Repeated(header, 35) + lines), kUtf16},
      {Utf16(Repeated(header, 35) + lines, true), kUtf16},
      // A first line of 2,100 characters, without a TAB or with one.
      {Utf16(Repeated(u"中", 2100) + u"\r\n" + lines), kUtf16},
      {Utf16(Repeated(u"中", 2100) + u"\r\n" + lines, true), kUtf16},
      {Utf16(u"a\t" + Repeated(u"中", 2100) + u"\r\n" + lines), kUtf16},
      // No proof: no line break, LF alone, a first line past 64 KiB, or past
      // a block of the reads, whose NULs are then seen on the thread that
      // reads it (上, U+4E0A, holds an LF byte: lines to the reads).
      {Utf16(u"a\t12"), kNoLineAndNuls},
      {Utf16(u"a\t12\na\t12\n", true), kNoLineAndNuls},
      {Utf16(Repeated(u"中", 40000) + u"\r\n" + lines, true), kNoLineAndNuls},
      {Utf16(Repeated(u"上", 600000) + u"\r\n" + lines), kNoLineAndNuls},
      // NULs in the first block alone, read on one thread, the last on another.
      {Utf16(u"a\t12\na\t12\n", true) + std::string(std::size_t{3} << 19, 'z'), kNoLineAndNuls},
      {padded, kCopied},
  };
  for (const auto& [list, outcome] : cases) {
    SCOPED_TRACE(testing::PrintToString(list.substr(0, 24)));
    WriteBytes(paths_.position_list, list);
    if (outcome == kCopied) {
      EXPECT_EQ(Run("12"), "调整完毕共 2 关");
      EXPECT_TRUE(tests::SameBytes(NewSet(), padded));
      EXPECT_EQ(Fail("13").rfind("列表", 0), 0u);  // none of the level: refused
      continue;
    }
    EXPECT_EQ(
        Fail("12"),
        outcome == kUtf16
            ? "文件“" + Spelled(paths_.position_list) +
                  "”是以 Unicode（UTF-16）编码保存的，本程序只能读取 ANSI（GBK）编码的"
                  "文本。请用记事本打开它，另存为时把编码选为 ANSI，然后再试。没有作任何更改。"
            : "列表“" + Spelled(paths_.position_list) +
                  "”中没有一行属于这个级别，而且其中含有空字节（NUL）：它可能是以 Unicode"
                  "（UTF-16）编码保存的，本程序只能读取 ANSI（GBK）编码的文本。为免把残局"
                  "题库换成空的，没有作任何更改。如果是这样，请用记事本打开它，另存为时把"
                  "编码选为 ANSI，然后再试。");
    ExpectNothingChanged();
  }
}

TEST_F(FailedRebuild, AMissingPositionListChangesNothing) {
  EXPECT_EQ(
      Fail("5").rfind("无法打开文件" + runtime::texts::Quoted(paths_.position_list) + "：", 0), 0u);
  ExpectNothingChanged();
}

// Whatever the level, even one no line can carry: the list is read whole.
TEST_F(FailedRebuild, APositionListThatCannotBeReadChangesNothing) {
  fs::create_directory(paths_.position_list);
  for (const std::string_view level : {"5", "5\t5", "\xF0\x9F\x98\x80"}) {
    const std::string message = Fail(level);
    EXPECT_EQ(message.rfind("无法", 0), 0u);
    EXPECT_NE(message.find(runtime::texts::Quoted(paths_.position_list) + "："), std::string::npos)
        << message;
    ExpectNothingChanged();
  }
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

// A folder where the set should be, or a file where its folder should be, is
// named for what it is.
TEST_F(FailedRebuild, WhatStandsInThePlaceOfTheSetOrItsFolderIsNamed) {
  WriteBytes(paths_.position_list, kList);
  fs::remove(paths_.endgame_set);
  fs::create_directory(paths_.endgame_set);
  EXPECT_EQ(Fail("12"),
            "无法替换文件“" + Spelled(paths_.endgame_set) + "”：这是一个文件夹，不是文件");
  EXPECT_EQ(tests::EntriesOf(paths_.endgame_folder), std::vector<std::string>{"VIRLA.EPD"});
  fs::remove_all(paths_.endgame_folder);
  WriteBytes(paths_.endgame_folder, "");
  EXPECT_EQ(Fail("12"), "无法在文件夹“" + Spelled(paths_.endgame_folder) +
                            "”中创建新文件：这是一个文件，不是文件夹");
  EXPECT_EQ(settings_.log, "");
}

TEST_F(FailedRebuild, SettingsThatCannotBeOpenedChangeNothing) {
  WriteBytes(paths_.position_list, kList);
  settings_.refuse_open = true;
  EXPECT_EQ(Fail("12"), "无法打开设置“kestrow\\gui\\”：拒绝访问。");
  ExpectNothingChanged();
}

// The set is new; the message says how far the progress got.
TEST_F(FailedRebuild, SettingsThatCannotBeSavedAreReportedAfterTheNewSet) {
  const struct {
    int refuse_save;
    bool refuse_flush;
    std::string told;
    std::string log;
  } cases[] = {
      {1, false, "，但训练进度没有重置：无法写入设置“kestrow\\gui\\curr”：拒绝访问。", ""},
      {2, false,
       "，训练进度“curr”已重置为 0，但“last”没有写入：无法写入设置“kestrow\\gui\\last”：拒绝访问。",
       "kestrow\\gui\\curr=0\n"},
      {0, true, "，训练进度也已重置，但不能确定它已写入磁盘，断电后可能丢失：无法写入磁盘。",
       "kestrow\\gui\\curr=0\nkestrow\\gui\\last=3\n"},
  };
  for (const auto& each : cases) {
    WriteBytes(paths_.position_list, kList);
    WriteBytes(paths_.endgame_set, kOldSet);
    settings_ = tests::MemorySettings();
    settings_.refuse_save = each.refuse_save;
    settings_.refuse_flush = each.refuse_flush;
    EXPECT_EQ(Fail("12"), "残局题库“" + Spelled(paths_.endgame_set) + "”已经更换" + each.told);
    EXPECT_TRUE(tests::SameBytes(NewSet(), kLevel12));
    EXPECT_EQ(settings_.log, each.log);
  }
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
  EXPECT_EQ(message, WriteFailureMessage(paths_, EFBIG));
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
      void Flush() override {
        const std::lock_guard<std::mutex> hold(*lock);
        inner->Flush();
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
  TestThread one([&] { rebuild("1"); });
  TestThread two([&] { rebuild("2"); });
  one.Join();
  two.Join();
  const std::string set = NewSet();
  ASSERT_TRUE(set == LinesOfLevel(3000, "1") || set == LinesOfLevel(2000, "2"));
  EXPECT_EQ(settings_.Value(kLast), set.size() == LinesOfLevel(3000, "1").size() ? "3000" : "2000");
  EXPECT_EQ(tests::EntriesOf(paths_.endgame_folder), std::vector<std::string>{"VIRLA.EPD"});
}

// While one rebuild saves its progress, another must not put its set in place:
// the set and the progress would then come from different rebuilds.
TEST_F(Concurrency, NoSetIsReplacedWhileAnotherRebuildSavesItsProgress) {
  WriteBytes(paths_.position_list, kList);
  struct HeldSettings : runtime::SettingsStore {
    tests::MemorySettings* store;
    std::promise<void> saving;
    std::shared_future<void> go_on;
    struct Section : runtime::SettingsSection {
      HeldSettings* owner;
      std::unique_ptr<runtime::SettingsSection> inner;
      void Save(std::string_view key, std::string_view value) override {
        if (key == "last") {
          owner->saving.set_value();
          owner->go_on.wait();
        }
        inner->Save(key, value);
      }
      void Flush() override { inner->Flush(); }
    };
    std::unique_ptr<runtime::SettingsSection> OpenSection(std::string_view a,
                                                          std::string_view s) override {
      auto section = std::make_unique<Section>();
      section->owner = this;
      section->inner = store->OpenSection(a, s);
      return section;
    }
  } held;
  std::promise<void> release;
  held.store = &settings_;
  held.go_on = release.get_future().share();
  TestThread first([&] { RebuildEndgameSet(paths_, "12", kTicked, held); });
  held.saving.get_future().wait();
  tests::MemorySettings other_settings;
  TestThread second([&] { RebuildEndgameSet(paths_, "7", kTicked, other_settings); });
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_TRUE(tests::SameBytes(NewSet(), kLevel12))
      << "the other rebuild replaced the set meanwhile";
  release.set_value();
  first.Join();
  second.Join();
  EXPECT_TRUE(tests::SameBytes(NewSet(), "8/8/8/4k3/8/8/4P3/4K3 w - - 0 1\t7\r\n"));
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
         {"VELKARO_FAIL_READ_AT", "VELKARO_FAIL_PREAD", "VELKARO_FAIL_WRITE_AT",
          "VELKARO_FAIL_FSYNC", "VELKARO_FAIL_CLOSE", "VELKARO_FAIL_RENAME", "VELKARO_FAIL_ICONV",
          "VELKARO_FAIL_THREAD", "VELKARO_CHANGE_LIST", "VELKARO_END_READ_AT"}) {
      unsetenv(variable);
    }
  }

  void ExpectFailure(const char* variable, const char* value, const std::string& expected,
                     std::string_view level = "44") {
    setenv(variable, value, 1);
    const std::string message = Fail(level);
    unsetenv(variable);
    EXPECT_EQ(message.rfind(expected, 0), 0u) << message;
    ExpectNothingChanged();
  }
};

// Whatever the level, even one no line can carry, the whole list is read.
TEST_F(InjectedFault, AReadErrorInTheMiddleOfTheListChangesNothingWhateverTheLevel) {
  for (const std::string_view level : {"44", "4\t4", "4\r\n", "\xF0\x9F\x98\x80"}) {
    ExpectFailure(
        "VELKARO_FAIL_READ_AT", "1500000",
        "无法读取文件" + runtime::texts::Quoted(paths_.position_list) + "：" + std::strerror(EIO),
        level);
  }
}

// Also where the list starts with a line longer than a block, which is read
// through in another way.
TEST_F(InjectedFault, AReadErrorAfterALongFirstLineChangesNothing) {
  WriteBytes(paths_.position_list,
             std::string(1536 * 1024, 'p') + "\t44\r\n" + LinesOfLevel(20000, "44"));
  for (const std::string_view level : {"4\t4", "\xF0\x9F\x98\x80", "44"}) {
    ExpectFailure(
        "VELKARO_FAIL_READ_AT", "2000000",
        "无法读取文件" + runtime::texts::Quoted(paths_.position_list) + "：" + std::strerror(EIO),
        level);
  }
}

// A list that another program changes while it is read (a Unix program under
// Wine) is refused, whatever the level and however it was changed, even at
// the same size; one whose reads end before its size is refused too. Its
// last write is set an hour back, so that a rewrite within the system's
// clock tick is still told by its time.
TEST_F(InjectedFault, AListChangedWhileItIsReadChangesNothing) {
  const std::string changed = "列表" + runtime::texts::Quoted(paths_.position_list) +
                              "在读取时被另一个程序改动了。没有作任何更改，请等它写完后再试。";
  const std::pair<const char*, const char*> changes[] = {
      {"VELKARO_CHANGE_LIST", "shrink"},      {"VELKARO_CHANGE_LIST", "grow"},
      {"VELKARO_CHANGE_LIST", "rewrite"},     {"VELKARO_CHANGE_LIST", "regrow"},
      {"VELKARO_CHANGE_LIST", "grow-at-end"}, {"VELKARO_END_READ_AT", "2000000"}};
  for (const auto& [variable, how] : changes) {
    for (const std::string_view level : {"44", "4\t4"}) {
      WriteBytes(paths_.position_list, LinesOfLevel(30000, "44") + LinesOfLevel(40000, "45"));
      fs::last_write_time(paths_.position_list,
                          fs::file_time_type::clock::now() - std::chrono::hours(1));
      SCOPED_TRACE(std::string(how) + " " + std::string(level));
      ExpectFailure(variable, how, changed, level);
    }
  }
}

// A list that is a link to an endless device has a size of 0 and is read no
// further than that.
TEST_F(FailedRebuild, AListThatIsALinkToAnEndlessDeviceChangesNothing) {
  fs::create_symlink("/dev/zero", paths_.position_list);
  EXPECT_EQ(Fail("44"), "列表" + runtime::texts::Quoted(paths_.position_list) +
                            "在读取时被另一个程序改动了。没有作任何更改，请等它写完后再试。");
  ExpectNothingChanged();
}

// Without a second thread to read on, the list is read on this one alone.
TEST_F(InjectedFault, NoThreadToReadOnIsNoFailure) {
  setenv("VELKARO_FAIL_THREAD", "1", 1);
  EXPECT_EQ(Run("44"), "调整完毕共 30000 关");
  unsetenv("VELKARO_FAIL_THREAD");
  EXPECT_TRUE(tests::SameBytes(NewSet(), LinesOfLevel(30000, "44")));
}

// A positioned read of the set that fails is its read error, never its end.
TEST_F(InjectedFault, ASetThatFailsToReadAtStartIsAFailure) {
  setenv("VELKARO_FAIL_PREAD", "1", 1);
  try {
    ReadCurrentLevel(paths_);
    ADD_FAILURE() << "the level was shown";
  } catch (const runtime::Failure& failure) {
    EXPECT_EQ(std::string(failure.what()), "无法读取文件" +
                                               runtime::texts::Quoted(paths_.endgame_set) + "：" +
                                               std::strerror(EIO) + "（错误代码 5）");
  }
}

TEST_F(InjectedFault, NoCodePageConverterIsAFailureNotNoMatch) {
  const std::string expected = std::string("无法按代码页 CP936 转换文字：") + std::strerror(EINVAL);
  ExpectFailure("VELKARO_FAIL_ICONV", "1", expected, "高");
  WriteBytes(paths_.endgame_set, "a\t\xb8\xdf\r\n");
  setenv("VELKARO_FAIL_ICONV", "1", 1);
  try {
    ReadCurrentLevel(paths_);
    ADD_FAILURE() << "the level was shown";
  } catch (const runtime::Failure& failure) {
    EXPECT_EQ(std::string(failure.what()).rfind(expected, 0), 0u) << failure.what();
  }
}

TEST_F(InjectedFault, AFullDiskChangesNothing) {
  ExpectFailure("VELKARO_FAIL_WRITE_AT", "300000", WriteFailureMessage(paths_, ENOSPC));
}

TEST_F(InjectedFault, FailingToFlushOrCloseTheNewSetChangesNothing) {
  ExpectFailure("VELKARO_FAIL_FSYNC", "1", WriteFailureMessage(paths_, EIO));
  ExpectFailure("VELKARO_FAIL_CLOSE", "1", WriteFailureMessage(paths_, EIO));
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
    EXPECT_EQ(std::string(failure.what()), WriteFailureMessage(paths, ENOSPC));
  }
  EXPECT_TRUE(tests::SameBytes(ReadBytes(paths.endgame_set), kOldSet));
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
  EXPECT_TRUE(tests::SameBytes(ReadBytes(outside), "not to be touched"));
  EXPECT_TRUE(fs::is_symlink(trap));
  EXPECT_TRUE(tests::SameBytes(NewSet(), "a\t1\r\n"));
}

// New files that runs ended by a power loss or End Task left behind are
// removed once their process has ended and they were not written for a
// while; nothing else is touched: not one written lately (another machine's
// run), not another name of a read-only file of the user's, not a link.
TEST_F(RebuildTest, LeftoversOfEndedRunsAreRemovedAndNothingElse) {
  const pid_t child = fork();
  if (child == 0) {
    _exit(0);
  }
  ASSERT_GT(child, 0);
  waitpid(child, nullptr, 0);
  const std::string ended = std::to_string(child);
  const std::string running = std::to_string(getppid());
  const std::vector<std::string> kept = {
      "OTHER.EPD." + ended + "-0.tmp", "VIRLA.EPD." + ended + ".tmp",
      "VIRLA.EPD." + ended + "-0.tmp.bak", "VIRLA.EPD." + ended + "-0.txt",
      "VIRLA.EPD." + running + "-0.tmp", "VIRLA.EPD.bak", "VIRLA.EPD.x-0.tmp",
      // Only the names the program makes count.
      "VIRLA.EPD.0-0.tmp", "VIRLA.EPD.0" + ended + "-0.tmp", "VIRLA.EPD." + ended + "-00.tmp",
      "VIRLA.EPD." + ended + "-1000.tmp", "VIRLA.EPD." + ended + ".0.tmp",
      "VIRLA.EPD." + ended + "-0x.tmp", "VIRLA.EPD." + ended + "-0.TMP",
      "VIRLA.EPD.+" + ended + "-0.tmp", "virla.epd." + ended + "-0.tmp",
      "VIRLA.EPD.99999999999999999999-0.tmp", "VIRLA.EPD_" + ended + "-0.tmp"};
  for (const std::string& name : kept) {
    WriteBytes(paths_.endgame_folder / name, "kept");
  }
  WriteBytes(paths_.endgame_folder / ("VIRLA.EPD." + ended + "-0.tmp"), "left");
  WriteBytes(paths_.endgame_folder / ("VIRLA.EPD." + ended + "-999.tmp"), "left");
  // Never removed through a link, nor is what it points to.
  const fs::path outside = folder_.path() / "outside.txt";
  WriteBytes(outside, "kept");
  fs::create_symlink(outside, paths_.endgame_folder / ("VIRLA.EPD." + ended + "-2.tmp"));
  const fs::path users = folder_.path() / "users.txt";
  WriteBytes(users, "kept");
  fs::permissions(users, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  fs::create_hard_link(users, paths_.endgame_folder / ("VIRLA.EPD." + ended + "-3.tmp"));
  for (const auto& entry : fs::directory_iterator(paths_.endgame_folder)) {
    fs::last_write_time(entry.path(), fs::file_time_type::clock::now() - std::chrono::minutes(16));
  }
  WriteBytes(paths_.endgame_folder / ("VIRLA.EPD." + ended + "-4.tmp"), "lately");
  WriteBytes(paths_.position_list, kList);
  EXPECT_EQ(Run("12"), "调整完毕共 3 关");
  EXPECT_TRUE(tests::SameBytes(ReadBytes(outside), "kept"));
  EXPECT_EQ(fs::status(users).permissions(),
            fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  std::vector<std::string> expected = kept;
  expected.push_back("VIRLA.EPD");
  for (const char* serial : {"-2.tmp", "-3.tmp", "-4.tmp"}) {
    expected.push_back("VIRLA.EPD." + ended + serial);
  }
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(tests::EntriesOf(paths_.endgame_folder), expected);
}

// A process of another user answers "not permitted": it runs, and its new file stays.
TEST_F(RebuildTest, UnprivilegedTheLeftoverOfAnotherUsersRunningProcessIsKept) {
  if (geteuid() == 0) {
    GTEST_SKIP() << "the superuser may signal every process";
  }
  ASSERT_NE(getuid(), 0u);
  WriteBytes(paths_.endgame_folder / "VIRLA.EPD.1-0.tmp", "kept");  // PID 1 is root's
  WriteBytes(paths_.position_list, kList);
  EXPECT_EQ(Run("12"), "调整完毕共 3 关");
  EXPECT_EQ(tests::EntriesOf(paths_.endgame_folder),
            (std::vector<std::string>{"VIRLA.EPD", "VIRLA.EPD.1-0.tmp"}));
}

// Without leave to read the folder, it cannot be locked: a failure that names it.
TEST_F(FailedRebuild, UnprivilegedAFolderThatCannotBeLockedChangesNothing) {
  if (geteuid() == 0) {
    GTEST_SKIP() << "permissions do not bind the superuser";
  }
  WriteBytes(paths_.position_list, kList);
  fs::permissions(paths_.endgame_folder, fs::perms::owner_read, fs::perm_options::remove);
  const std::string message = Fail("12");
  fs::permissions(paths_.endgame_folder, fs::perms::owner_read, fs::perm_options::add);
  EXPECT_EQ(message, "无法锁定文件夹“" + Spelled(paths_.endgame_folder) + "”：" +
                         std::strerror(EACCES) + "（错误代码 13）");
  ExpectNothingChanged();
}

TEST_F(Links, ASetThatIsALinkIsReplacedNotWrittenThrough) {
  const fs::path outside = folder_.path() / "outside.txt";
  WriteBytes(outside, "not to be touched");
  fs::remove(paths_.endgame_set);
  fs::create_symlink(outside, paths_.endgame_set);
  WriteBytes(paths_.position_list, "a\t1\r\n");
  EXPECT_EQ(Run("1"), "调整完毕共 1 关");
  EXPECT_TRUE(tests::SameBytes(ReadBytes(outside), "not to be touched"));
  EXPECT_FALSE(fs::is_symlink(paths_.endgame_set));
  EXPECT_TRUE(tests::SameBytes(NewSet(), "a\t1\r\n"));
}

#endif

}  // namespace
}  // namespace velkaro::endgame
