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
#if defined(VELKARO_AVX2_SCAN)
  if (runtime::ProcessorHasAvx2()) {
    return scan::HoldsNulAvx2(text);
  }
#endif
#if defined(VELKARO_SSE2)
  return scan::HoldsNulWith<scan::Sse2Vectors>(text);
#else
  return text.find('\0') != std::string_view::npos;
#endif
}

}  // namespace velkaro::endgame
