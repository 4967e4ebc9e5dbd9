// Times the program's own code on large files, as the program runs it:
//   velkaro_bench rebuild FOLDER LEVEL   RebuildEndgameSet, with settings kept in memory
//   velkaro_bench lookup FOLDER          ReadCurrentLevel
//   velkaro_bench scan32 FOLDER LEVEL    the list read as the rebuild reads it
//                                        and scanned with the 32-byte windows of
//                                        32-bit code, AVX2 where there is (and
//                                        the program does not pretend otherwise)
// and prints the seconds it took and the process's peak resident memory.
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>

#include "endgame/current_level.h"
#include "endgame/level_scan.h"
#include "endgame/line_reading.h"
#include "endgame/rebuild.h"
#include "runtime/cpu_features.h"
#include "runtime/failure.h"
#include "runtime/files.h"
#include "tests/level_scan_narrow.h"
#include "tests/support/memory_settings.h"

namespace {

// Reads the list as the rebuild reads it, and chooses its lines with the
// 32-byte windows of 32-bit code. Returns how many lines were chosen.
long ScanWithNarrowWindows(const velkaro::endgame::EndgamePaths& paths, const std::string& level) {
  using namespace velkaro;
  struct NarrowWindows final : endgame::LineChoice, endgame::LineSink {
    explicit NarrowWindows(std::string_view sought) : level(sought) {}
    void Choose(std::string_view run,
                const std::function<void(std::string_view)>& chosen) const override {
#if defined(VELKARO_AVX2_SCAN)
      if (runtime::ProcessorHasAvx2()) {
        tests::ScanAvx2WithNarrowWindows(run, level, chosen);
        return;
      }
#endif
      endgame::scan::Scan<endgame::scan::Classify, std::uint32_t>(run, level, chosen);
    }
    bool Chooses(std::optional<std::string_view> field) const override {
      return field == level;
    }
    std::size_t LongestField() const override {
      return level.size();
    }
    void Begin() override {
      ++selected;
    }
    void Part(std::string_view) override {}
    void End() override {}
    std::string level;
    long selected = 0;
  } narrow(level);
  runtime::InputFile list(paths.position_list);
  endgame::ReadChosenLines(list, narrow, narrow);
  return narrow.selected;
}

long PeakKibibytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace velkaro;
  const std::string mode = argc > 2 ? argv[1] : "";
  if (!(((mode == "rebuild" || mode == "scan32") && argc == 4) ||
        (mode == "lookup" && argc == 3))) {
    std::fputs("usage: velkaro_bench rebuild FOLDER LEVEL | scan32 FOLDER LEVEL | lookup FOLDER\n",
               stderr);
    return 2;
  }
  const endgame::EndgamePaths paths = endgame::EndgamePathsIn(argv[2]);
  try {
    const auto start = std::chrono::steady_clock::now();
    std::string result;
    if (mode == "rebuild") {
      tests::MemorySettings settings;
      result = endgame::RebuildEndgameSet(paths, argv[3], endgame::kTicked, settings);
    } else if (mode == "scan32") {
      result = std::to_string(ScanWithNarrowWindows(paths, argv[3])) + " lines";
    } else {
      result = endgame::ReadCurrentLevel(paths).value_or("(none)");
    }
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    std::printf("seconds=%.6f peak_kib=%ld result=%s\n", took.count(), PeakKibibytes(),
                result.c_str());
  } catch (const runtime::Failure& failure) {
    std::fprintf(stderr, "%s\n", failure.what());
    return 1;
  }
  return 0;
}
