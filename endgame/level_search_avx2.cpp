// The scan and the byte searches with AVX2: this file alone is built for
// processors that have it, and runs only where the processor says so
// (runtime/cpu_features.h).
#include <immintrin.h>

#include <cstring>
#include <initializer_list>

#include "endgame/level_scan.h"

namespace velkaro::endgame::scan {

namespace {

// The masks of a window, 32 bytes at a time; the level's bytes are
// compared in the registers, each against the bytes that many places on.
template <std::size_t kMasked, bool kWhole>
class ClassifyAvx2 {
 public:
  explicit ClassifyAvx2(const std::string& level) {
    for (std::size_t k = 0; k < kMasked; ++k) {
      level_[k] = _mm256_set1_epi8(level[k]);
    }
  }

  Masks operator()(const char* at) const {
    Masks masks{0, 0, 0};
    for (std::size_t half = 0; half < kWindow / 32; ++half) {
      const char* const from = at + 32 * half;
      const __m256i bytes = Load(from);
      const __m256i breaks = OneOf(breaks_, bytes);
      __m256i candidates = _mm256_cmpeq_epi8(bytes, tab_);
      for (std::size_t k = 0; k < kMasked; ++k) {
        candidates = _mm256_and_si256(candidates, _mm256_cmpeq_epi8(Load(from + 1 + k), level_[k]));
      }
      if constexpr (kWhole) {
        candidates = _mm256_and_si256(candidates, OneOf(separators_, Load(from + 1 + kMasked)));
      }
      const unsigned shift = 32 * static_cast<unsigned>(half);
      masks.separators |= Bits{Mask(OneOf(separators_, bytes))} << shift;
      masks.breaks |= Bits{Mask(breaks)} << shift;
      masks.candidates |= Bits{Mask(candidates)} << shift;
    }
    return masks;
  }

 private:
  static __m256i Load(const char* at) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at));
  }
  static std::uint32_t Mask(__m256i hits) {
    return static_cast<std::uint32_t>(_mm256_movemask_epi8(hits));
  }
  // The bytes that are in `set`, a table of up to 16 bytes below 16, each at
  // its own value's place: a byte of 16 or more never equals what it looks up
  // (128 or more looks up 0, below it the table holds only small values or
  // 0xFF).
  static __m256i OneOf(__m256i set, __m256i bytes) {
    return _mm256_cmpeq_epi8(_mm256_shuffle_epi8(set, bytes), bytes);
  }
  static __m256i Table(std::initializer_list<char> members) {
    char table[32];
    std::memset(table, 0xFF, sizeof table);
    for (const char member : members) {
      table[static_cast<unsigned char>(member)] = member;  // each 128-bit lane its own
      table[16 + static_cast<unsigned char>(member)] = member;
    }
    return Load(table);
  }

  __m256i tab_ = _mm256_set1_epi8('\t');
  __m256i breaks_ = Table({'\r', '\n'});
  __m256i separators_ = Table({'\t', '\r', '\n'});
  __m256i level_[kMasked > 0 ? kMasked : 1];
};

}  // namespace

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

}  // namespace velkaro::endgame::scan
