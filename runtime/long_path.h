#pragma once

#include <filesystem>
#include <string>

namespace velkaro::runtime {

// The path as Windows' file calls take it past MAX_PATH (260 characters):
// absolute, with backslashes, and "\\?\" (or "\\?\UNC\") before it, so that a
// working folder near that length still has room for the new set's name.
std::wstring ExtendedPath(const std::filesystem::path& path);

}  // namespace velkaro::runtime
