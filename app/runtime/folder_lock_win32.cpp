#include <windows.h>

#include <string>

#include "app/runtime/failure.h"
#include "app/runtime/folder_lock.h"

namespace velkaro::runtime {

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

FolderLock::FolderLock(const std::filesystem::path& folder) {
  const HANDLE mutex = ::CreateMutexW(nullptr, FALSE, MutexName(folder).c_str());
  if (mutex == nullptr) {
    throw SystemFailure("锁定文件夹" + Quoted(folder), LastSystemError());
  }
  // An abandoned mutex is ours too: its holder ended, and a set is only ever
  // replaced whole.
  const DWORD waited = ::WaitForSingleObject(mutex, INFINITE);
  if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) {
    const std::uint32_t code = LastSystemError();
    ::CloseHandle(mutex);
    throw SystemFailure("锁定文件夹" + Quoted(folder), code);
  }
  handle_ = reinterpret_cast<std::intptr_t>(mutex);
}

FolderLock::~FolderLock() {
  const auto mutex = reinterpret_cast<HANDLE>(handle_);
  ::ReleaseMutex(mutex);
  ::CloseHandle(mutex);
}

}  // namespace velkaro::runtime
