#include "app/runtime/long_path.h"

namespace velkaro::runtime {

std::wstring ExtendedPath(const std::filesystem::path& path) {
  std::wstring text = std::filesystem::absolute(path).lexically_normal().wstring();
  for (wchar_t& c : text) {
    if (c == L'/') {
      c = L'\\';
    }
  }
  if (text.starts_with(L"\\\\?\\")) {
    return text;
  }
  if (text.starts_with(L"\\\\")) {
    return L"\\\\?\\UNC\\" + text.substr(2);
  }
  return L"\\\\?\\" + text;
}

}  // namespace velkaro::runtime
