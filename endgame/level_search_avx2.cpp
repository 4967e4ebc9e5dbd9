// The scan with AVX2: this file alone is built for processors that have it,
// and runs only where the processor says so (runtime/cpu_features.h).
#include <immintrin.h>

#include "endgame/level_scan.h"

namespace velkaro::endgame::scan {

namespace {

// The masks of a 64-byte window, 32 bytes at a time.
template <std::size_t kMasked>
class ClassifyAvx2 {
 public:
  explicit ClassifyAvx2(const std::string& level) {
    for (std::size_t k = 0; k < kMasked; ++k) {
      level_[k] = _mm256_set1_epi8(level[k]);
    }
  }

  Masks<kMasked> operator()(const char* at) const {
    const __m256i low = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at));
    const __m256i high = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at + 32));
    Masks<kMasked> masks;
    masks.tabs = Where(low, high, [&](__m256i bytes) { return _mm256_cmpeq_epi8(bytes, tab_); });
    masks.breaks = Where(low, high, [&](__m256i bytes) {
      return _mm256_or_si256(_mm256_cmpeq_epi8(bytes, cr_), _mm256_cmpeq_epi8(bytes, lf_));
    });
    for (std::size_t k = 0; k < kMasked; ++k) {
      masks.level[k] =
          Where(low, high, [&](__m256i bytes) { return _mm256_cmpeq_epi8(bytes, level_[k]); });
    }
    return masks;
  }

 private:
  template <typename Hits>
  static Bits Where(__m256i low, __m256i high, Hits hits) {
    return Bits{static_cast<std::uint32_t>(_mm256_movemask_epi8(hits(low)))} |
           Bits{static_cast<std::uint32_t>(_mm256_movemask_epi8(hits(high)))} << 32;
  }

  __m256i tab_ = _mm256_set1_epi8('\t');
  __m256i cr_ = _mm256_set1_epi8('\r');
  __m256i lf_ = _mm256_set1_epi8('\n');
  __m256i level_[kMasked > 0 ? kMasked : 1];
};

}  // namespace

void ScanAvx2(std::string_view lines, const std::string& level,
              const std::function<void(std::string_view)>& select) {
  Scan<ClassifyAvx2>(lines, level, select);
}

}  // namespace velkaro::endgame::scan
