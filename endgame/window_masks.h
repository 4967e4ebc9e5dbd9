#pragma once

// A window of bytes as bit masks: its TABs, its line breaks, and where a level
// field may start. The scans of position lines read every byte through these
// masks (level_scan.h); this is their build with SSE2, which every supported
// processor has, and level_search_avx2.cpp their build with AVX2.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <type_traits>
#include <utility>

#include "endgame/lines.h"

#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#define VELKARO_SSE2 1
#include <emmintrin.h>
#endif

namespace velkaro::endgame::scan {

// A window is as wide as the processor's words: 64 bytes, or 32 in 32-bit
// code, where 64-bit bit operations take two instructions each.
using Bits = std::conditional_t<sizeof(void*) >= 8, std::uint64_t, std::uint32_t>;
constexpr std::size_t kWindow = 8 * sizeof(Bits);
constexpr std::size_t kLast = kWindow - 1;  // the window's last byte
// Level bytes compared in the vector registers; a longer level's other bytes
// are compared only on lines whose level field starts with these.
constexpr std::size_t kMaskedBytes = 8;

// A window's bit masks: bit i stands for the window's byte i.
struct Masks {
  Bits separators;  // TAB, CR or LF
  Bits breaks;      // CR or LF
  // TABs followed by the level's first kMasked bytes and, when those are the
  // whole level, by a TAB, a CR or an LF: where a level field may start.
  Bits candidates;
};

// How many bytes past its window a window's masks are made from.
constexpr std::size_t Reach(std::size_t masked, bool whole) {
  return masked + (whole ? 1 : 0);
}

#if defined(VELKARO_SSE2)

// The masks of a window with SSE2, which every supported processor
// has, 16 bytes at a time; the level's bytes are compared in the registers,
// each against the bytes that many places on.
template <std::size_t kMasked, bool kWhole>
class Classify {
 public:
  explicit Classify(const std::string& level) {
    for (std::size_t k = 0; k < kMasked; ++k) {
      level_[k] = _mm_set1_epi8(level[k]);
    }
  }

  Masks operator()(const char* at) const {
    Masks masks{0, 0, 0};
    for (std::size_t part = 0; part < kWindow / 16; ++part) {
      const char* const from = at + 16 * part;
      const __m128i bytes = Load(from);
      const __m128i tabs = _mm_cmpeq_epi8(bytes, tab_);
      const __m128i breaks = Breaks(bytes);
      __m128i candidates = tabs;
      for (std::size_t k = 0; k < kMasked; ++k) {
        candidates = _mm_and_si128(candidates, _mm_cmpeq_epi8(Load(from + 1 + k), level_[k]));
      }
      if constexpr (kWhole) {
        const __m128i after = Load(from + 1 + kMasked);
        candidates =
            _mm_and_si128(candidates, _mm_or_si128(_mm_cmpeq_epi8(after, tab_), Breaks(after)));
      }
      const unsigned shift = 16 * static_cast<unsigned>(part);
      masks.separators |= Bits{Mask(_mm_or_si128(tabs, breaks))} << shift;
      masks.breaks |= Bits{Mask(breaks)} << shift;
      masks.candidates |= Bits{Mask(candidates)} << shift;
    }
    return masks;
  }

 private:
  static __m128i Load(const char* at) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
  }
  static unsigned Mask(__m128i hits) { return static_cast<unsigned>(_mm_movemask_epi8(hits)); }
  __m128i Breaks(__m128i bytes) const {
    return _mm_or_si128(_mm_cmpeq_epi8(bytes, cr_), _mm_cmpeq_epi8(bytes, lf_));
  }

  __m128i tab_ = _mm_set1_epi8('\t');
  __m128i cr_ = _mm_set1_epi8('\r');
  __m128i lf_ = _mm_set1_epi8('\n');
  __m128i level_[kMasked > 0 ? kMasked : 1];
};

#else

// The masks of a window, a byte at a time.
template <std::size_t kMasked, bool kWhole>
class Classify {
 public:
  explicit Classify(std::string level) : level_(std::move(level)) {}

  Masks operator()(const char* at) const {
    Masks masks{0, 0, 0};
    for (std::size_t i = 0; i < kWindow; ++i) {
      const bool is_break = at[i] == '\r' || at[i] == '\n';
      masks.separators |= Bits{at[i] == '\t' || is_break} << i;
      masks.breaks |= Bits{is_break} << i;
      bool candidate = at[i] == '\t' && std::equal(at + i + 1, at + i + 1 + kMasked, level_.data());
      if constexpr (kWhole) {
        const char after = at[i + 1 + kMasked];
        candidate = candidate && (after == '\t' || IsLineBreak(after));
      }
      masks.candidates |= Bits{candidate} << i;
    }
    return masks;
  }

 private:
  std::string level_;
};

#endif

}  // namespace velkaro::endgame::scan
