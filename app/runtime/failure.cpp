#include "app/runtime/failure.h"

namespace velkaro::runtime {

std::string Quoted(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return "“" + std::string(text.begin(), text.end()) + "”";
}

Failure SystemFailure(std::string_view what, std::uint32_t code) {
  std::string message = "无法";
  message += what;
  message += "：";
  message += SystemReason(code);
  return Failure(message);
}

}  // namespace velkaro::runtime
