#include <windows.h>

#include <memory>

#include "runtime/files_system.h"
#include "runtime/long_path.h"

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

bool HeldByAnother(const std::filesystem::path& path) {
  // Renaming or removing needs DELETE access, which a program that opened the
  // file without FILE_SHARE_DELETE denies to everyone else.
  const HANDLE file = ::CreateFileW(ExtendedPath(path).c_str(), DELETE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    return ::GetLastError() == ERROR_SHARING_VIOLATION;
  }
  ::CloseHandle(file);
  return false;
}

bool ForEachPlainFile(const std::filesystem::path& folder,
                      const std::function<void(const std::filesystem::path&)>& visit) {
  // The extended-length form lists folders past MAX_PATH too.
  WIN32_FIND_DATAW entry{};
  const HANDLE listing =
      ::FindFirstFileExW((ExtendedPath(folder) + L"\\*").c_str(), FindExInfoBasic, &entry,
                         FindExSearchNameMatch, nullptr, 0);
  if (listing == INVALID_HANDLE_VALUE) {
    return false;
  }
  do {
    if ((entry.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0) {
      visit(folder / entry.cFileName);
    }
  } while (::FindNextFileW(listing, &entry));
  ::FindClose(listing);
  return true;
}

namespace {

// The path, below its volume, that the system resolves an open handle to.
std::wstring ResolvedName(HANDLE handle) {
  constexpr DWORD kSize = sizeof(FILE_NAME_INFO) + 32768 * sizeof(wchar_t);
  const auto buffer = std::make_unique<DWORD[]>(kSize / sizeof(DWORD));
  auto* info = reinterpret_cast<FILE_NAME_INFO*>(buffer.get());
  if (!::GetFileInformationByHandleEx(handle, FileNameInfo, info, kSize)) {
    return {};
  }
  return std::wstring(info->FileName, info->FileNameLength / sizeof(wchar_t));
}

std::wstring ResolvedFolderName(const std::filesystem::path& folder) {
  const HANDLE handle = ::CreateFileW(ExtendedPath(folder).c_str(), FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    return {};
  }
  std::wstring name = ResolvedName(handle);
  ::CloseHandle(handle);
  return name;
}

}  // namespace

Outcome RemovePlainFile(const std::filesystem::path& path) {
  const HANDLE file = ::CreateFileW(ExtendedPath(path).c_str(), DELETE | FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    return OutcomeOf(FALSE);
  }
  // A link that the system does not show as one (Wine's view of a Unix
  // symbolic link) opens what it points to: the handle then resolves to a name
  // outside the folder.
  BY_HANDLE_FILE_INFORMATION information{};
  const std::wstring resolved = ResolvedName(file);
  const std::wstring expected =
      ResolvedFolderName(path.parent_path()) + L"\\" + path.filename().wstring();
  const bool plain =
      ::GetFileInformationByHandle(file, &information) &&
      (information.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) ==
          0 &&
      !resolved.empty() &&
      ::CompareStringOrdinal(resolved.c_str(), -1, expected.c_str(), -1, TRUE) == CSTR_EQUAL;
  FILE_DISPOSITION_INFO disposition{};
  disposition.DeleteFile = TRUE;
  const BOOL removed = plain && ::SetFileInformationByHandle(file, FileDispositionInfo,
                                                             &disposition, sizeof disposition);
  const DWORD error = ::GetLastError();
  ::CloseHandle(file);
  if (!plain) {
    return Outcome::kFailed;
  }
  ::SetLastError(error);
  return OutcomeOf(removed);
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
