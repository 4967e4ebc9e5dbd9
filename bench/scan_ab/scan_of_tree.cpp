// One tree's level scan, for scan_ab.cpp: built for each tree compared and
// each window width, with VELKARO_AB_SCAN naming its function and the
// program's namespace renamed on the command line, so that both trees' scans
// live in one program. Each width in a translation unit of its own, as the
// program and its bench build them: GCC inlines less in a unit that holds
// more scans, and with both widths in one, scans whose code did not change
// ran up to a quarter slower. The AVX2 scans are the program's and the
// bench's own units.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#if defined(VELKARO_AB_AVX2) && VELKARO_AB_WINDOW == 64
#include "endgame/level_search_avx2.cpp"
#elif defined(VELKARO_AB_AVX2)
#include "tests/level_scan_narrow_avx2.cpp"
#else
#include "endgame/level_scan.h"
#endif

#define VELKARO_AB_JOIN2(a, b) a##b
#define VELKARO_AB_JOIN(a, b) VELKARO_AB_JOIN2(a, b)

using Select = std::function<void(std::string_view)>;
using namespace velkaro::endgame;

void VELKARO_AB_JOIN(VELKARO_AB_SCAN, VELKARO_AB_WINDOW)(std::string_view lines,
                                                         const std::string& level,
                                                         const Select& select) {
#if defined(VELKARO_AB_AVX2) && VELKARO_AB_WINDOW == 64
  scan::ScanAvx2(lines, level, select);
#elif defined(VELKARO_AB_AVX2)
  velkaro::tests::ScanAvx2WithNarrowWindows(lines, level, select);
#elif VELKARO_AB_WINDOW == 64
  scan::Scan<scan::Classify, std::uint64_t>(lines, level, select);
#else
  scan::Scan<scan::Classify, std::uint32_t>(lines, level, select);
#endif
}
