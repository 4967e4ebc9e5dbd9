#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <string_view>

namespace velkaro::tests {

// Whether two byte strings are equal; when not, says so in a few lines, with
// their sizes and where they first differ, however large they are.
inline ::testing::AssertionResult SameBytes(std::string_view actual, std::string_view expected) {
  const auto [a, e] = std::mismatch(actual.begin(), actual.end(), expected.begin(), expected.end());
  if (a == actual.end() && e == expected.end()) {
    return ::testing::AssertionSuccess();
  }
  const auto at = static_cast<std::size_t>(a - actual.begin());
  const std::size_t from = at > 16 ? at - 16 : 0;
  const auto excerpt = [&](std::string_view bytes) {
    return ::testing::PrintToString(std::string(bytes.substr(std::min(from, bytes.size()), 48)));
  };
  return ::testing::AssertionFailure()
         << actual.size() << " bytes where " << expected.size() << " were expected; first "
         << "difference at byte " << at << ":\n  actual   " << excerpt(actual) << "\n  expected "
         << excerpt(expected);
}

}  // namespace velkaro::tests
