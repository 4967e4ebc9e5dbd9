// Times the program's own code on large files, as the program runs it:
//   velkaro_bench rebuild FOLDER LEVEL   RebuildEndgameSet, with settings kept in memory
//   velkaro_bench lookup FOLDER          ReadCurrentLevel
// and prints the seconds it took and the process's peak resident memory.
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "endgame/current_level.h"
#include "endgame/rebuild.h"
#include "runtime/failure.h"
#include "tests/support/memory_settings.h"

namespace {

long PeakKibibytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace velkaro;
  const std::string mode = argc > 2 ? argv[1] : "";
  if (!((mode == "rebuild" && argc == 4) || (mode == "lookup" && argc == 3))) {
    std::fputs("usage: velkaro_bench rebuild FOLDER LEVEL | lookup FOLDER\n", stderr);
    return 2;
  }
  const endgame::EndgamePaths paths = endgame::EndgamePathsIn(argv[2]);
  try {
    const auto start = std::chrono::steady_clock::now();
    std::string result;
    if (mode == "rebuild") {
      tests::MemorySettings settings;
      result = endgame::RebuildEndgameSet(paths, argv[3], endgame::kTicked, settings);
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
