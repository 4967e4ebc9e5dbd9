#include "endgame/byte_search.h"

#include "endgame/level_scan.h"
#include "runtime/cpu_features.h"

namespace velkaro::endgame {

namespace {

using scan::Sought;

std::size_t FindFirst(std::string_view text, Sought sought) {
#if defined(VELKARO_AVX2_SCAN)
  if (runtime::ProcessorHasAvx2()) {
    return scan::FindFirstAvx2(text, sought);
  }
#endif
  return scan::FindFirst<scan::Classify>(text, sought);
}

std::size_t FindLast(std::string_view text, Sought sought) {
#if defined(VELKARO_AVX2_SCAN)
  if (runtime::ProcessorHasAvx2()) {
    return scan::FindLastAvx2(text, sought);
  }
#endif
  return scan::FindLast<scan::Classify>(text, sought);
}

}  // namespace

std::size_t FindLineBreak(std::string_view text) {
  return FindFirst(text, Sought::kLineBreaks);
}

std::size_t FindTabOrLineBreak(std::string_view text) {
  return FindFirst(text, Sought::kSeparators);
}

std::size_t FindTab(std::string_view text) {
  return FindFirst(text, Sought::kTabs);
}

std::size_t FindLastTab(std::string_view text) {
  return FindLast(text, Sought::kTabs);
}

std::size_t FindLastLineBreak(std::string_view text) {
  return FindLast(text, Sought::kLineBreaks);
}

bool HoldsNul(std::string_view text) {
  std::size_t at = 0;
#if defined(VELKARO_SSE2)
  // The smallest of four vectors' bytes is 0 where any of them holds a NUL:
  // one comparison and one test for 64 bytes, fast enough with SSE2 alone for
  // the thread that reads the list.
  const auto load = [&](std::size_t offset) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + offset));
  };
  for (; at + 64 <= text.size(); at += 64) {
    const __m128i least = _mm_min_epu8(_mm_min_epu8(load(at), load(at + 16)),
                                       _mm_min_epu8(load(at + 32), load(at + 48)));
    if (_mm_movemask_epi8(_mm_cmpeq_epi8(least, _mm_setzero_si128())) != 0) {
      return true;
    }
  }
#endif
  return text.find('\0', at) != std::string_view::npos;
}

}  // namespace velkaro::endgame
