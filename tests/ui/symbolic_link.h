#pragma once

#include <filesystem>
#include <string>

namespace velkaro::tests {

// A symbolic link at `link` to `target`: a Windows one where the system makes
// them, and under Wine, which makes none but shows Unix links as plain files,
// a Unix one, made by the Unix ln. False when neither can be made.
bool MakeSymbolicLink(const std::filesystem::path& link, const std::filesystem::path& target);

// Removes the link itself, never what it points to.
void RemoveSymbolicLink(const std::filesystem::path& link);

// Under Wine, makes drive `letter` show `folder` (a link in the prefix's
// dosdevices); false elsewhere. UnmapDrive removes it.
bool MapDrive(wchar_t letter, const std::filesystem::path& folder);
void UnmapDrive(wchar_t letter);

// Under Wine, a file in `folder` whose Unix name is `name`, which may hold
// characters that Windows names cannot (a backslash); false elsewhere.
bool MakeUnixFile(const std::filesystem::path& folder, const std::string& name);
void RemoveUnixFile(const std::filesystem::path& folder, const std::string& name);
// Under Wine, a Unix link at `link` to the Unix path `unix_target`, as given.
bool MakeUnixLink(const std::filesystem::path& link, const std::string& unix_target);

}  // namespace velkaro::tests
