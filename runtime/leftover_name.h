#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velkaro::runtime {

// The names of what a run makes for a moment (a new file, a probe key) and, if
// it is ended meanwhile, leaves behind: "<prefix><process>-<serial><suffix>",
// both numbers in decimal digits.
std::string LeftoverName(std::string_view prefix, unsigned long process, std::uint64_t serial,
                         std::string_view suffix);

// The process that made `name`, when it is exactly a name that LeftoverName
// makes with this prefix and suffix: numbers without leading zeros, a process
// other than 0 and a serial below `serial_limit`. Nothing for any other name.
std::optional<unsigned long> LeftoverMaker(std::string_view name, std::string_view prefix,
                                           std::string_view suffix, std::uint64_t serial_limit);

// What the clean-up knows of a file named as a leftover of an ended run, from
// a handle of it that follows no link.
struct LeftoverFacts {
  bool plain_file = false;               // no folder, and no link or other reparse point
  bool in_folder = false;                // resolved, it is that name in the set's folder
  std::uint32_t names = 0;               // its hard links, this name among them
  std::int64_t seconds_since_write = 0;  // by this machine's clock
};

// How long a leftover's last write must lie back: a run on another machine
// (one folder on a network share, whose process IDs this machine cannot see)
// writes its new file at least that often, or has been ended.
inline constexpr std::int64_t kLeftoverQuietSeconds = 15 * 60;

// Whether the file may be removed: a plain file of the set's folder with no
// other name (removing a name of a file of the user's elsewhere would leave
// that file, but clearing its read-only attribute to do so would not), and
// not written lately.
bool MayRemoveLeftover(const LeftoverFacts& facts);

}  // namespace velkaro::runtime
