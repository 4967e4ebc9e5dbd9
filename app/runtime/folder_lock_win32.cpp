#include <windows.h>

#include <cstdint>
#include <string>

#include "app/runtime/folder_lock_system.h"

namespace velkaro::runtime::system {

namespace {

// A mutex named after the folder's full path, letter case folded as Windows
// folds it in file names.
std::wstring MutexName(const std::filesystem::path& folder) {
  std::wstring path = std::filesystem::absolute(folder).lexically_normal().wstring();
  while (path.size() > 3 && (path.back() == L'\\' || path.back() == L'/')) {
    path.pop_back();
  }
  ::CharUpperBuffW(path.data(), static_cast<DWORD>(path.size()));
  std::uint64_t hash = 0xcbf29ce484222325ull;  // FNV-1a
  for (const wchar_t c : path) {
    hash = (hash ^ static_cast<std::uint16_t>(c)) * 0x100000001b3ull;
  }
  wchar_t name[64];
  ::wsprintfW(name, L"Local\\Velkaro-%08X%08X", static_cast<unsigned>(hash >> 32),
              static_cast<unsigned>(hash));
  return name;
}

}  // namespace

std::uint32_t OpenFolderLock(const std::filesystem::path& folder, NativeHandle& lock) {
  lock = ::CreateMutexW(nullptr, FALSE, MutexName(folder).c_str());
  return lock != nullptr ? 0 : ::GetLastError();
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
