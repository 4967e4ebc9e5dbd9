#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <map>
#include <memory>
#include <optional>

#include "runtime/files_system.h"
#include "runtime/leftover_name.h"
#include "runtime/long_path.h"
#include "runtime/plain_file.h"
#include "runtime/virtual_store.h"

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

bool OpenLane(NativeHandle file, NativeHandle& lane) {
  // All I/O through one synchronous handle is serialized, positioned reads
  // too: a thread that is to read while another does needs a handle of its
  // own. ReOpenFile opens the file that `file` is open on, not whatever its
  // name names now, with the same access and sharing.
  lane = ::ReOpenFile(file, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                      FILE_FLAG_SEQUENTIAL_SCAN);
  return lane != INVALID_HANDLE_VALUE;
}

bool ReadSomeAt(NativeHandle file, std::uint64_t offset, std::span<char> into, std::size_t& read) {
  // The file's pointer moves too; nothing reads from it.
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>(offset);
  at.OffsetHigh = static_cast<DWORD>(offset >> 32);
  DWORD count = 0;
  if (!::ReadFile(file, into.data(), Chunk(into.size()), &count, &at) &&
      ::GetLastError() != ERROR_HANDLE_EOF) {
    return false;
  }
  read = count;
  return true;
}

bool SizeOf(NativeHandle file, std::uint64_t& size) {
  LARGE_INTEGER value{};
  const bool known = ::GetFileSizeEx(file, &value) != FALSE;
  size = static_cast<std::uint64_t>(value.QuadPart);
  return known;
}

bool StateOf(NativeHandle file, FileState& state) {
  // Both times in 100 ns; NTFS stamps a write's change at once, in memory,
  // whichever handle asks. Wine gives a Unix file's modification and status
  // change times.
  FILE_BASIC_INFO basic{};
  if (!SizeOf(file, state.size) ||
      !::GetFileInformationByHandleEx(file, FileBasicInfo, &basic, sizeof basic)) {
    return false;
  }
  state.write_time = basic.LastWriteTime.QuadPart;
  state.change_time = basic.ChangeTime.QuadPart;
  return true;
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
  std::copy(name.begin(), name.end(), rename->name);
  rename->name[name.size()] = L'\0';
  return OutcomeOf(
      ::SetFileInformationByHandle(file, posix_semantics ? kFileRenameInfoEx : FileRenameInfo,
                                   rename, static_cast<DWORD>(size)));
}

Outcome PutInPlace(NativeHandle file, const std::filesystem::path& to, bool posix_first,
                   const RenameCall& rename) {
  // The POSIX form replaces a file that another program holds open with
  // delete sharing (virus scanners, the indexer, Explorer's preview), where
  // the plain form is refused. Windows before 10 1607, FAT, exFAT, ReFS and
  // network shares refuse it, each with a code of its own (1, 50, 87, 120, 124,
  // 665 have been seen), and so may a filter driver that rewrites renames and
  // knows only the plain form: then the plain form decides, at once.
  if (posix_first && rename(file, to, true) == Outcome::kDone) {
    return Outcome::kDone;
  }
  return rename(file, to, false);
}

