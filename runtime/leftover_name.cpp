#include "runtime/leftover_name.h"

#include <algorithm>
#include <charconv>
#include <limits>
#include <system_error>

namespace velkaro::runtime {

namespace {

// Takes a number written in digits without leading zeros from the front of `text`.
std::optional<std::uint64_t> TakeNumber(std::string_view& text) {
  const std::size_t digits = std::min(text.find_first_not_of("0123456789"), text.size());
  std::uint64_t number = 0;
  if (digits == 0 || (digits > 1 && text.front() == '0') ||
      std::from_chars(text.data(), text.data() + digits, number).ec != std::errc()) {
    return std::nullopt;
  }
  text.remove_prefix(digits);
  return number;
}

}  // namespace

std::string LeftoverName(std::string_view prefix, unsigned long process, std::uint64_t serial,
                         std::string_view suffix) {
  return std::string(prefix) + std::to_string(process) + "-" + std::to_string(serial) +
         std::string(suffix);
}

std::optional<unsigned long> LeftoverMaker(std::string_view name, std::string_view prefix,
                                           std::string_view suffix, std::uint64_t serial_limit) {
  if (!name.starts_with(prefix)) {
    return std::nullopt;
  }
  name.remove_prefix(prefix.size());
  const std::optional<std::uint64_t> process = TakeNumber(name);
  if (!process || *process == 0 || *process > std::numeric_limits<unsigned long>::max() ||
      !name.starts_with('-')) {
    return std::nullopt;
  }
  name.remove_prefix(1);
  const std::optional<std::uint64_t> serial = TakeNumber(name);
  if (!serial || *serial >= serial_limit || name != suffix) {
    return std::nullopt;
  }
  return static_cast<unsigned long>(*process);
}

bool MayRemoveLeftover(const LeftoverFacts& facts) {
  return facts.plain_file && facts.in_folder && facts.names == 1 &&
         facts.seconds_since_write >= kLeftoverQuietSeconds;
}

}  // namespace velkaro::runtime
