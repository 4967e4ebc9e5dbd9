#pragma once

// The system calls behind InputFile and ReplacementFile, one twin per system
// (files_win32.cpp, files_posix.cpp). Each returns false on failure and leaves
// the system's reason for LastSystemError(); the rules stay in files.cpp.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <span>
#include <string_view>

#include "runtime/file_state.h"
#include "runtime/files.h"
#include "runtime/native_handle.h"

namespace velkaro::runtime::system {

bool OpenToRead(const std::filesystem::path& path, NativeHandle& file);
// Another handle of the file open as `file`, for another thread to read
// through at once, or `file` itself where one handle serves many threads at
// once (POSIX pread). The same file whatever its name names now.
bool OpenLane(NativeHandle file, NativeHandle& lane);
// A read from `offset`; `read` is 0 only at the end of the file.
bool ReadSomeAt(NativeHandle file, std::uint64_t offset, std::span<char> into, std::size_t& read);
bool SizeOf(NativeHandle file, std::uint64_t& size);
bool StateOf(NativeHandle file, FileState& state);
// Closes the file; false only when what it held could not be written out.
bool Close(NativeHandle file);

enum class Created { kNew, kNameTaken, kFailed };
// Creates a file that did not exist, never opening what is there (links included).
Created CreateNew(const std::filesystem::path& path, NativeHandle& file);
bool WriteSome(NativeHandle file, std::string_view bytes, std::size_t& written);
// Writes the new file's data through to the disk, ready to be put in place.
// Where the system puts a file in place through its handle (Windows), the
// handle stays open for Replace; elsewhere the file is closed here, so that a
// failure to close is still a failure to write. `open` says which.
bool FinishWriting(NativeHandle file, bool& open);
// What became of a call that another program may hold up for a moment (a virus
// scanner, an indexer or a backup tool that opened a fresh file).
enum class Outcome { kDone, kBusy, kFailed };
// Puts the finished file `from`, still open as `file` where FinishWriting left
// it open, in the place of `to` in one step, durably as far as the system allows.
Outcome Replace(NativeHandle file, const std::filesystem::path& from,
                const std::filesystem::path& to);
#ifdef _WIN32
// The rename behind Replace on Windows: puts the file open as `file` (with
// DELETE access) in the place of `to` through its handle, in the POSIX form
// (Windows 10 1607 and later, NTFS) or the plain one.
Outcome RenameByHandle(NativeHandle file, const std::filesystem::path& to, bool posix_semantics);
using RenameCall = std::function<Outcome(NativeHandle, const std::filesystem::path&, bool)>;
// Renames with `rename`, in the POSIX form first when `posix_first`; whatever
// refuses that form, the plain one is tried at once and its outcome stands.
Outcome PutInPlace(NativeHandle file, const std::filesystem::path& to, bool posix_first,
                   const RenameCall& rename);
#endif
Outcome Remove(const std::filesystem::path& path);
// Whether another program has the file open, which keeps it from being replaced.
bool HeldByAnother(const std::filesystem::path& path);

// The folder of one clean-up of leftovers: what it learns of the folder once
// (on Windows, its resolved names) lives and dies with it.
class LeftoverFolder {
 public:
  explicit LeftoverFolder(std::filesystem::path folder);
  ~LeftoverFolder();
  LeftoverFolder(const LeftoverFolder&) = delete;
  LeftoverFolder& operator=(const LeftoverFolder&) = delete;

  // Calls visit(path) for each entry that the listing shows as a plain file:
  // no folder, and no link or other reparse point. False when the folder
  // cannot be listed.
  bool ForEachPlainFile(const std::function<void(const std::filesystem::path&)>& visit);
  // Removes the file at `path` where MayRemoveLeftover says so of the facts
  // gathered through a handle of it that follows no link: never what a link
  // points to; a read-only one too, as unlink does.
  void RemoveIfLeftover(const std::filesystem::path& path);

 private:
  struct Learnt;
  std::filesystem::path folder_;
  std::unique_ptr<Learnt> learnt_;
};

// The trainer's copy of `file`, from the facts Windows gives; none on other systems.
TrainersCopy TrainersCopyOf(const std::filesystem::path& file);

enum class Kind { kMissing, kFile, kFolder };
// What is at `path`; a missing folder on the way counts as missing.
bool KindOf(const std::filesystem::path& path, Kind& kind);

unsigned long CurrentProcessId();
bool ProcessIsRunning(unsigned long process_id);

}  // namespace velkaro::runtime::system
