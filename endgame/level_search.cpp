#include "endgame/level_search.h"

#include "endgame/level_scan.h"
#include "runtime/cpu_features.h"

namespace velkaro::endgame {

LevelSearch::LevelSearch(std::string_view level, Vectors vectors)
    : level_(level), avx2_(vectors == Vectors::kWidest && runtime::ProcessorHasAvx2()) {}

void LevelSearch::Scan(std::string_view lines,
                       const std::function<void(std::string_view)>& select) const {
#if defined(VELKARO_AVX2_SCAN)
  if (avx2_) {
    scan::ScanAvx2(lines, level_, select);
    return;
  }
#endif
  scan::Scan<scan::Classify>(lines, level_, select);
}

}  // namespace velkaro::endgame
