#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string_view>

#include "runtime/file_state.h"
#include "runtime/native_handle.h"

namespace velkaro::runtime {

// A file open for reading, as bytes. Every failure throws Failure naming the file.
// Its reads hand out the file as it was at open: never past the size it had then.
class InputFile {
 public:
  // Threads that read the file at once, each on a lane of its own.
  static constexpr unsigned kLanes = 2;

  explicit InputFile(const std::filesystem::path& path);
  ~InputFile();
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  // Reads from `offset` on into `into` through the handle of `lane` (below
  // kLanes), one thread per lane at a time; returns how many bytes, 0 only at
  // the size at open, or before it where the file now ends sooner. What lanes
  // read counts as read for ChangedSinceOpen.
  std::size_t ReadOnLane(unsigned lane, std::uint64_t offset, std::span<char> into);
  // Looks for a byte past the size at open: one there is the file's growth,
  // or a device that has no end (a link to one has a size of 0).
  void LookPastEnd();
  // Reads from `offset` on, counting for nothing.
  std::size_t ReadAt(std::uint64_t offset, std::span<char> into);
  std::uint64_t Size();
  std::uint64_t SizeAtOpen() const { return at_open_.size; }
  // Whether the file, read through on its lanes and looked past its end, was
  // changed since it was opened (ChangedWhileRead).
  bool ChangedSinceOpen();

  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
  NativeHandle handle_{};
  FileState at_open_;
  // Each lane's handle, opened by the lane's thread when it first reads.
  std::array<std::optional<NativeHandle>, kLanes> lanes_;
  std::atomic<std::uint64_t> bytes_read_{0};
  bool read_past_end_ = false;
};

// A new file that is to replace `target` whole. It is created exclusively, under
// a name of its own in the target's folder, so the target is untouched until
// Commit() puts it in place in one step, on the disk before it returns; unless
// committed, it is removed. On Windows it stays open, unshared, from its
// creation until it is in place through that handle, so no other program holds
// it meanwhile. Where another program holds the target for a moment, the
// replace and the removal are tried again for about two seconds; one that
// holds it longer is named; a read-only target is refused at once.
class ReplacementFile {
 public:
  explicit ReplacementFile(const std::filesystem::path& target);
  ~ReplacementFile();
  ReplacementFile(const ReplacementFile&) = delete;
  ReplacementFile& operator=(const ReplacementFile&) = delete;

  void Write(std::string_view bytes);
  // Writes everything through to the disk and closes the file.
  void Finish();
  // Replaces the target with the finished file.
  void Commit();

  const std::filesystem::path& target() const { return target_; }

 private:
  void Close() noexcept;

  std::filesystem::path target_;
  std::filesystem::path temporary_;
  NativeHandle handle_{};
  bool open_ = false;
  bool committed_ = false;
};

// Removes the new files for `target` that copies of the program left when they
// were ended before they could commit or remove them (a power loss, End Task),
// once the process that made each has ended. Touches no other file; a file it
// cannot remove stays for a later run.
void RemoveLeftoverReplacements(const std::filesystem::path& target);

// A copy of `file` that Windows shows instead of it to the trainer, run by the
// session's user and virtualized, where this process writes the real file
// (run as administrator): changing that file would change nothing the
// trainer reads. kUncheckable: elevated as another user, whose copy this
// process cannot see (WhereTheTrainersCopyMayBe).
struct TrainersCopy {
  enum class Kind { kNone, kExists, kUncheckable } kind = Kind::kNone;
  std::filesystem::path path;
};
TrainersCopy TrainersCopyOf(const std::filesystem::path& file);

enum class PathKind { kMissing, kFile, kFolder };
// What is at `path`: nothing (or a folder on the way is missing), a file or a
// folder. Any other answer, a folder that may not be searched among them, throws
// Failure.
PathKind KindOf(const std::filesystem::path& path);

}  // namespace velkaro::runtime
