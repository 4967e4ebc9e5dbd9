#pragma once

// A window of bytes as bit masks: its TABs, its line breaks, and where a level
// field may start. The scans of position lines read every byte through these
// masks (level_scan.h). They are made here, once for every kind of vectors;
// this file holds SSE2's instructions, which every supported processor has,
// and level_search_avx2.cpp AVX2's.

#include <algorithm>
#include <bit>
#include <cassert>
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

// Inlined whatever the compiler's own weighing says: GCC left the window of
// the AVX2 scan with 32-byte windows (the 32-bit product's, on processors with
// AVX2) out of line, and each window then paid for a call, a stack aligned for
// AVX and its masks returned through memory: twice the time of the SSE2 scan.
#if defined(_MSC_VER)
#define VELKARO_ALWAYS_INLINE __forceinline
#else
#define VELKARO_ALWAYS_INLINE inline __attribute__((always_inline))
#endif

namespace velkaro::endgame::scan {

// A window is as wide as a word: 64 bytes, or 32 with 32-bit words. The
// program's words are its processor's: in 32-bit code, 64-bit bit operations
// take two instructions each.
using Bits = std::conditional_t<sizeof(void*) >= 8, std::uint64_t, std::uint32_t>;
template <class Word>
constexpr std::size_t kWindowOf = 8 * sizeof(Word);

// Level bytes compared in the vector registers; a longer level's other bytes
// are compared only on lines whose level field starts with these.
constexpr std::size_t kMaskedBytes = 16;

// A window's bit masks: bit i stands for the window's byte i.
template <class Word>
struct Masks {
  Word separators;  // TAB, CR or LF
  Word breaks;      // CR or LF
  // TABs followed by the level's ends (see Reach): where a level field may
  // start.
  Word candidates;
};

// Which of the level's bytes a window's candidates are tested for at once,
// whatever the level's length, so that the usual window costs the same for a
// long level as for a short one: its first byte and the last of its masked
// bytes (kEnds 2), its only byte (1), or none (0, the empty level or no
// level at all). The bytes between are tested only in the windows where a
// line's first TAB is such a candidate (Middle). kWhole: the masked bytes are
// the whole level, and a TAB, CR or LF must follow them.
constexpr std::size_t Reach(std::size_t ends, bool whole) {
  // How many bytes past its window a window's masks are made from.
  // A longer level's: the 32 bytes from a candidate's field on, which hold
  // the level's last 16 and the byte after it where it has fewer than 32, for
  // the candidates compared one by one (ClassifyWith::Middle).
  return ends == 0   ? (whole ? 1 : 0)
         : ends == 1 ? (whole ? 2 : 1)
         : whole     ? kMaskedBytes + 1
                     : 2 * kMaskedBytes;
}

// The masks of a window made with the vectors of `Vectors`, kWidth bytes at
// a time: the level's bytes are compared in the registers, each against the
// bytes that many places on. `Vectors` holds the processor's instructions: its
// Load, Splat, Equal, And, Or and Mask, and its Tabs, Breaks and Separators.
// kMasked: how many of the level's bytes the masks compare, its length up to
// kMaskedBytes; known to the compiler, so that the window's bytes are loaded
// from fixed places and its comparisons written out for that many (32-bit
// code, short of registers, scanned levels of two and three bytes a fifth to
// a half faster for it, and lines crowded with candidates of 4 to 16 bytes a
// tenth to four fifths faster).
template <class Vectors, std::size_t kEnds, bool kWhole, std::size_t kMasked>
class ClassifyWith {
  // A level longer than its masked bytes (the byte searches' classifiers,
  // with no level, are neither).
  static constexpr bool kLonger = kEnds >= 2 && !kWhole;

 public:
  explicit ClassifyWith(const std::string& level) {
    assert(std::min(level.size(), kMaskedBytes) == kMasked);
    char masked[kMaskedBytes] = {};
    for (std::size_t k = 0; k < kMasked; ++k) {
      level_[k] = Vectors::Splat(level[k]);
      masked[k] = level[k];
    }
    last_ = level_[kMasked > 0 ? kMasked - 1 : 0];
    masked_level_ = Vectors::Load16(masked);
    if constexpr (kLonger) {
      // A longer level's next 16 bytes: its last 16 where it has no more than
      // 32, so that they overlap the masked ones rather than run past the
      // level; and where the byte after it is, if within the window's reach.
      next_at_ = std::min(level.size(), 2 * kMaskedBytes) - kMaskedBytes;
      next_level_ = Vectors::Load16(level.data() + next_at_);
      ends_within_ = level.size() < 2 * kMaskedBytes;
      end_ = ends_within_ ? level.size() : 0;
    }
  }

