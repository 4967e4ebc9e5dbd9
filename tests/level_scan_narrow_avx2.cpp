// The AVX2 scan with 32-byte windows, as 32-bit code runs it: built for
// processors that have AVX2, and called only where the processor says so.
#include "tests/level_scan_narrow.h"

#include <cstdint>

#include "endgame/avx2_vectors.h"
#include "endgame/level_scan.h"

namespace velkaro::tests {

void ScanAvx2WithNarrowWindows(std::string_view lines, const std::string& level,
                               const std::function<void(std::string_view)>& select) {
  endgame::scan::Scan<endgame::scan::ClassifyAvx2, std::uint32_t>(lines, level, select);
}

}  // namespace velkaro::tests
