#include <cerrno>
#include <cstring>
#include <string>

#include "runtime/failure.h"

namespace velkaro::runtime {

std::uint32_t LastSystemError() {
  return static_cast<std::uint32_t>(errno);
}

std::string SystemDescription(std::uint32_t code) {
  return std::strerror(static_cast<int>(code));
}

}  // namespace velkaro::runtime
