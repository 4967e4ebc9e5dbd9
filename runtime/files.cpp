#include "runtime/files.h"

#include <algorithm>
#include <chrono>
#include <optional>
#include <string>
#include <thread>
#include <type_traits>

#include "runtime/failure.h"
#include "runtime/files_system.h"
#include "runtime/leftover_name.h"
#include "runtime/texts.h"

namespace velkaro::runtime {

namespace {

// How many names a new file tries before it gives up: another copy of the
// program, or a leftover of an earlier run, may hold the first few.
constexpr unsigned kNameAttempts = 1000;

// What is at `path`, when it can be told; nothing else is asked of the system.
std::optional<system::Kind> KindIfKnown(const std::filesystem::path& path) {
  system::Kind kind = system::Kind::kMissing;
  return system::KindOf(path, kind) ? std::optional(kind) : std::nullopt;
}

// A failure of `action` on a file; a folder where the file should be is named
// as such rather than by the system's "access denied".
Failure FileFailure(std::string_view action, const std::filesystem::path& path,
                    std::uint32_t code = LastSystemError()) {
  if (KindIfKnown(path) == system::Kind::kFolder) {
    return Failure(texts::Cannot(texts::FileAction(action, path), texts::kIsAFolder));
  }
  return SystemFailure(texts::FileAction(action, path), code);
}

// A failure to write a new file, a full disk most often: it names the file
// that could not be written, and says that the one it was to replace is as it was.
Failure WriteFailure(const std::filesystem::path& written, const std::filesystem::path& unchanged) {
  return Failure(
      texts::Cannot(texts::FileAction(texts::kWriteNew, written), SystemReason(LastSystemError())) +
      "；" + texts::Unchanged(unchanged));
}

// A new file's name: the target's, then ".<process id>-<attempt>.tmp".
std::filesystem::path TemporaryName(const std::filesystem::path& target, unsigned attempt) {
  std::filesystem::path name = target;
  name += LeftoverName(".", system::CurrentProcessId(), attempt, ".tmp");
  return name;
}

// The process that made a new file for `target` named `name`, or nothing when
// `name` is not exactly a name that TemporaryName makes. Names are compared in
// the system's own characters, so that any name the folder holds can be told.
std::optional<unsigned long> MakerOf(const std::filesystem::path& name,
                                     const std::filesystem::path& target) {
  using Char = std::filesystem::path::value_type;
  const std::basic_string_view<Char> whole = name.native();
  if (!whole.starts_with(target.native())) {
    return std::nullopt;
  }
  std::string rest;  // what follows the target's name: ASCII, or not ours
  for (const Char each : whole.substr(target.native().size())) {
    const auto code = static_cast<std::make_unsigned_t<Char>>(each);
    if (code > 0x7f) {
      return std::nullopt;
    }
    rest.push_back(static_cast<char>(code));
  }
  return LeftoverMaker(rest, ".", ".tmp", kNameAttempts);
}

// Repeats a call that another program holds up, for about two seconds, with
// growing pauses.
template <typename Call>
bool RetriedWhileBusy(Call call) {
  auto pause = std::chrono::milliseconds(10);
  auto waited = std::chrono::milliseconds(0);
  for (;;) {
    const system::Outcome outcome = call();
    if (outcome != system::Outcome::kBusy || waited >= std::chrono::milliseconds(2000)) {
      return outcome == system::Outcome::kDone;
    }
    std::this_thread::sleep_for(pause);
    waited += pause;
    pause = std::min(pause * 2, std::chrono::milliseconds(250));
  }
}

}  // namespace

bool ChangedWhileRead(const FileState& at_open, const FileState& at_end, std::uint64_t bytes_read,
                      bool read_past_end) {
  return bytes_read != at_open.size || read_past_end || at_end != at_open;
}

InputFile::InputFile(const std::filesystem::path& path) : path_(path) {
  // Some systems open a folder for reading as if it were a file.
  if (KindIfKnown(path) == system::Kind::kFolder || !system::OpenToRead(path, handle_)) {
    throw FileFailure(texts::kOpen, path);
  }
  if (!system::StateOf(handle_, at_open_)) {
    const std::uint32_t code = LastSystemError();
    system::Close(handle_);
    throw FileFailure(texts::kRead, path, code);
  }
}

InputFile::~InputFile() {
  for (const std::optional<NativeHandle>& lane : lanes_) {
    if (lane && *lane != handle_) {
      system::Close(*lane);
    }
  }
  system::Close(handle_);
}

std::size_t InputFile::ReadOnLane(unsigned lane, std::uint64_t offset, std::span<char> into) {
  std::optional<NativeHandle>& handle = lanes_.at(lane);
  if (!handle) {
    // Where no handle of its own can be had, the lane shares the file's: the
    // reads are right, only not at once.
    NativeHandle own{};
    handle = system::OpenLane(handle_, own) ? own : handle_;
  }
  // Past the end the file had at open, bytes belong to another version of it.
  const std::uint64_t left = at_open_.size - std::min(offset, at_open_.size);
  const auto wanted = static_cast<std::size_t>(std::min<std::uint64_t>(into.size(), left));
  if (wanted == 0) {
    return 0;
  }
  std::size_t read = 0;
  if (!system::ReadSomeAt(*handle, offset, into.first(wanted), read)) {
    throw FileFailure(texts::kRead, path_);
  }
  bytes_read_ += read;
  return read;
}

void InputFile::LookPastEnd() {
  char probe = 0;
  std::size_t read = 0;
  if (!system::ReadSomeAt(handle_, at_open_.size, std::span<char>(&probe, 1), read)) {
    throw FileFailure(texts::kRead, path_);
  }
  read_past_end_ = read_past_end_ || read > 0;
}

std::size_t InputFile::ReadAt(std::uint64_t offset, std::span<char> into) {
  std::size_t read = 0;
  if (!system::ReadSomeAt(handle_, offset, into, read)) {
    throw FileFailure(texts::kRead, path_);
  }
  return read;
}

bool InputFile::ChangedSinceOpen() {
  FileState now;
  if (!system::StateOf(handle_, now)) {
    throw FileFailure(texts::kRead, path_);
  }
  return ChangedWhileRead(at_open_, now, bytes_read_, read_past_end_);
}

std::uint64_t InputFile::Size() {
  std::uint64_t size = 0;
  if (!system::SizeOf(handle_, size)) {
    throw FileFailure(texts::kRead, path_);
  }
  return size;
}

ReplacementFile::ReplacementFile(const std::filesystem::path& target) : target_(target) {
  for (unsigned attempt = 0;; ++attempt) {
    temporary_ = TemporaryName(target, attempt);
    const system::Created created = system::CreateNew(temporary_, handle_);
    if (created == system::Created::kNew) {
      open_ = true;
      return;
    }
    if (created == system::Created::kFailed || attempt + 1 == kNameAttempts) {
      const std::uint32_t code = LastSystemError();
      const std::filesystem::path folder = target.parent_path();
      if (KindIfKnown(folder) == system::Kind::kFile) {
        throw Failure(texts::Cannot(texts::CreateFileInFolderAction(folder), texts::kIsAFile));
      }
      throw SystemFailure(texts::CreateFileInFolderAction(folder), code);
    }
  }
}

ReplacementFile::~ReplacementFile() {
  Close();
  if (!committed_) {
    // One that cannot be removed is a leftover for a later run to remove.
    RetriedWhileBusy([&] { return system::Remove(temporary_); });
  }
}

void ReplacementFile::Close() noexcept {
  if (open_) {
    open_ = false;
    system::Close(handle_);
  }
}

void ReplacementFile::Write(std::string_view bytes) {
  while (!bytes.empty()) {
    std::size_t written = 0;
    if (!system::WriteSome(handle_, bytes, written)) {
      throw WriteFailure(temporary_, target_);
    }
    bytes.remove_prefix(written);
  }
}

void ReplacementFile::Finish() {
  if (!system::FinishWriting(handle_, open_)) {
    throw WriteFailure(temporary_, target_);
  }
}

void ReplacementFile::Commit() {
  if (!RetriedWhileBusy([&] { return system::Replace(handle_, temporary_, target_); })) {
    const std::uint32_t code = LastSystemError();
    // Another program holding the set is named as such, not by "access denied".
    if (system::HeldByAnother(target_)) {
      throw Failure(texts::Cannot(texts::FileAction(texts::kReplace, target_),
                                  texts::Reason(texts::kInUse, code)));
    }
    throw FileFailure(texts::kReplace, target_, code);
  }
  committed_ = true;
  Close();
}

void RemoveLeftoverReplacements(const std::filesystem::path& target) {
  const std::filesystem::path target_name = target.filename();
  // Housekeeping after a rebuild that succeeded: a folder that cannot be listed
  // keeps its leftovers for a later run, and that is all.
  system::LeftoverFolder folder(target.parent_path());
  folder.ForEachPlainFile([&](const std::filesystem::path& path) {
    const auto maker = MakerOf(path.filename(), target_name);
    if (maker && *maker != system::CurrentProcessId() && !system::ProcessIsRunning(*maker)) {
      folder.RemoveIfLeftover(path);
    }
  });
}

TrainersCopy TrainersCopyOf(const std::filesystem::path& file) {
  return system::TrainersCopyOf(file);
}

PathKind KindOf(const std::filesystem::path& path) {
  system::Kind kind = system::Kind::kMissing;
  if (!system::KindOf(path, kind)) {
    throw SystemFailure(texts::AccessAction(path), LastSystemError());
  }
  switch (kind) {
    case system::Kind::kFile:
      return PathKind::kFile;
    case system::Kind::kFolder:
      return PathKind::kFolder;
    case system::Kind::kMissing:
      break;
  }
  return PathKind::kMissing;
}

}  // namespace velkaro::runtime
