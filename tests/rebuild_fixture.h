#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/runtime/failure.h"
#include "app/runtime/memory_settings.h"
#include "endgame/rebuild.h"
#include "tests/scratch_folder.h"

namespace velkaro::endgame {

// A working folder with a position list, an endgame set and trainer settings
// that a rebuild is to replace, or on failure leave as they are.
constexpr std::string_view kOldSet = "8/8/8/8/8/8/8/K1k5 w - - 0 1\t5\r\n";
constexpr std::string_view kCurr = "kestrow\\gui\\curr";
constexpr std::string_view kLast = "kestrow\\gui\\last";

class RebuildTest : public ::testing::Test {
 protected:
  RebuildTest() : paths_(EndgamePathsIn(folder_.path())) {
    std::filesystem::create_directory(paths_.endgame_folder);
    testing::WriteBytes(paths_.endgame_set, kOldSet);
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
    EXPECT_EQ(testing::ReadBytes(paths_.endgame_set), kOldSet);
    EXPECT_EQ(testing::EntriesOf(paths_.endgame_folder), std::vector<std::string>{"VIRLA.EPD"});
    EXPECT_EQ(settings_.Value(kCurr), "4");
    EXPECT_EQ(settings_.Value(kLast), "9");
    EXPECT_EQ(settings_.log, "");
  }

  std::string NewSet() { return testing::ReadBytes(paths_.endgame_set); }

  testing::ScratchFolder folder_;
  EndgamePaths paths_;
  runtime::MemorySettings settings_;
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

}  // namespace velkaro::endgame
