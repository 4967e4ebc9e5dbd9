#include <windows.h>
// shlobj.h needs windows.h first.
#include <shlobj.h>

#include "runtime/virtual_store.h"

namespace velkaro::runtime {

bool ProcessIsVirtualized() {
  HANDLE token = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) {
    return false;
  }
  DWORD virtualized = 0;
  DWORD size = 0;
  // Windows before Vista, and Wine, have no virtualization: the question fails
  // or answers 0.
  const bool known = ::GetTokenInformation(token, TokenVirtualizationEnabled, &virtualized,
                                           sizeof virtualized, &size) != FALSE;
  ::CloseHandle(token);
  return known && virtualized != 0;
}

std::wstring VirtualStoreTwin(std::wstring_view store, std::wstring_view path) {
  if (path.starts_with(L"\\\\?\\")) {
    path.remove_prefix(4);
  }
  const bool on_a_drive =
      path.size() >= 3 && path[1] == L':' && path[2] == L'\\' &&
      ((path[0] >= L'A' && path[0] <= L'Z') || (path[0] >= L'a' && path[0] <= L'z'));
  if (store.empty() || !on_a_drive) {
    return {};
  }
  path.remove_prefix(2);  // the drive, not its backslash
  std::wstring twin(store);
  if (twin.ends_with(L'\\')) {
    twin.pop_back();
  }
  return twin.append(path);
}

std::wstring VirtualStoreFolder() {
  PWSTR local = nullptr;
  if (FAILED(::SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &local))) {
    return {};
  }
  std::wstring store = std::wstring(local) + L"\\VirtualStore";
  ::CoTaskMemFree(local);
  return store;
}

}  // namespace velkaro::runtime
