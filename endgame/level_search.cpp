#include "endgame/level_search.h"

#include "endgame/level_scan.h"
#include "runtime/cpu_features.h"

#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#define VELKARO_SSE2 1
#include <emmintrin.h>
#endif

namespace velkaro::endgame {

namespace {

using scan::Bits;

#if defined(VELKARO_SSE2)

// The masks of a 64-byte window with SSE2, which every supported processor has.
template <std::size_t kMasked>
class Classify {
 public:
  explicit Classify(const std::string& level) {
    for (std::size_t k = 0; k < kMasked; ++k) {
      level_[k] = _mm_set1_epi8(level[k]);
    }
  }

  scan::Masks<kMasked> operator()(const char* at) const {
    __m128i part[4];
    for (int i = 0; i < 4; ++i) {
      part[i] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + 16 * i));
    }
    scan::Masks<kMasked> masks;
    masks.tabs = Where(part, [&](__m128i bytes) { return _mm_cmpeq_epi8(bytes, tab_); });
    masks.breaks = Where(part, [&](__m128i bytes) {
      return _mm_or_si128(_mm_cmpeq_epi8(bytes, cr_), _mm_cmpeq_epi8(bytes, lf_));
    });
    for (std::size_t k = 0; k < kMasked; ++k) {
      masks.level[k] = Where(part, [&](__m128i bytes) { return _mm_cmpeq_epi8(bytes, level_[k]); });
    }
    return masks;
  }

 private:
  template <typename Hits>
  static Bits Where(const __m128i (&part)[4], Hits hits) {
    Bits bits = 0;
    for (int i = 0; i < 4; ++i) {
      bits |= Bits{static_cast<unsigned>(_mm_movemask_epi8(hits(part[i])))} << (16 * i);
    }
    return bits;
  }

  __m128i tab_ = _mm_set1_epi8('\t');
  __m128i cr_ = _mm_set1_epi8('\r');
  __m128i lf_ = _mm_set1_epi8('\n');
  __m128i level_[kMasked > 0 ? kMasked : 1];
};

#else

// The masks of a 64-byte window, a byte at a time.
template <std::size_t kMasked>
class Classify {
 public:
  explicit Classify(const std::string& level) : level_(level) {}

  scan::Masks<kMasked> operator()(const char* at) const {
    scan::Masks<kMasked> masks{};
    for (std::size_t i = 0; i < scan::kWindow; ++i) {
      masks.tabs |= Bits{at[i] == '\t'} << i;
      masks.breaks |= Bits{at[i] == '\r' || at[i] == '\n'} << i;
      for (std::size_t k = 0; k < kMasked; ++k) {
        masks.level[k] |= Bits{at[i] == level_[k]} << i;
      }
    }
    return masks;
  }

 private:
  const std::string& level_;
};

#endif

}  // namespace

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
  scan::Scan<Classify>(lines, level_, select);
}

}  // namespace velkaro::endgame