  // The window's TABs and line breaks, and its TABs followed by the level's
  // ends.
  template <class Word>
  Masks<Word> Window(const char* at) const {
    Masks<Word> masks{0, 0, 0};
    for (std::size_t part = 0; part < kWindowOf<Word> / Vectors::kWidth; ++part) {
      const char* const from = at + Vectors::kWidth * part;
      const auto bytes = Vectors::Load(from);
      const auto tabs = vectors_.Tabs(bytes);
      const auto breaks = vectors_.Breaks(bytes);
      auto candidates = tabs;
      if constexpr (kEnds >= 1) {
        candidates = Vectors::And(candidates, Vectors::Equal(Vectors::Load(from + 1), level_[0]));
      }
      if constexpr (kEnds >= 2) {
        candidates = Vectors::And(candidates, Vectors::Equal(Vectors::Load(from + kMasked), last_));
      }
      if constexpr (kWhole) {
        candidates = Vectors::And(candidates,
                                  vectors_.Separators(Vectors::Load(from + 1 + FieldEndMasked())));
      }
      const auto shift = static_cast<unsigned>(Vectors::kWidth * part);
      masks.separators |= Word{Vectors::Mask(Vectors::Or(tabs, breaks))} << shift;
      masks.breaks |= Word{Vectors::Mask(breaks)} << shift;
      masks.candidates |= Word{Vectors::Mask(candidates)} << shift;
    }
    return masks;
  }

  // Whether any masked bytes lie between the level's ends.
  static constexpr bool kHasMiddle = kEnds >= 2 && kMasked > 2;

  // Those of the window's `candidates` after which the masked bytes between
  // the level's ends follow. A level field that holds those bytes is as long
  // as they are, and holds no TAB or line break, so a window holds few lines
  // with such fields: up to a set number of candidates are compared one by
  // one, all the masked bytes at once, without a branch that depends on how
  // many there are. The window is compared whole, each middle byte at every
  // place at once, where that costs less: for short levels, and for more
  // candidates (lines shorter than the level, whose bytes the candidates'
  // comparisons run over).
  template <class Word>
  VELKARO_ALWAYS_INLINE Word Middle(const char* at, Word candidates) const {
    constexpr std::size_t kOneByOne = kWindowOf<Word> / kMaskedBytes;
    // One by one, a candidate costs about as much as three of the window's
    // comparisons of one byte each.
    constexpr bool kShortLevel =
        (kMasked - 2) * (kWindowOf<Word> / Vectors::kWidth) <= 3 * kOneByOne;
    Word beyond = candidates;  // those past the first kOneByOne
    for (std::size_t k = 0; k < kOneByOne; ++k) {
      beyond &= beyond - 1;
    }
    if (kShortLevel || beyond != 0) {
      return MiddleOf<Word>(at, candidates);
    }
    Word passed = 0;
    for (std::size_t k = 0; k < kOneByOne; ++k) {
      // Where there is none left, the place is the window's first, and what
      // its bytes are does not count.
      const Word lowest = candidates & (~candidates + 1);
      const auto place =
          static_cast<std::size_t>(std::countr_zero(candidates)) & (kWindowOf<Word> - 1);
      const char* const field = at + place + 1;
      bool passes = false;
      if constexpr (kLonger) {
        // A longer level's next bytes too, and what ends the field: most
        // fields that share all the masked bytes then end here, not in a
        // comparison of their own after the scan's loop.
        const std::uint32_t same = Vectors::EqualBoth16(
            Vectors::Load16(field), masked_level_, Vectors::Load16(field + next_at_), next_level_);
        const char after = field[end_];
        passes = (same == 0xFFFF) & (!ends_within_ | EndsField(after));
      } else {
        const std::uint32_t same = Vectors::Equal16(Vectors::Load16(field), masked_level_);
        constexpr std::uint32_t kMaskedBits = (std::uint32_t{1} << kMasked) - 1;
        passes = (same & kMaskedBits) == kMaskedBits;
      }
      passed |= passes ? lowest : 0;
      candidates ^= lowest;
    }
    return passed;
  }

 private:
  // The window compared whole, each middle byte at every place at once, the
  // comparisons written out. The first few middle bytes are compared first:
  // where candidates crowd a window, they are lines shorter than the level,
  // and few of those hold even the level's first bytes.
  template <class Word>
  Word MiddleOf(const char* at, Word candidates) const {
    constexpr std::size_t kMiddle = kMasked - 2;
    constexpr std::size_t kFirst = kMiddle < 3 ? kMiddle : 3;
    const Word first =
        candidates & SameAtEveryPlace<Word, 0>(at, std::make_index_sequence<kFirst>());
    if constexpr (kFirst == kMiddle) {
      return first;
    } else {
      return first == 0 ? 0
                        : first & SameAtEveryPlace<Word, kFirst>(
                                      at, std::make_index_sequence<kMiddle - kFirst>());
    }
  }

