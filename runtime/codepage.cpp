#include "runtime/codepage.h"

#include <algorithm>

#include "runtime/codepage_system.h"

namespace velkaro::runtime {

namespace {

// Code page 936 has no character for the byte 0xFF; Windows decodes it as the
// private-use U+F8F5 all the same, and encodes U+F8F5 back to it.
constexpr std::string_view kNoCharacter = "\xEF\xA3\xB5";  // U+F8F5
constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

bool IsOneCharacter(std::string_view utf8) {
  return std::count_if(utf8.begin(), utf8.end(),
                       [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }) == 1;
}

// The character that the first one or two of `bytes` stand for, and how many
// bytes that takes; nothing when they stand for none.
std::optional<std::pair<std::string, std::size_t>> FirstCharacter(std::string_view bytes) {
  for (std::size_t length = 2; length >= 1; --length) {
    if (length > bytes.size()) {
      continue;
    }
    std::optional<std::string> text = system::DecodeStrict(bytes.substr(0, length));
    if (text && IsOneCharacter(*text) && *text != kNoCharacter) {
      return std::pair(std::move(*text), length);
    }
  }
  return std::nullopt;
}

}  // namespace

bool IsAscii(std::string_view bytes) {
  return std::all_of(bytes.begin(), bytes.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

std::optional<std::string> ToFileBytes(std::string_view text) {
  if (IsAscii(text)) {
    return std::string(text);
  }
  if (text.find(kNoCharacter) != std::string_view::npos) {
    return std::nullopt;
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
  if (std::optional<std::string> text = system::DecodeStrict(bytes);
      text && text->find(kNoCharacter) == std::string::npos) {
    return *std::move(text);
  }
  // Character by character, so that every system shows the same text: each
  // byte that starts no character becomes U+FFFD.
  std::string text;
  for (std::size_t at = 0; at < bytes.size();) {
    if (static_cast<unsigned char>(bytes[at]) < 0x80) {
      text += bytes[at++];
    } else if (auto character = FirstCharacter(bytes.substr(at))) {
      text += character->first;
      at += character->second;
    } else {
      text += kReplacement;
      ++at;
    }
  }
  return text;
}

}  // namespace velkaro::runtime
