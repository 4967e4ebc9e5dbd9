#pragma once

// A window of bytes as bit masks: its TABs, its line breaks, and where a level
// field may start. The scans of position lines read every byte through these
// masks (level_scan.h). They are made here, once for every kind of vectors;
// this file holds SSE2's instructions, which every supported processor has,
// and level_search_avx2.cpp AVX2's.

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

// The masks of a window made with the vectors of `Vectors`, kWidth bytes at
// a time: the level's bytes are compared in the registers, each against the
// bytes that many places on. `Vectors` holds the processor's instructions: its
// Load, Splat, Equal, And and Mask, and its Tabs, Breaks and Separators.
template <class Vectors, std::size_t kMasked, bool kWhole>
class ClassifyWith {
 public:
  explicit ClassifyWith(const std::string& level) {
    for (std::size_t k = 0; k < kMasked; ++k) {
      level_[k] = Vectors::Splat(level[k]);
    }
  }

  Masks operator()(const char* at) const {
    Masks masks{0, 0, 0};
    for (std::size_t part = 0; part < kWindow / Vectors::kWidth; ++part) {
      const char* const from = at + Vectors::kWidth * part;
      const auto bytes = Vectors::Load(from);
      auto candidates = vectors_.Tabs(bytes);
      for (std::size_t k = 0; k < kMasked; ++k) {
        candidates =
            Vectors::And(candidates, Vectors::Equal(Vectors::Load(from + 1 + k), level_[k]));
      }
      if constexpr (kWhole) {
        candidates =
            Vectors::And(candidates, vectors_.Separators(Vectors::Load(from + 1 + kMasked)));
      }
      const auto shift = static_cast<unsigned>(Vectors::kWidth * part);
      masks.separators |= Bits{Vectors::Mask(vectors_.Separators(bytes))} << shift;
      masks.breaks |= Bits{Vectors::Mask(vectors_.Breaks(bytes))} << shift;
      masks.candidates |= Bits{Vectors::Mask(candidates)} << shift;
    }
    return masks;
  }

 private:
  Vectors vectors_;
  typename Vectors::Vector level_[kMasked > 0 ? kMasked : 1];
};

#if defined(VELKARO_SSE2)

// SSE2's instructions, which every supported processor has.
class Sse2Vectors {
 public:
  using Vector = __m128i;
  static constexpr std::size_t kWidth = 16;

  static Vector Load(const char* at) {
    return _mm_loadu_si128(reinterpret_cast<const Vector*>(at));
  }
  static Vector Splat(char byte) { return _mm_set1_epi8(byte); }
  static Vector Equal(Vector a, Vector b) { return _mm_cmpeq_epi8(a, b); }
  static Vector And(Vector a, Vector b) { return _mm_and_si128(a, b); }
  static std::uint32_t Mask(Vector hits) {
    return static_cast<std::uint32_t>(_mm_movemask_epi8(hits));
  }

  Vector Tabs(Vector bytes) const { return _mm_cmpeq_epi8(bytes, tab_); }
  Vector Breaks(Vector bytes) const {
    return _mm_or_si128(_mm_cmpeq_epi8(bytes, cr_), _mm_cmpeq_epi8(bytes, lf_));
  }
  Vector Separators(Vector bytes) const { return _mm_or_si128(Tabs(bytes), Breaks(bytes)); }

 private:
  Vector tab_ = Splat('\t');
  Vector cr_ = Splat('\r');
  Vector lf_ = Splat('\n');
};

template <std::size_t kMasked, bool kWhole>
using Classify = ClassifyWith<Sse2Vectors, kMasked, kWhole>;

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
