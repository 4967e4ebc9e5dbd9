#include "tests/ui/symbolic_link.h"

#include <windows.h>

#include <cwctype>
#include <string>

namespace velkaro::tests {

namespace {

// Wine's name of a Windows path on the Unix side, or "" outside Wine.
std::wstring UnixName(const std::filesystem::path& path) {
  using Convert = char*(CDECL*)(LPCWSTR);
  const auto convert = reinterpret_cast<Convert>(reinterpret_cast<void*>(
      ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  char* name = convert != nullptr ? convert(path.c_str()) : nullptr;
  if (name == nullptr) {
    return {};
  }
  std::wstring wide(name, name + std::char_traits<char>::length(name));  // ASCII paths only
  ::HeapFree(::GetProcessHeap(), 0, name);
  return wide;
}

// Runs a Unix program under Wine and waits for it.
void RunUnix(const std::wstring& program, const std::wstring& arguments) {
  std::wstring command = program + L" " + arguments;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (::CreateProcessW(program.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                       nullptr, &startup, &process)) {
    ::WaitForSingleObject(process.hProcess, 5000);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
  }
}

// Whether the folder lists this very name: Wine finds a name that differs only
// in letter case too when asked for the path.
bool Exists(const std::filesystem::path& path) {
  WIN32_FIND_DATAW entry{};
  const std::wstring pattern = L"\\\\?\\" + path.parent_path().wstring() + L"\\*";  // past MAX_PATH
  const HANDLE listing = ::FindFirstFileW(pattern.c_str(), &entry);
  bool found = false;
  for (bool more = listing != INVALID_HANDLE_VALUE; more && !found;
       more = ::FindNextFileW(listing, &entry) != FALSE) {
    found = path.filename().wstring() == entry.cFileName;
  }
  if (listing != INVALID_HANDLE_VALUE) {
    ::FindClose(listing);
  }
  return found;
}

// Waits a moment for what a Unix program does, which Wine does not wait for.
bool ExistsSoon(const std::filesystem::path& path, bool exists) {
  for (int i = 0; i < 50; ++i) {
    if (Exists(path) == exists) {
      return true;
    }
    ::Sleep(100);
  }
  return false;
}

}  // namespace

bool MakeSymbolicLink(const std::filesystem::path& link, const std::filesystem::path& target) {
  constexpr DWORD kUnprivileged = 0x2;  // SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE
  if (::CreateSymbolicLinkW(link.c_str(), target.c_str(), kUnprivileged) && Exists(link)) {
    return true;
  }
  // The link's name as given: Wine would find a file whose name differs only
  // in letter case for the whole path.
  const std::wstring unix_folder = UnixName(link.parent_path());
  const std::wstring unix_target = UnixName(target);
  if (unix_folder.empty() || unix_target.empty()) {
    return false;
  }
  const std::wstring unix_link = unix_folder + L"/" + link.filename().wstring();
  RunUnix(L"Z:\\bin\\ln", L"-s \"" + unix_target + L"\" \"" + unix_link + L"\"");
  return ExistsSoon(link, true);
}

namespace {

// The prefix's folder of drive links, "" outside Wine.
std::wstring DosDevices() {
  wchar_t prefix[MAX_PATH] = {};
  const DWORD length = ::GetEnvironmentVariableW(L"WINEPREFIX", prefix, MAX_PATH);
  return length > 0 && length < MAX_PATH && !UnixName(L"C:\\").empty()
             ? std::wstring(prefix) + L"/dosdevices"
             : std::wstring();
}

}  // namespace

bool MapDrive(wchar_t letter, const std::filesystem::path& folder) {
  const std::wstring devices = DosDevices();
  const std::wstring target = UnixName(folder);
  if (devices.empty() || target.empty()) {
    return false;
  }
  const std::wstring drive{letter, L':'};
  const std::wstring name{static_cast<wchar_t>(::towlower(letter)), L':'};  // Wine's spelling
  RunUnix(L"Z:\\bin\\ln", L"-sfn \"" + target + L"\" \"" + devices + L"/" + name + L"\"");
  for (int i = 0; i < 50; ++i) {
    if (::GetFileAttributesW((drive + L"\\").c_str()) != INVALID_FILE_ATTRIBUTES) {
      return true;
    }
    ::Sleep(100);
  }
  return false;
}

void UnmapDrive(wchar_t letter) {
  if (const std::wstring devices = DosDevices(); !devices.empty()) {
    const std::wstring name{static_cast<wchar_t>(::towlower(letter)), L':'};
    RunUnix(L"Z:\\bin\\rm", L"-f \"" + devices + L"/" + name + L"\"");
  }
}

bool MakeUnixFile(const std::filesystem::path& folder, const std::string& name) {
  const std::wstring unix_folder = UnixName(folder);
  if (unix_folder.empty()) {
    return false;
  }
  RunUnix(L"Z:\\bin\\touch",
          L"\"" + unix_folder + L"/" + std::wstring(name.begin(), name.end()) + L"\"");
  return true;
}

void RemoveUnixFile(const std::filesystem::path& folder, const std::string& name) {
  if (const std::wstring unix_folder = UnixName(folder); !unix_folder.empty()) {
    RunUnix(L"Z:\\bin\\rm",
            L"-f \"" + unix_folder + L"/" + std::wstring(name.begin(), name.end()) + L"\"");
  }
}

bool MakeUnixLink(const std::filesystem::path& link, const std::string& unix_target) {
  const std::wstring unix_folder = UnixName(link.parent_path());
  if (unix_folder.empty()) {
    return false;
  }
  RunUnix(L"Z:\\bin\\ln", L"-s \"" + std::wstring(unix_target.begin(), unix_target.end()) +
                              L"\" \"" + unix_folder + L"/" + link.filename().wstring() + L"\"");
  return ExistsSoon(link, true);
}

void RemoveSymbolicLink(const std::filesystem::path& link) {
  // Under Wine, DeleteFileW on a Unix link removes what it points to.
  if (const std::wstring unix_link = UnixName(link); !unix_link.empty()) {
    RunUnix(L"Z:\\bin\\rm", L"-f \"" + unix_link + L"\"");
    ExistsSoon(link, false);
  } else {
    ::DeleteFileW(link.c_str());
  }
}

}  // namespace velkaro::tests
