#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "endgame/rebuild.h"
#include "runtime/failure.h"
#include "tests/support/memory_settings.h"
#include "tests/support/same_bytes.h"
#include "tests/support/scratch_folder.h"

namespace velkaro::endgame {

// A working folder with a position list, an endgame set and trainer settings
// that a rebuild is to replace, or on failure leave as they are.
constexpr std::string_view kOldSet = "8/8/8/8/8/8/8/K1k5 w - - 0 1\t5\r\n";
constexpr std::string_view kCurr = "kestrow\\gui\\curr";
constexpr std::string_view kLast = "kestrow\\gui\\last";

// A position list with three lines of level 12 among near misses, and those three.
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

class RebuildTest : public ::testing::Test {
 protected:
  RebuildTest() : paths_(EndgamePathsIn(folder_.path())) {
    std::filesystem::create_directory(paths_.endgame_folder);
    tests::WriteBytes(paths_.endgame_set, kOldSet);
    settings_.values[std::string(kCurr)] = "4";
    settings_.values[std::string(kLast)] = "9";
    settings_.values["kestrow\\gui\\other"] = "kept";
  }

  std::string Run(std::string_view level, int cleared = kTicked) {
    return RebuildEndgameSet(paths_, level, cleared, settings_);
  }

  // Runs a rebuild that must fail; returns its message.
  std::string Fail(std::string_view level, int cleared = kTicked) {
    try {
      Run(level, cleared);
    } catch (const runtime::Failure& failure) {
      return failure.what();
    }
    ADD_FAILURE() << "the rebuild did not fail";
    return {};
  }

  void ExpectNothingChanged() {
    EXPECT_TRUE(tests::SameBytes(tests::ReadBytes(paths_.endgame_set), kOldSet));
    EXPECT_EQ(tests::EntriesOf(paths_.endgame_folder), std::vector<std::string>{"VIRLA.EPD"});
    EXPECT_EQ(settings_.Value(kCurr), "4");
    EXPECT_EQ(settings_.Value(kLast), "9");
    EXPECT_EQ(settings_.log, "");
  }

  std::string NewSet() { return tests::ReadBytes(paths_.endgame_set); }

  tests::ScratchFolder folder_;
  EndgamePaths paths_;
  tests::MemorySettings settings_;
};

// `count` lines of the level, each a different position.
inline std::string LinesOfLevel(int count, std::string_view level) {
  std::string list;
  for (int i = 0; i < count; ++i) {
    list += "8/8/8/8/8/8/8/8 w - - 0 ";
    list += std::to_string(i);
    list += "\t";
    list += level;
    list += "\r\n";
  }
  return list;
}

// A thread of a test: what it throws is reported as a failure when it is
// joined, so that one failing rebuild shows with every other failure instead
// of ending the test program.
class TestThread {
 public:
  template <typename Body>
  explicit TestThread(Body body)
      : thread_([this, body] {
          try {
            body();
          } catch (const std::exception& failure) {
            failure_ = failure.what();
          } catch (...) {
            failure_ = "an exception that is no std::exception";
          }
        }) {}
  ~TestThread() {
    if (thread_.joinable()) {
      Join();
    }
  }
  TestThread(const TestThread&) = delete;
  TestThread& operator=(const TestThread&) = delete;

  void Join() {
    thread_.join();
    if (!failure_.empty()) {
      ADD_FAILURE() << "thrown on a thread: " << failure_;
    }
  }

 private:
  std::string failure_;
  std::thread thread_;  // last: it starts at once
};

}  // namespace velkaro::endgame
