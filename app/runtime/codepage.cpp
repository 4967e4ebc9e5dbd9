#include "app/runtime/codepage.h"

#include <algorithm>

#include "app/runtime/codepage_system.h"

namespace velkaro::runtime {

bool IsAscii(std::string_view bytes) {
  return std::all_of(bytes.begin(), bytes.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

std::optional<std::string> ToFileBytes(std::string_view text) {
  if (IsAscii(text)) {
    return std::string(text);
  }
  std::optional<std::string> bytes = system::EncodeStrict(text);
  // Only bytes that read back as the same text can stand for it: a converter
  // may drop or approximate what the code page lacks.
  if (!bytes || system::DecodeStrict(*bytes) != text) {
    return std::nullopt;
  }
  return bytes;
}

std::string FromFileBytes(std::string_view bytes) {
  if (IsAscii(bytes)) {
    return std::string(bytes);
  }
  return system::DecodeLenient(bytes);
}

}  // namespace velkaro::runtime
