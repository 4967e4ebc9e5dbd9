#pragma once

// The system calls behind InputFile and ReplacementFile, one twin per system
// (files_win32.cpp, files_posix.cpp). Each returns false on failure and leaves
// the system's reason for LastSystemError(); the rules stay in files.cpp.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>
#include <string_view>

#include "runtime/file_state.h"
#include "runtime/native_handle.h"

namespace velkaro::runtime::system {

bool OpenToRead(const std::filesystem::path& path, NativeHandle& file);
// `read` is 0 only at the end of the file.
bool ReadSome(NativeHandle file, std::span<char> into, std::size_t& read);
// A read from `offset` that leaves the position of ReadSome where it was.
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

// Removes each file of `folder` that choose(path) picks by its name, where
// MayRemoveLeftover says so of the facts gathered through a handle of it that
// follows no link: never what a link points to; a read-only one too, as
// unlink does. False when the folder cannot be listed.
bool RemoveLeftoversIn(const std::filesystem::path& folder,
                       const std::function<bool(const std::filesystem::path&)>& choose);

// Where this process is not virtualized, but Windows keeps a virtualized copy
// of `file` (in VirtualStore) that programs it virtualizes read instead: true,
// with that copy's path. False where there is none, and on other systems.
bool VirtualizedCopyOf(const std::filesystem::path& file, std::filesystem::path& copy);

enum class Kind { kMissing, kFile, kFolder };
// What is at `path`; a missing folder on the way counts as missing.
bool KindOf(const std::filesystem::path& path, Kind& kind);

unsigned long CurrentProcessId();
bool ProcessIsRunning(unsigned long process_id);

}  // namespace velkaro::runtime::system
