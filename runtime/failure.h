#pragma once

#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>

namespace velkaro::runtime {

// A failure to report to the user: what() is a complete Simplified Chinese
// message in UTF-8 that names the file, folder or setting and the reason.
class Failure : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The operating system's code for the last failed call on this thread
// (GetLastError on Windows, errno elsewhere).
std::uint32_t LastSystemError();

// The system's own description of an error code, in UTF-8, with the code.
std::string SystemReason(std::uint32_t code);

// The system's description alone, empty when it has none (system_error_*.cpp).
std::string SystemDescription(std::uint32_t code);

// "无法<what>：<the system's reason>"
Failure SystemFailure(std::string_view what, std::uint32_t code);

}  // namespace velkaro::runtime
