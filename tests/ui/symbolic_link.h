#pragma once

#include <filesystem>

namespace velkaro::tests {

// A symbolic link at `link` to `target`: a Windows one where the system makes
// them, and under Wine, which makes none but shows Unix links as plain files,
// a Unix one, made by the Unix ln. False when neither can be made.
bool MakeSymbolicLink(const std::filesystem::path& link, const std::filesystem::path& target);

// Removes the link itself, never what it points to.
void RemoveSymbolicLink(const std::filesystem::path& link);

}  // namespace velkaro::tests