Outcome Replace(NativeHandle file, const std::filesystem::path&, const std::filesystem::path& to) {
  // A read-only file is not to be replaced, as Windows has it, and waiting
  // would not change that; not every implementation refuses by itself.
  const DWORD attributes = ::GetFileAttributesW(ExtendedPath(to).c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
    ::SetLastError(ERROR_ACCESS_DENIED);
    return Outcome::kFailed;
  }
  const Outcome outcome = PutInPlace(file, to, !ProcessIsVirtualized(), RenameByHandle);
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

namespace {

// How a handle's resolved name is spelled: with its volume's DOS name
// ("\\?\C:\..."), or, where the system cannot say that (Wine, past MAX_PATH),
// as the volume's serial number and the path below it.
enum class NameForm { kDos, kBelowVolume };

// The name the system resolves an open handle to, empty when it cannot tell:
// two drives that show one folder give two names.
std::wstring ResolvedName(HANDLE handle, NameForm form) {
  if (form == NameForm::kDos) {
    std::wstring name(MAX_PATH, L'\0');
    for (;;) {
      const DWORD length =
          ::GetFinalPathNameByHandleW(handle, name.data(), static_cast<DWORD>(name.size()),
                                      FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
      if (length == 0) {
        return {};
      }
      if (length < name.size()) {
        name.resize(length);
        return name;
      }
      name.resize(length);  // the size it needs, with its NUL
    }
  }
  BY_HANDLE_FILE_INFORMATION identity{};
  constexpr DWORD kSize = sizeof(FILE_NAME_INFO) + 32768 * sizeof(wchar_t);
  const auto buffer = std::make_unique<DWORD[]>(kSize / sizeof(DWORD));
  auto* info = reinterpret_cast<FILE_NAME_INFO*>(buffer.get());
  if (!::GetFileInformationByHandle(handle, &identity) ||
      !::GetFileInformationByHandleEx(handle, FileNameInfo, info, kSize)) {
    return {};
  }
  return std::to_wstring(identity.dwVolumeSerialNumber) + L":" +
         std::wstring(info->FileName, info->FileNameLength / sizeof(wchar_t));
}

std::wstring ResolvedFolderName(const std::filesystem::path& folder, NameForm form) {
  const HANDLE handle = ::CreateFileW(ExtendedPath(folder).c_str(), FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    return {};
  }
  std::wstring name = ResolvedName(handle, form);
  ::CloseHandle(handle);
  return name;
}

// Whether a folder above `path` (extended, "\\?\C:\...") holds an entry whose
// own name spells the rest of the path (`whole`), or begins with it (a path
// that ends in a backslash: the entry would stand for something in it).
bool AnEntryAboveSpells(const std::wstring& path, bool whole) {
  const std::size_t root = path.find(L'\\', path.starts_with(L"\\\\?\\") ? 4 : 0);
  for (std::size_t cut = path.rfind(L'\\');
       cut != std::wstring::npos && cut > root && (cut = path.rfind(L'\\', cut - 1)) >= root;) {
    const std::wstring rest = path.substr(cut + 1);
    const std::wstring first = rest.substr(0, rest.find(L'\\'));
    WIN32_FIND_DATAW entry{};
    const HANDLE listing =
        ::FindFirstFileExW((path.substr(0, cut + 1) + first + L"*").c_str(), FindExInfoBasic,
                           &entry, FindExSearchNameMatch, nullptr, 0);
    if (listing == INVALID_HANDLE_VALUE) {
      continue;
    }
    bool found = false;
    do {
      const std::wstring_view name = entry.cFileName;
      found = rest.size() > first.size() && (whole ? name == rest : name.starts_with(rest));
    } while (!found && ::FindNextFileW(listing, &entry));
    ::FindClose(listing);
    if (found) {
      return true;
    }
  }
  return false;
}

// What one clean-up asks once of the set's folder, for all its files, and
// forgets with it: its resolved names (were the folder replaced meanwhile, its
// files would resolve to other names, which then match none), the folder of
// its twin in VirtualStore, and whether an entry above a folder could spell a
// file's path.
class FolderNames {
 public:
  explicit FolderNames(std::filesystem::path folder) : folder_(std::move(folder)) {}

  const std::wstring& Of(NameForm form) {
    std::optional<std::wstring>& name = names_[form == NameForm::kDos ? 0 : 1];
    if (!name) {
      name = ResolvedFolderName(folder_, form);
    }
    return *name;
  }

  // Where Windows keeps the files that this process writes in `folder` (a
  // resolved name), when it virtualizes the process; empty when it does not.
  std::wstring TwinOf(const std::wstring& folder) {
    if (folder.empty() || !ProcessIsVirtualized()) {
      return {};
    }
    if (!store_) {
      store_ = ResolvedFolderName(VirtualStoreFolder(), NameForm::kDos);
    }
    return VirtualStoreTwin(*store_, folder);
  }

  // Whether another entry spells the path of the file `path` too. No Windows
  // name holds a backslash, but Wine shows Unix names as they are: a link to
  // the Unix file "ENDGAMES\x" of the folder above resolves to the text of
  // "x" in ENDGAMES. Asked once a folder whether any entry above it could,
  // then, where one could, of each file: a folder of many leftovers is listed
  // once.
  bool SpelledByAnotherEntry(const std::wstring& path) {
    const std::wstring folder = path.substr(0, path.rfind(L'\\'));
    const auto [asked, is_new] = could_spell_.try_emplace(folder, false);
    if (is_new) {
      asked->second = AnEntryAboveSpells(folder + L"\\", false);
    }
    return asked->second && AnEntryAboveSpells(path, true);
  }

 private:
  std::filesystem::path folder_;
  std::optional<std::wstring> names_[2];
  std::optional<std::wstring> store_;
  std::map<std::wstring, bool> could_spell_;
};

// FILE_DISPOSITION_INFO_EX (Windows 10 1809), which older headers lack.
struct DispositionInfoEx {
  DWORD flags;
};
constexpr auto kFileDispositionInfoEx = static_cast<FILE_INFO_BY_HANDLE_CLASS>(21);
constexpr DWORD kDispositionDelete = 0x1;           // FILE_DISPOSITION_FLAG_DELETE
constexpr DWORD kDispositionIgnoreReadOnly = 0x10;  // ..._IGNORE_READONLY_ATTRIBUTE

// Sets the attributes of the file open as `file`, through a handle of that
// same file, not its name: the name may by now be another file's.
BOOL SetAttributes(HANDLE file, DWORD attributes) {
  const HANDLE writable = ::ReOpenFile(file, FILE_WRITE_ATTRIBUTES,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, 0);
  if (writable == INVALID_HANDLE_VALUE) {
    return FALSE;
  }
  FILE_BASIC_INFO basic{};  // times of 0 are left as they are
  basic.FileAttributes = attributes != 0 ? attributes : FILE_ATTRIBUTE_NORMAL;  // 0: left too
  const BOOL set = ::SetFileInformationByHandle(writable, FileBasicInfo, &basic, sizeof basic);
  const DWORD error = ::GetLastError();
  ::CloseHandle(writable);
  ::SetLastError(error);
  return set;
}

// Marks the file open as `file` (with DELETE access) to go when its last
// handle closes: the name goes then. A read-only one too, as unlink removes
// it elsewhere, so that it does not stay to be tried again by every later run
// (a copy from a disc or a restore from some backups leaves files read-only).
// Where Windows can (10 1809 and later, NTFS) the attribute is ignored, not
// touched; elsewhere it is cleared first, which the clean-up does only for a
// file that has no other name, and put back should the removal still fail.
BOOL MarkForRemoval(HANDLE file, DWORD attributes) {
  DispositionInfoEx ignoring{kDispositionDelete | kDispositionIgnoreReadOnly};
  if (::SetFileInformationByHandle(file, kFileDispositionInfoEx, &ignoring, sizeof ignoring)) {
    return TRUE;
  }
  FILE_DISPOSITION_INFO disposition{};
  disposition.DeleteFile = TRUE;
  if (::SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof disposition)) {
    return TRUE;
  }
  const bool read_only = (attributes & FILE_ATTRIBUTE_READONLY) != 0;
  if (::GetLastError() != ERROR_ACCESS_DENIED || !read_only ||
      !SetAttributes(file, attributes & ~DWORD{FILE_ATTRIBUTE_READONLY})) {
    return FALSE;
  }
  if (::SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof disposition)) {
    return TRUE;
  }
  const DWORD error = ::GetLastError();
  SetAttributes(file, attributes);
  ::SetLastError(error);
  return FALSE;
}

// Seconds from a file time to now, by this machine's clock.
std::int64_t SecondsSince(FILETIME time) {
  FILETIME now{};
  ::GetSystemTimeAsFileTime(&now);
  const auto ticks = [](FILETIME t) {
    return static_cast<std::int64_t>((std::uint64_t{t.dwHighDateTime} << 32) | t.dwLowDateTime);
  };
  return (ticks(now) - ticks(time)) / 10000000;  // in 100 ns
}

// Removes the leftover at `path` where the facts gathered through a handle
// of it say it may go (MayRemoveLeftover).
void RemoveLeftover(const std::filesystem::path& path, FolderNames& folder_names) {
  const HANDLE file = ::CreateFileW(ExtendedPath(path).c_str(), DELETE | FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    return;  // gone, or held: a later run tries again
  }
  // A link that the system does not show as one (Wine's view of a Unix
  // symbolic link) opens what it points to: the handle then resolves to
  // another name, on another drive perhaps. Compared exactly, volume included,
  // as both names are spelled by the same call: a target whose name differs
  // only in letter case is another file.
  FILE_ATTRIBUTE_TAG_INFO attributes{};
  BY_HANDLE_FILE_INFORMATION identity{};
  std::wstring resolved = ResolvedName(file, NameForm::kDos);
  std::wstring folder = folder_names.Of(NameForm::kDos);
  if (resolved.empty() || folder.empty()) {
    resolved = ResolvedName(file, NameForm::kBelowVolume);
    folder = folder_names.Of(NameForm::kBelowVolume);
  }
  const std::wstring name = L"\\" + path.filename().native();
  const auto in_folder = [&] {
    if (resolved == folder + name) {
      return !folder_names.SpelledByAnotherEntry(ExtendedPath(path));
    }
    const std::wstring twin = folder_names.TwinOf(folder);
    return !twin.empty() && resolved == twin + name &&
           !folder_names.SpelledByAnotherEntry(twin + name);
  };
  LeftoverFacts facts;
  facts.plain_file =
      ::GetFileInformationByHandleEx(file, FileAttributeTagInfo, &attributes, sizeof attributes) &&
      IsPlainFile(attributes.FileAttributes, attributes.ReparseTag) &&
      ::GetFileInformationByHandle(file, &identity);
  facts.in_folder = facts.plain_file && !resolved.empty() && in_folder();
  facts.names = identity.nNumberOfLinks;
  facts.seconds_since_write = SecondsSince(identity.ftLastWriteTime);
  if (MayRemoveLeftover(facts)) {
    MarkForRemoval(file, attributes.FileAttributes);  // or it stays, for a later run
  }
  ::CloseHandle(file);
}

}  // namespace

