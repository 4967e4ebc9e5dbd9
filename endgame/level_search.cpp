#include "endgame/level_search.h"

#include <bit>
#include <cstring>

#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#define VELKARO_SSE2 1
#include <emmintrin.h>
#endif

namespace velkaro::endgame {

LevelSearch::LevelSearch(std::string_view level) : needle_("\t") { needle_ += level; }

#if defined(VELKARO_SSE2)

// Compares 16 places at once with the needle's first byte (the TAB) and its
// last byte; only places where both agree are compared whole.
std::size_t LevelSearch::FindNeedle(std::string_view lines, std::size_t from) const {
  const std::size_t n = needle_.size();
  const char* data = lines.data();
  const std::size_t size = lines.size();
  if (n == 1) {
    const void* tab = from < size ? std::memchr(data + from, '\t', size - from) : nullptr;
    return tab != nullptr ? static_cast<std::size_t>(static_cast<const char*>(tab) - data) : size;
  }
  const __m128i first = _mm_set1_epi8(needle_.front());
  const __m128i last = _mm_set1_epi8(needle_.back());
  std::size_t at = from;
  for (; at + n - 1 + 16 <= size; at += 16) {
    const __m128i here = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + at));
    const __m128i there = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + at + n - 1));
    auto mask = static_cast<unsigned>(
        _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(here, first), _mm_cmpeq_epi8(there, last))));
    while (mask != 0) {
      const std::size_t candidate = at + static_cast<std::size_t>(std::countr_zero(mask));
      if (std::memcmp(data + candidate + 1, needle_.data() + 1, n - 2) == 0) {
        return candidate;
      }
      mask &= mask - 1;
    }
  }
  const std::size_t rest = lines.find(needle_, at);
  return rest == std::string_view::npos ? size : rest;
}

#else

std::size_t LevelSearch::FindNeedle(std::string_view lines, std::size_t from) const {
  const std::size_t found = lines.find(needle_, from);
  return found == std::string_view::npos ? lines.size() : found;
}

#endif

}  // namespace velkaro::endgame
