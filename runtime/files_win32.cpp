#include <windows.h>
// shlobj.h needs windows.h first.
#include <shlobj.h>

#include <algorithm>
#include <cstddef>
#include <memory>

#include "runtime/files_system.h"
#include "runtime/long_path.h"
#include "runtime/plain_file.h"

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
  // CREATE_NEW never opens what is already there, links included. No sharing:
  // nothing else opens the file, to write into it or to hold it, before it is
  // in place. DELETE, to put it in place through this handle.
  file = ::CreateFileW(ExtendedPath(path).c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
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

bool FinishWriting(NativeHandle file, bool& open) {
  // The handle stays open: the file is put in place through it.
  open = true;
  return ::FlushFileBuffers(file) != FALSE;
}

namespace {

// FILE_RENAME_INFO as Windows 10 1607 defines it: its first member is a BOOLEAN
// ReplaceIfExists for FileRenameInfo, and DWORD flags for FileRenameInfoEx.
struct RenameInfo {
  DWORD flags;
  HANDLE root_directory;
  DWORD name_bytes;
  WCHAR name[1];
};
constexpr auto kFileRenameInfoEx = static_cast<FILE_INFO_BY_HANDLE_CLASS>(22);
constexpr DWORD kReplaceIfExists = 0x1;  // FILE_RENAME_FLAG_REPLACE_IF_EXISTS, or TRUE
constexpr DWORD kPosixSemantics = 0x2;   // FILE_RENAME_FLAG_POSIX_SEMANTICS

}  // namespace

Outcome RenameByHandle(HANDLE file, const std::filesystem::path& to, bool posix_semantics) {
  const std::wstring name = ExtendedPath(to);
  const std::size_t size = offsetof(RenameInfo, name) + (name.size() + 1) * sizeof(wchar_t);
  const auto buffer = std::make_unique<DWORD[]>(size / sizeof(DWORD) + 1);
  auto* rename = reinterpret_cast<RenameInfo*>(buffer.get());
  rename->flags = posix_semantics ? kReplaceIfExists | kPosixSemantics : kReplaceIfExists;
  rename->root_directory = nullptr;
  rename->name_bytes = static_cast<DWORD>(name.size() * sizeof(wchar_t));
  std::copy(name.begin(), name.end() + 1, rename->name);  // with its NUL
  return OutcomeOf(
      ::SetFileInformationByHandle(file, posix_semantics ? kFileRenameInfoEx : FileRenameInfo,
                                   rename, static_cast<DWORD>(size)));
}

Outcome Replace(NativeHandle file, const std::filesystem::path&, const std::filesystem::path& to) {
  // A read-only file is not to be replaced, as Windows has it, and waiting
  // would not change that; not every implementation refuses by itself.
  const DWORD attributes = ::GetFileAttributesW(ExtendedPath(to).c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
    ::SetLastError(ERROR_ACCESS_DENIED);
    return Outcome::kFailed;
  }
  // The POSIX form replaces a file that another program holds open with
  // delete sharing (virus scanners, the indexer, Explorer's preview), where
  // the plain form is refused. Windows before 10 1607, FAT and many network
  // shares do not know it, and say so at once.
  Outcome outcome = RenameByHandle(file, to, true);
  const DWORD error = ::GetLastError();
  if (outcome == Outcome::kFailed &&
      (error == ERROR_INVALID_PARAMETER || error == ERROR_NOT_SUPPORTED ||
       error == ERROR_INVALID_FUNCTION || error == ERROR_CALL_NOT_IMPLEMENTED)) {
    outcome = RenameByHandle(file, to, false);
  }
  if (outcome == Outcome::kDone) {
    // A rename is written lazily: this puts the new name on the disk too.
    // Should that fail, the set is still the new one for every reader, and a
    // failure message could neither undo that nor help.
    ::FlushFileBuffers(file);
  }
  return outcome;
}

Outcome Remove(const std::filesystem::path& path) {
  return OutcomeOf(::DeleteFileW(ExtendedPath(path).c_str()));
}

bool HeldByAnother(const std::filesystem::path& path) {
  // Asking for the file unshared fails while any other program has it open
  // to read, write or delete, whatever it shares.
  const HANDLE file = ::CreateFileW(ExtendedPath(path).c_str(), DELETE, 0, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
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
    // For a reparse point, dwReserved0 holds its tag.
    if (IsPlainFile(entry.dwFileAttributes, entry.dwReserved0)) {
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

// Where Windows keeps the files that this process writes in `folder` (a name
// below its volume), when it virtualizes the process: a program without an
// execution level, as this one and the trainer are, run by a standard user,
// whose writes in a protected folder (Program Files) go to the same path below
// the user's VirtualStore folder. Empty when the process is not virtualized.
std::wstring VirtualStoreTwin(const std::wstring& folder) {
  HANDLE token = nullptr;
  if (folder.empty() || !::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) {
    return {};
  }
  DWORD virtualized = 0;
  DWORD size = 0;
  const bool known = ::GetTokenInformation(token, TokenVirtualizationEnabled, &virtualized,
                                           sizeof virtualized, &size) != FALSE;
  ::CloseHandle(token);
  PWSTR local = nullptr;
  if (!known || virtualized == 0 ||
      FAILED(::SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &local))) {
    return {};
  }
  const std::wstring store = ResolvedFolderName(std::filesystem::path(local) / L"VirtualStore");
  ::CoTaskMemFree(local);
  return store.empty() ? store : store + folder;
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
  // symbolic link) opens what it points to: the handle then resolves to
  // another name. Compared exactly, as both names are spelled the same way:
  // a target whose name differs only in letter case is another file.
  FILE_ATTRIBUTE_TAG_INFO attributes{};
  const std::wstring resolved = ResolvedName(file);
  const std::wstring folder = ResolvedFolderName(path.parent_path());
  const std::wstring name = L"\\" + path.filename().native();
  const auto in_folder = [&] {
    if (resolved == folder + name) {
      return true;
    }
    const std::wstring twin = VirtualStoreTwin(folder);
    return !twin.empty() && resolved == twin + name;
  };
  const bool plain =
      ::GetFileInformationByHandleEx(file, FileAttributeTagInfo, &attributes, sizeof attributes) &&
      IsPlainFile(attributes.FileAttributes, attributes.ReparseTag) && !resolved.empty() &&
      in_folder();
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
