#pragma once

#include <string>
#include <string_view>

namespace velkaro::runtime {

// Conversions between the program's UTF-8 texts and the UTF-16 of the Windows API.
std::wstring Utf8ToWide(std::string_view utf8);
std::string WideToUtf8(std::wstring_view wide);

}  // namespace velkaro::runtime
