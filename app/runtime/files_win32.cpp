#include <windows.h>

#include "app/runtime/files_system.h"
#include "app/runtime/long_path.h"

namespace velkaro::runtime::system {

namespace {

// ReadFile and WriteFile take at most a DWORD of bytes at once.
DWORD Chunk(std::size_t size) {
  return static_cast<DWORD>(size < 0x40000000u ? size : 0x40000000u);
}

// Whether a call failed because another program has the file open for a
// moment, as virus scanners, indexers and backup tools do with a fresh file.
Outcome OutcomeOf(BOOL done) {
  if (done) {
    return Outcome::kDone;
  }
  const DWORD error = ::GetLastError();
  return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION ||
                 error == ERROR_ACCESS_DENIED
             ? Outcome::kBusy
             : Outcome::kFailed;
}

}  // namespace

bool OpenToRead(const std::filesystem::path& path, NativeHandle& file) {
  // Others may read the list meanwhile, and rename or delete it: the open
  // handle keeps reading what was opened.
  file =
      ::CreateFileW(ExtendedPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  return file != INVALID_HANDLE_VALUE;
}

bool ReadSome(NativeHandle file, std::span<char> into, std::size_t& read) {
  DWORD count = 0;
  const bool done = ::ReadFile(file, into.data(), Chunk(into.size()), &count, nullptr) != FALSE;
  read = count;
  return done;
}

bool ReadSomeAt(NativeHandle file, std::uint64_t offset, std::span<char> into, std::size_t& read) {
  // A positioned read moves the file pointer; put it back for ReadSome.
  LARGE_INTEGER zero{}, current{};
  if (!::SetFilePointerEx(file, zero, &current, FILE_CURRENT)) {
    return false;
  }
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>(offset);
  at.OffsetHigh = static_cast<DWORD>(offset >> 32);
  DWORD count = 0;
  if (!::ReadFile(file, into.data(), Chunk(into.size()), &count, &at) &&
      ::GetLastError() != ERROR_HANDLE_EOF) {
    return false;
  }
  read = count;
  return ::SetFilePointerEx(file, current, nullptr, FILE_BEGIN) != FALSE;
}

bool SizeOf(NativeHandle file, std::uint64_t& size) {
  LARGE_INTEGER value{};
  const bool known = ::GetFileSizeEx(file, &value) != FALSE;
  size = static_cast<std::uint64_t>(value.QuadPart);
  return known;
}

bool Close(NativeHandle file) {
  return ::CloseHandle(file) != FALSE;
}

Created CreateNew(const std::filesystem::path& path, NativeHandle& file) {
  // CREATE_NEW never opens what is already there, links included; no sharing,
  // so nothing else writes into the file while it is made.
  file = ::CreateFileW(ExtendedPath(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    return Created::kNew;
  }
  const DWORD error = ::GetLastError();
  return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ? Created::kNameTaken
                                                                     : Created::kFailed;
}

bool WriteSome(NativeHandle file, std::string_view bytes, std::size_t& written) {
  DWORD count = 0;
  const bool done = ::WriteFile(file, bytes.data(), Chunk(bytes.size()), &count, nullptr) != FALSE;
  written = count;
  return done;
}

bool WriteThrough(NativeHandle file) {
  return ::FlushFileBuffers(file) != FALSE;
}

Outcome Replace(const std::filesystem::path& from, const std::filesystem::path& to) {
  const std::wstring target = ExtendedPath(to);
  // A read-only file is not to be replaced, as Windows has it, and waiting
  // would not change that; not every implementation of MoveFileExW refuses by
  // itself.
  const DWORD attributes = ::GetFileAttributesW(target.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
    ::SetLastError(ERROR_ACCESS_DENIED);
    return Outcome::kFailed;
  }
  // MoveFileExW replaces in one step; ReplaceFileW is not atomic under Wine.
  return OutcomeOf(::MoveFileExW(ExtendedPath(from).c_str(), target.c_str(),
                                 MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH));
}

Outcome Remove(const std::filesystem::path& path) {
  return OutcomeOf(::DeleteFileW(ExtendedPath(path).c_str()));
}

bool KindOf(const std::filesystem::path& path, Kind& kind) {
  const DWORD attributes = ::GetFileAttributesW(ExtendedPath(path).c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) {
    kind = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? Kind::kFolder : Kind::kFile;
    return true;
  }
  kind = Kind::kMissing;
  const DWORD error = ::GetLastError();
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

unsigned long CurrentProcessId() {
  return ::GetCurrentProcessId();
}

bool ProcessIsRunning(unsigned long process_id) {
  const HANDLE process = ::OpenProcess(SYNCHRONIZE, FALSE, process_id);
  if (process == nullptr) {
    // No such process; any other answer (access denied) means one runs.
    return ::GetLastError() != ERROR_INVALID_PARAMETER;
  }
  // A handle may outlive its process: ask whether it has ended.
  const bool running = ::WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
  ::CloseHandle(process);
  return running;
}

}  // namespace velkaro::runtime::system