struct LeftoverFolder::Learnt {
  explicit Learnt(std::filesystem::path folder) : names(std::move(folder)) {}
  FolderNames names;
};

LeftoverFolder::LeftoverFolder(std::filesystem::path folder)
    : folder_(std::move(folder)), learnt_(std::make_unique<Learnt>(folder_)) {}

LeftoverFolder::~LeftoverFolder() = default;

bool LeftoverFolder::ForEachPlainFile(
    const std::function<void(const std::filesystem::path&)>& visit) {
  // The extended-length form lists folders past MAX_PATH too.
  WIN32_FIND_DATAW entry{};
  const HANDLE listing =
      ::FindFirstFileExW((ExtendedPath(folder_) + L"\\*").c_str(), FindExInfoBasic, &entry,
                         FindExSearchNameMatch, nullptr, 0);
  if (listing == INVALID_HANDLE_VALUE) {
    return false;
  }
  do {
    // For a reparse point, dwReserved0 holds its tag.
    if (IsPlainFile(entry.dwFileAttributes, entry.dwReserved0)) {
      visit(folder_ / entry.cFileName);
    }
  } while (::FindNextFileW(listing, &entry));
  ::FindClose(listing);
  return true;
}

void LeftoverFolder::RemoveIfLeftover(const std::filesystem::path& path) {
  RemoveLeftover(path, learnt_->names);
}

TrainersCopy TrainersCopyOf(const std::filesystem::path& file) {
  // The folder's place, not its spelling: its long names, through links and
  // substituted drives; as spelled where the system cannot say.
  const std::filesystem::path folder = file.parent_path();
  std::wstring resolved = ResolvedFolderName(folder, NameForm::kDos);
  const TwinPlace place = WhereTheTrainersCopyMayBe(TwinFactsFor(
      resolved.empty() ? ExtendedPath(folder) : resolved,
      [](const std::wstring& path) { return ResolvedFolderName(path, NameForm::kDos); }));
  if (place.kind == TwinPlace::Kind::kOtherUser) {
    return {TrainersCopy::Kind::kUncheckable, {}};
  }
  if (place.kind == TwinPlace::Kind::kNone) {
    return {};
  }
  const std::wstring copy = place.folder + L"\\" + file.filename().native();
  const DWORD attributes = ::GetFileAttributesW(ExtendedPath(copy).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return {};
  }
  return {TrainersCopy::Kind::kExists, copy};
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
