#include "endgame/level_search.h"

#include <bit>
#include <cstring>

#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#define VELKARO_SSE2 1
#include <emmintrin.h>
#endif

namespace velkaro::endgame {

LevelSearch::LevelSearch(std::string_view level) : needle_("\t") {
  needle_ += level;
}

#if defined(VELKARO_SSE2)

namespace {

// Places among the 16 at `at` where the needle's first and last bytes stand.
inline __m128i Candidates(const char* at, std::size_t last_offset, __m128i first, __m128i last) {
  const __m128i here = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
  const __m128i there = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + last_offset));
  return _mm_and_si128(_mm_cmpeq_epi8(here, first), _mm_cmpeq_epi8(there, last));
}

}  // namespace

// Compares 64 places at a time with the needle's first byte (the TAB) and its
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
  const std::size_t last_offset = n - 1;
  std::size_t at = from;
  for (; at + last_offset + 64 <= size; at += 64) {
    const char* block = data + at;
    const __m128i a = Candidates(block, last_offset, first, last);
    const __m128i b = Candidates(block + 16, last_offset, first, last);
    const __m128i c = Candidates(block + 32, last_offset, first, last);
    const __m128i d = Candidates(block + 48, last_offset, first, last);
    if (_mm_movemask_epi8(_mm_or_si128(_mm_or_si128(a, b), _mm_or_si128(c, d))) == 0) {
      continue;
    }
    const __m128i quarters[] = {a, b, c, d};
    for (int quarter = 0; quarter < 4; ++quarter) {
      auto mask = static_cast<unsigned>(_mm_movemask_epi8(quarters[quarter]));
      while (mask != 0) {
        const std::size_t candidate =
            at + static_cast<std::size_t>(16 * quarter + std::countr_zero(mask));
        if (std::memcmp(data + candidate + 1, needle_.data() + 1, n - 2) == 0) {
          return candidate;
        }
        mask &= mask - 1;
      }
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
