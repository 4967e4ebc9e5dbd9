#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace velkaro::runtime {

// The position files are 8-bit text in the system's code page (936 on the
// Simplified Chinese systems the program addresses); the program's texts are UTF-8.

// The bytes that stand for `text` in the position files, or nothing when no
// bytes decode to it (a character the code page lacks, or invalid UTF-8).
std::optional<std::string> ToFileBytes(std::string_view text);

// The text of bytes from the position files; bytes invalid in the code page
// become U+FFFD.
std::string FromFileBytes(std::string_view bytes);

// ASCII reads the same in every code page the program meets.
bool IsAscii(std::string_view bytes);

}  // namespace velkaro::runtime
