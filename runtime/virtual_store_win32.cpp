#include <windows.h>
// shlobj.h needs windows.h first.
#include <shlobj.h>

#include <memory>

#include "runtime/virtual_store.h"

namespace velkaro::runtime {

namespace {

// A DWORD policy of UAC's, on (1) where it is not set, as Windows has it. The
// machine's own view of the key, not the one Windows shows 32-bit programs.
bool PolicyIsOn(const wchar_t* name) {
  HKEY key = nullptr;
  if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE,
                      L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System", 0,
                      KEY_QUERY_VALUE | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS) {
    return true;
  }
  DWORD value = 1;
  DWORD type = 0;
  DWORD size = sizeof value;
  const LSTATUS status =
      ::RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
  ::RegCloseKey(key);
  return status != ERROR_SUCCESS || type != REG_DWORD || value != 0;
}

// The user a process's token is, as a SID in a buffer; empty when it cannot be told.
std::unique_ptr<BYTE[]> TokenUserOf(HANDLE process) {
  HANDLE token = nullptr;
  if (!::OpenProcessToken(process, TOKEN_QUERY, &token)) {
    return nullptr;
  }
  DWORD size = 0;
  ::GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  auto user = std::make_unique<BYTE[]>(size > 0 ? size : 1);
  const bool known = size > 0 && ::GetTokenInformation(token, TokenUser, user.get(), size, &size);
  ::CloseHandle(token);
  return known ? std::move(user) : nullptr;
}

// Whether this process runs as the user of the desktop's shell (Explorer), who
// runs the trainer; true where there is no shell to ask.
bool RunsAsSessionUser() {
  DWORD shell_id = 0;
  const HWND shell = ::GetShellWindow();
  if (shell == nullptr || ::GetWindowThreadProcessId(shell, &shell_id) == 0) {
    return true;
  }
  const HANDLE process = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, shell_id);
  if (process == nullptr) {
    return true;
  }
  const auto shells = TokenUserOf(process);
  ::CloseHandle(process);
  const auto ours = TokenUserOf(::GetCurrentProcess());
  if (!shells || !ours) {
    return true;
  }
  return ::EqualSid(reinterpret_cast<TOKEN_USER*>(shells.get())->User.Sid,
                    reinterpret_cast<TOKEN_USER*>(ours.get())->User.Sid) != FALSE;
}

bool IsElevatedWithSplitToken() {
  HANDLE token = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) {
    return false;
  }
  TOKEN_ELEVATION_TYPE type = TokenElevationTypeDefault;
  DWORD size = 0;
  const bool known =
      ::GetTokenInformation(token, TokenElevationType, &type, sizeof type, &size) != FALSE;
  ::CloseHandle(token);
  return known && type == TokenElevationTypeFull;
}

std::wstring KnownFolder(REFKNOWNFOLDERID id) {
  PWSTR path = nullptr;
  std::wstring folder;
  if (SUCCEEDED(::SHGetKnownFolderPath(id, 0, nullptr, &path))) {
    folder = path;
  }
  ::CoTaskMemFree(path);
  return folder;
}

// The 64-bit Program Files, which a 32-bit program's known folders do not name.
std::wstring ProgramFiles64() {
  HKEY key = nullptr;
  if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion", 0,
                      KEY_QUERY_VALUE | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS) {
    return {};
  }
  wchar_t path[MAX_PATH + 1] = {};
  DWORD type = 0;
  DWORD size = sizeof path - sizeof(wchar_t);
  const LSTATUS status = ::RegQueryValueExW(key, L"ProgramFilesDir", nullptr, &type,
                                            reinterpret_cast<BYTE*>(path), &size);
  ::RegCloseKey(key);
  return status == ERROR_SUCCESS && type == REG_SZ ? std::wstring(path) : std::wstring();
}

}  // namespace

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

std::wstring VirtualStoreFolder() {
  PWSTR local = nullptr;
  if (FAILED(::SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &local))) {
    return {};
  }
  std::wstring store = std::wstring(local) + L"\\VirtualStore";
  ::CoTaskMemFree(local);
  return store;
}

TwinFacts TwinFactsFor(std::wstring set_folder,
                       const std::function<std::wstring(const std::wstring&)>& resolve) {
  TwinFacts facts;
  facts.set_folder = std::move(set_folder);
  for (const std::wstring& folder :
       {KnownFolder(FOLDERID_ProgramFiles), KnownFolder(FOLDERID_ProgramFilesX86), ProgramFiles64(),
        KnownFolder(FOLDERID_ProgramData), KnownFolder(FOLDERID_Windows)}) {
    if (!folder.empty()) {
      const std::wstring resolved = resolve(folder);
      facts.virtualized_folders.push_back(resolved.empty() ? folder : resolved);
    }
  }
  facts.elevated = IsElevatedWithSplitToken();
  facts.uac_on = PolicyIsOn(L"EnableLUA");
  facts.virtualization_on = PolicyIsOn(L"EnableVirtualization");
  facts.session_user = RunsAsSessionUser();
  facts.store = VirtualStoreFolder();
  return facts;
}

}  // namespace velkaro::runtime
