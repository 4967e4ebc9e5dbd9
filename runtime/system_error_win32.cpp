#include <windows.h>

#include <string>

#include "runtime/failure.h"
#include "runtime/wide_text.h"

namespace velkaro::runtime {

std::uint32_t LastSystemError() {
  return ::GetLastError();
}

namespace {

std::wstring FormatSystemMessage(DWORD code, DWORD language) {
  wchar_t* buffer = nullptr;
  const DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, language, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::wstring text(buffer != nullptr ? buffer : L"", length);
  ::LocalFree(buffer);
  while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ')) {
    text.pop_back();
  }
  return text;
}

}  // namespace

std::string SystemDescription(std::uint32_t code) {
  // Chinese when the system has it, whatever the user's display language.
  std::wstring text =
      FormatSystemMessage(code, MAKELANGID(LANG_CHINESE_SIMPLIFIED, SUBLANG_CHINESE_SIMPLIFIED));
  if (text.empty()) {
    text = FormatSystemMessage(code, 0);
  }
  return WideToUtf8(text);
}

}  // namespace velkaro::runtime
