#include "endgame/byte_search.h"

#include <bit>

#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#define VELKARO_SSE2 1
#include <emmintrin.h>
#endif

namespace velkaro::endgame {

namespace {

constexpr std::size_t kNone = std::string_view::npos;

template <char... kBytes>
bool IsOneOf(char c) {
  return ((c == kBytes) || ...);
}

#if defined(VELKARO_SSE2)

// A bit for each of the 16 bytes at `at` that is one of kBytes.
template <char... kBytes>
unsigned MaskOf(const char* at) {
  const __m128i here = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
  __m128i hits = _mm_setzero_si128();
  ((hits = _mm_or_si128(hits, _mm_cmpeq_epi8(here, _mm_set1_epi8(kBytes)))), ...);
  return static_cast<unsigned>(_mm_movemask_epi8(hits));
}

template <char... kBytes>
std::size_t FindFirst(std::string_view text) {
  const char* data = text.data();
  std::size_t at = 0;
  for (; at + 16 <= text.size(); at += 16) {
    if (const unsigned mask = MaskOf<kBytes...>(data + at); mask != 0) {
      return at + static_cast<std::size_t>(std::countr_zero(mask));
    }
  }
  for (; at < text.size(); ++at) {
    if (IsOneOf<kBytes...>(data[at])) {
      return at;
    }
  }
  return text.size();
}

template <char... kBytes>
std::size_t FindLastOf(std::string_view text) {
  const char* data = text.data();
  std::size_t end = text.size();
  for (; end >= 16; end -= 16) {
    if (const unsigned mask = MaskOf<kBytes...>(data + end - 16); mask != 0) {
      return end - 16 + static_cast<std::size_t>(31 - std::countl_zero(mask));
    }
  }
  for (; end > 0; --end) {
    if (IsOneOf<kBytes...>(data[end - 1])) {
      return end - 1;
    }
  }
  return kNone;
}

#else

template <char... kBytes>
std::size_t FindFirst(std::string_view text) {
  for (std::size_t at = 0; at < text.size(); ++at) {
    if (IsOneOf<kBytes...>(text[at])) {
      return at;
    }
  }
  return text.size();
}

template <char... kBytes>
std::size_t FindLastOf(std::string_view text) {
  for (std::size_t end = text.size(); end > 0; --end) {
    if (IsOneOf<kBytes...>(text[end - 1])) {
      return end - 1;
    }
  }
  return kNone;
}

#endif

}  // namespace

std::size_t FindLineBreak(std::string_view text) {
  return FindFirst<'\r', '\n'>(text);
}

std::size_t FindTabOrLineBreak(std::string_view text) {
  return FindFirst<'\t', '\r', '\n'>(text);
}

std::size_t FindLastTab(std::string_view text) {
  return FindLastOf<'\t'>(text);
}

std::size_t FindLastLineBreak(std::string_view text) {
  return FindLastOf<'\r', '\n'>(text);
}

}  // namespace velkaro::endgame
