#pragma once

// AVX2's instructions for the window masks (window_masks.h). Only files built
// for processors that have AVX2 include this (level_search_avx2.cpp).

#include <immintrin.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>

#include "endgame/window_masks.h"

namespace velkaro::endgame::scan {

// AVX2's instructions, 32 bytes at a time.
class Avx2Vectors {
 public:
  using Vector = __m256i;
  static constexpr std::size_t kWidth = 32;

  static Vector Load(const char* at) {
    return _mm256_loadu_si256(reinterpret_cast<const Vector*>(at));
  }
  static Vector Splat(char byte) { return _mm256_set1_epi8(byte); }
  static Vector Equal(Vector a, Vector b) { return _mm256_cmpeq_epi8(a, b); }
  static Vector And(Vector a, Vector b) { return _mm256_and_si256(a, b); }
  static Vector Or(Vector a, Vector b) { return _mm256_or_si256(a, b); }
  static std::uint32_t Mask(Vector hits) {
    return static_cast<std::uint32_t>(_mm256_movemask_epi8(hits));
  }
  // Sixteen bytes in a row, compared with another sixteen.
  using Half = __m128i;
  static Half Load16(const char* at) { return _mm_loadu_si128(reinterpret_cast<const Half*>(at)); }
  static std::uint32_t Equal16(Half a, Half b) {
    return static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(a, b)));
  }
  // Where a equals b and c equals d.
  static std::uint32_t EqualBoth16(Half a, Half b, Half c, Half d) {
    return static_cast<std::uint32_t>(
        _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(a, b), _mm_cmpeq_epi8(c, d))));
  }

  Vector Tabs(Vector bytes) const { return _mm256_cmpeq_epi8(bytes, tab_); }
  Vector Breaks(Vector bytes) const { return OneOf(breaks_, bytes); }
  Vector Separators(Vector bytes) const { return OneOf(separators_, bytes); }

 private:
  // The bytes that are in `set`, a table of up to 16 bytes below 16, each at
  // its own value's place: a byte of 16 or more never equals what it looks up
  // (128 or more looks up 0, below it the table holds only small values or
  // 0xFF).
  static Vector OneOf(Vector set, Vector bytes) {
    return _mm256_cmpeq_epi8(_mm256_shuffle_epi8(set, bytes), bytes);
  }
  static Vector Table(std::initializer_list<char> members) {
    char table[32];
    std::memset(table, 0xFF, sizeof table);
    for (const char member : members) {
      table[static_cast<unsigned char>(member)] = member;  // each 128-bit lane its own
      table[16 + static_cast<unsigned char>(member)] = member;
    }
    return Load(table);
  }

  Vector tab_ = Splat('\t');
  Vector breaks_ = Table({'\r', '\n'});
  Vector separators_ = Table({'\t', '\r', '\n'});
};

template <std::size_t kEnds, bool kWhole, std::size_t kMasked>
using ClassifyAvx2 = ClassifyWith<Avx2Vectors, kEnds, kWhole, kMasked>;

}  // namespace velkaro::endgame::scan
