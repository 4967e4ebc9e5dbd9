#pragma once

#include <filesystem>
#include <string>

namespace velkaro::runtime {

// A path as UTF-8 text for the user to read. Never fails: a character that
// UTF-8 cannot spell (a lone surrogate, which Windows allows in names) shows
// as U+FFFD.
std::string PathText(const std::filesystem::path& path);

}  // namespace velkaro::runtime
