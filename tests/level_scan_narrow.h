#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace velkaro::tests {

// The AVX2 scan with the 32-byte windows of 32-bit code (level_scan_narrow_avx2.cpp).
void ScanAvx2WithNarrowWindows(std::string_view lines, const std::string& level,
                               const std::function<void(std::string_view)>& select);

}  // namespace velkaro::tests
