#include <windows.h>
// sddl.h needs windows.h first.
#include <sddl.h>

#include <string>

#include "runtime/folder_lock_system.h"
#include "runtime/long_path.h"

namespace velkaro::runtime::system {

namespace {

// A mutex named after the folder itself, its volume's serial number and its
// file ID, so that every spelling of it (letter case, a short name, a subst
// drive, a junction or link) names one lock; in the Global namespace, so that
// it holds across logon sessions.
std::uint32_t MutexName(const std::filesystem::path& folder, std::wstring& name) {
  const HANDLE handle = ::CreateFileW(ExtendedPath(folder).c_str(), FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    return ::GetLastError();
  }
  BY_HANDLE_FILE_INFORMATION identity{};
  const bool known = ::GetFileInformationByHandle(handle, &identity) != FALSE;
  const DWORD error = known ? 0 : ::GetLastError();
  ::CloseHandle(handle);
  wchar_t text[64];
  ::wsprintfW(text, L"Global\\Velkaro-%08X-%08X%08X", identity.dwVolumeSerialNumber,
              identity.nFileIndexHigh, identity.nFileIndexLow);
  name = text;
  return error;
}

}  // namespace

std::uint32_t OpenFolderLock(const std::filesystem::path& folder, NativeHandle& lock) {
  std::wstring name;
  if (const std::uint32_t error = MutexName(folder, name); error != 0) {
    return error;
  }
  // Every user who may write the folder may wait for the lock and let it go,
  // and nothing more; each asks for just that.
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(
          L"D:(A;;0x00100001;;;WD)", SDDL_REVISION_1, &descriptor, nullptr)) {
    return ::GetLastError();
  }
  SECURITY_ATTRIBUTES security{sizeof security, descriptor, FALSE};
  lock = ::CreateMutexExW(&security, name.c_str(), 0, SYNCHRONIZE | MUTEX_MODIFY_STATE);
  const DWORD error = lock != nullptr ? 0 : ::GetLastError();
  ::LocalFree(descriptor);
  return error;
}

std::uint32_t TakeFolderLock(NativeHandle lock) {
  // An abandoned mutex is ours too: its holder ended, and a set is only ever
  // replaced whole.
  const DWORD waited = ::WaitForSingleObject(lock, INFINITE);
  return waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED ? 0 : ::GetLastError();
}

void CloseFolderLock(NativeHandle lock, bool held) {
  if (held) {
    ::ReleaseMutex(lock);
  }
  ::CloseHandle(lock);
}

}  // namespace velkaro::runtime::system
