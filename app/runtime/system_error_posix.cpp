#include <cerrno>
#include <cstring>
#include <string>

#include "app/runtime/failure.h"

namespace velkaro::runtime {

std::uint32_t LastSystemError() {
  return static_cast<std::uint32_t>(errno);
}

std::string SystemReason(std::uint32_t code) {
  const int number = static_cast<int>(code);
  return std::string(std::strerror(number)) + "（错误代码 " + std::to_string(code) + "）";
}

}  // namespace velkaro::runtime
