#pragma once

// The system's conversions between UTF-8 and the files' code page, one twin per
// system (codepage_win32.cpp, codepage_posix.cpp); the rules stay in codepage.cpp.

#include <optional>
#include <string>
#include <string_view>

namespace velkaro::runtime::system {

// The code page's bytes for UTF-8 `text`; nothing for invalid UTF-8 or a
// character the code page lacks.
std::optional<std::string> EncodeStrict(std::string_view text);
// The UTF-8 text of `bytes`; nothing when a byte is invalid in the code page.
std::optional<std::string> DecodeStrict(std::string_view bytes);

}  // namespace velkaro::runtime::system
