// One tree's level scan, for scan_ab.cpp: built once for each tree compared,
// with VELKARO_AB_SCAN naming its functions, and the program's namespace
// renamed on the command line so that both trees' scans live in one program.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "endgame/level_scan.h"
#if defined(VELKARO_AB_AVX2)
#include "endgame/avx2_vectors.h"
#define VELKARO_AB_CLASSIFY scan::ClassifyAvx2
#else
#define VELKARO_AB_CLASSIFY scan::Classify
#endif

#define VELKARO_AB_JOIN2(a, b) a##b
#define VELKARO_AB_JOIN(a, b) VELKARO_AB_JOIN2(a, b)

using Select = std::function<void(std::string_view)>;
using namespace velkaro::endgame;

// The scan with 64-byte windows (64-bit code's) and with 32-byte ones (32-bit code's).
void VELKARO_AB_JOIN(VELKARO_AB_SCAN, 64)(std::string_view lines, const std::string& level,
                                          const Select& select) {
  scan::Scan<VELKARO_AB_CLASSIFY, std::uint64_t>(lines, level, select);
}
void VELKARO_AB_JOIN(VELKARO_AB_SCAN, 32)(std::string_view lines, const std::string& level,
                                          const Select& select) {
  scan::Scan<VELKARO_AB_CLASSIFY, std::uint32_t>(lines, level, select);
}
