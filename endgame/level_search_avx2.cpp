// The scan and the byte searches with AVX2: this file alone is built for
// processors that have it, and runs only where the processor says so
// (runtime/cpu_features.h).
#include "endgame/avx2_vectors.h"
#include "endgame/level_scan.h"

namespace velkaro::endgame::scan {

void ScanAvx2(std::string_view lines, const std::string& level,
              const std::function<void(std::string_view)>& select) {
  Scan<ClassifyAvx2>(lines, level, select);
}

std::size_t FindFirstAvx2(std::string_view text, Sought sought) {
  return FindFirst<ClassifyAvx2>(text, sought);
}

std::size_t FindLastAvx2(std::string_view text, Sought sought) {
  return FindLast<ClassifyAvx2>(text, sought);
}

bool HoldsNulAvx2(std::string_view text) {
  return HoldsNulWith<Avx2Vectors>(text);
}

}  // namespace velkaro::endgame::scan
