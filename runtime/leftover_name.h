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

}  // namespace velkaro::runtime
