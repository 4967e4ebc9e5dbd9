#include <windows.h>

#include "runtime/codepage_system.h"
#include "runtime/wide_text.h"

namespace velkaro::runtime::system {

namespace {

// UTF-16 of `bytes` in `code_page`; nothing when a byte is invalid there.
std::optional<std::wstring> StrictWide(UINT code_page, std::string_view bytes) {
  if (bytes.empty()) {
    return std::wstring();
  }
  const int size = static_cast<int>(bytes.size());
  const int length =
      ::MultiByteToWideChar(code_page, MB_ERR_INVALID_CHARS, bytes.data(), size, nullptr, 0);
  if (length <= 0) {
    return std::nullopt;
  }
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  ::MultiByteToWideChar(code_page, MB_ERR_INVALID_CHARS, bytes.data(), size, wide.data(), length);
  return wide;
}

}  // namespace

// The files' code page is the system's ANSI code page (936 on Simplified Chinese Windows).

std::optional<std::string> EncodeStrict(std::string_view text) {
  const std::optional<std::wstring> wide = StrictWide(CP_UTF8, text);
  if (!wide) {
    return std::nullopt;
  }
  if (::GetACP() == CP_UTF8) {
    return std::string(text);
  }
  const int size = static_cast<int>(wide->size());
  BOOL used_default = FALSE;
  const int length = ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide->data(), size,
                                           nullptr, 0, nullptr, &used_default);
  if (length <= 0 || used_default) {
    return std::nullopt;
  }
  std::string bytes(static_cast<std::size_t>(length), '\0');
  ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide->data(), size, bytes.data(), length,
                        nullptr, &used_default);
  if (used_default) {
    return std::nullopt;
  }
  return bytes;
}

std::optional<std::string> DecodeStrict(std::string_view bytes) {
  const std::optional<std::wstring> wide = StrictWide(CP_ACP, bytes);
  if (!wide) {
    return std::nullopt;
  }
  return WideToUtf8(*wide);
}

}  // namespace velkaro::runtime::system
