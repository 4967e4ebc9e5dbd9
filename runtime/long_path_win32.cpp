#include <windows.h>

#include "runtime/long_path.h"

namespace velkaro::runtime {

std::wstring ExtendedPath(const std::filesystem::path& path) {
  std::wstring text = path.wstring();
  if (text.starts_with(L"\\\\?\\")) {
    return text;
  }
  for (wchar_t& c : text) {
    if (c == L'/') {
      c = L'\\';
    }
  }
  // GetFullPathNameW makes it absolute and resolves "." and "..", UNC names
  // included, at any length; where it cannot, the path goes on as it is and
  // the call that uses it reports the failure.
  const DWORD length = ::GetFullPathNameW(text.c_str(), 0, nullptr, nullptr);
  if (length > 0) {
    std::wstring full(length, L'\0');
    const DWORD written = ::GetFullPathNameW(text.c_str(), length, full.data(), nullptr);
    if (written > 0 && written < length) {
      full.resize(written);
      text = full;
    }
  }
  if (text.starts_with(L"\\\\")) {
    return L"\\\\?\\UNC\\" + text.substr(2);
  }
  return L"\\\\?\\" + text;
}

}  // namespace velkaro::runtime