  // The window's places after which, from the second byte on, the level's
  // bytes 1 + kFrom + k follow, for each k.
  template <class Word, std::size_t kFrom, std::size_t... k>
  Word SameAtEveryPlace(const char* at, std::index_sequence<k...> bytes) const {
    Word same = 0;
    for (std::size_t part = 0; part < kWindowOf<Word> / Vectors::kWidth; ++part) {
      const auto all = SameFrom<kFrom>(at + Vectors::kWidth * part, bytes);
      same |= Word{Vectors::Mask(all)} << static_cast<unsigned>(Vectors::kWidth * part);
    }
    return same;
  }

  // The places of the vector at `from` after which, from the second byte on,
  // the level's bytes 1 + kFrom + k follow, for each k.
  template <std::size_t kFrom, std::size_t kFirst, std::size_t... k>
  typename Vectors::Vector SameFrom(const char* from, std::index_sequence<kFirst, k...>) const {
    auto same =
        Vectors::Equal(Vectors::Load(from + 2 + kFrom + kFirst), level_[1 + kFrom + kFirst]);
    ((same = Vectors::And(
          same, Vectors::Equal(Vectors::Load(from + 2 + kFrom + k), level_[1 + kFrom + k]))),
     ...);
    return same;
  }

  // kMasked, as the window's test of what ends a whole level's field counts
  // it: read from a member for a one-byte level, with which GCC's 32-bit code
  // with AVX2 scanned such levels 1.3 to 1.45 times as fast as with the
  // constant (measured; the cause not found; no other scan changed).
  std::size_t FieldEndMasked() const { return kEnds == 1 ? masked_ : kMasked; }

  Vectors vectors_;
  std::size_t masked_ = kMasked;
  typename Vectors::Vector level_[kMaskedBytes] = {};
  typename Vectors::Vector last_;        // the last masked byte's
  typename Vectors::Half masked_level_;  // the masked bytes, in a row
  // A longer level's: its next bytes in a row, where they are in it, and
  // whether the byte after it, at end_, is within the window's reach.
  typename Vectors::Half next_level_{};
  std::size_t next_at_ = 0;
  bool ends_within_ = false;
  std::size_t end_ = 0;
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
  static Vector Or(Vector a, Vector b) { return _mm_or_si128(a, b); }
  static std::uint32_t Mask(Vector hits) {
    return static_cast<std::uint32_t>(_mm_movemask_epi8(hits));
  }
  // Sixteen bytes in a row, compared with another sixteen.
  using Half = __m128i;
  static Half Load16(const char* at) { return Load(at); }
  static std::uint32_t Equal16(Half a, Half b) { return Mask(Equal(a, b)); }
  // Where a equals b and c equals d. Each compared on its own: with the two
  // comparisons ANDed first, 32-bit code, with 8 vector registers, scanned a
  // level of 17 to 20 bytes a seventh slower.
  static std::uint32_t EqualBoth16(Half a, Half b, Half c, Half d) {
    return Mask(Equal(a, b)) & Mask(Equal(c, d));
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

template <std::size_t kEnds, bool kWhole, std::size_t kMasked>
using Classify = ClassifyWith<Sse2Vectors, kEnds, kWhole, kMasked>;

#else

// The masks of a window, a byte at a time: the candidates are tested for the
// whole masked level at once, and Middle passes them all.
template <std::size_t kEnds, bool kWhole, std::size_t kMasked>
class Classify {
 public:
  explicit Classify(const std::string& level)
      : level_(level.substr(0, std::min(level.size(), kMaskedBytes))) {}

  template <class Word>
  Masks<Word> Window(const char* at) const {
    Masks<Word> masks{0, 0, 0};
    const std::size_t n = kEnds == 0 ? 0 : level_.size();
    for (std::size_t i = 0; i < kWindowOf<Word>; ++i) {
      const bool is_break = at[i] == '\r' || at[i] == '\n';
      masks.separators |= Word{at[i] == '\t' || is_break} << i;
      masks.breaks |= Word{is_break} << i;
      bool candidate = at[i] == '\t' && std::equal(at + i + 1, at + i + 1 + n, level_.data());
      if constexpr (kWhole) {
        const char after = at[i + 1 + n];
        candidate = candidate && EndsField(after);
      }
      masks.candidates |= Word{candidate} << i;
    }
    return masks;
  }

  static constexpr bool kHasMiddle = false;

  template <class Word>
  Word Middle(const char*, Word candidates) const {
    return candidates;
  }

 private:
  std::string level_;
};

#endif

}  // namespace velkaro::endgame::scan
