#include <windows.h>

#include "app/runtime/codepage.h"
#include "app/runtime/wide_text.h"

namespace velkaro::runtime {

namespace {

// Strict UTF-8 to UTF-16; nothing for invalid UTF-8.
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

std::optional<std::string> ToFileBytes(std::string_view text) {
  if (IsAscii(text)) {
    return std::string(text);
  }
  const std::optional<std::wstring> wide = StrictWide(CP_UTF8, text);
  if (!wide) {
    return std::nullopt;
  }
  const UINT code_page = ::GetACP();
  if (code_page == CP_UTF8) {
    return std::string(text);
  }
  const int size = static_cast<int>(wide->size());
  BOOL used_default = FALSE;
  const int length = ::WideCharToMultiByte(code_page, WC_NO_BEST_FIT_CHARS, wide->data(), size,
                                           nullptr, 0, nullptr, &used_default);
  if (length <= 0 || used_default) {
    return std::nullopt;
  }
  std::string bytes(static_cast<std::size_t>(length), '\0');
  ::WideCharToMultiByte(code_page, WC_NO_BEST_FIT_CHARS, wide->data(), size, bytes.data(), length,
                        nullptr, &used_default);
  // Only bytes that read back as the same text can stand for it.
  if (used_default || StrictWide(code_page, bytes) != wide) {
    return std::nullopt;
  }
  return bytes;
}

std::string FromFileBytes(std::string_view bytes) {
  if (IsAscii(bytes)) {
    return std::string(bytes);
  }
  const int size = static_cast<int>(bytes.size());
  const int length = ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length > 0 ? length : 0), L'\0');
  ::MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, wide.data(), length);
  return WideToUtf8(wide);
}

}  // namespace velkaro::runtime
