#include "runtime/files.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <optional>
#include <string>
#include <system_error>
#include <thread>

#include "runtime/failure.h"
#include "runtime/files_system.h"
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

// A new file's name: the target's, then ".<process id>-<attempt>.tmp".
std::filesystem::path TemporaryName(const std::filesystem::path& target, unsigned attempt) {
  std::filesystem::path name = target;
  name += "." + std::to_string(system::CurrentProcessId()) + "-" + std::to_string(attempt) + ".tmp";
  return name;
}

// The process that made a new file for `target` named `name`, or nothing when
// `name` is not such a name.
std::optional<unsigned long> MakerOf(std::string_view name, std::string_view target) {
  if (name.size() <= target.size() + 1 || name.substr(0, target.size()) != target ||
      name[target.size()] != '.' || !name.ends_with(".tmp")) {
    return std::nullopt;
  }
  const std::string_view numbers = name.substr(target.size() + 1, name.size() - target.size() - 5);
  const char* end = numbers.data() + numbers.size();
  unsigned long process = 0;
  unsigned attempt = 0;
  auto [dash, error] = std::from_chars(numbers.data(), end, process);
  if (error != std::errc() || dash == end || *dash != '-' || dash == numbers.data()) {
    return std::nullopt;
  }
  auto [last, error2] = std::from_chars(dash + 1, end, attempt);
  if (error2 != std::errc() || last != end || last == dash + 1) {
    return std::nullopt;
  }
  return process;
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

InputFile::InputFile(const std::filesystem::path& path) : path_(path) {
  // Some systems open a folder for reading as if it were a file.
  if (KindIfKnown(path) == system::Kind::kFolder || !system::OpenToRead(path, handle_)) {
    throw FileFailure(texts::kOpen, path);
  }
}

InputFile::~InputFile() {
  system::Close(handle_);
}

std::size_t InputFile::Read(std::span<char> into) {
  std::size_t read = 0;
  if (!system::ReadSome(handle_, into, read)) {
    throw FileFailure(texts::kRead, path_);
  }
  return read;
}

std::size_t InputFile::ReadAt(std::uint64_t offset, std::span<char> into) {
  std::size_t read = 0;
  if (!system::ReadSomeAt(handle_, offset, into, read)) {
    throw FileFailure(texts::kRead, path_);
  }
  return read;
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
      throw FileFailure(texts::kWrite, target_);
    }
    bytes.remove_prefix(written);
  }
}

void ReplacementFile::Finish() {
  if (!system::WriteThrough(handle_)) {
    throw FileFailure(texts::kWrite, target_);
  }
  open_ = false;
  if (!system::Close(handle_)) {
    throw FileFailure(texts::kWrite, target_);
  }
}

void ReplacementFile::Commit() {
  if (!RetriedWhileBusy([&] { return system::Replace(temporary_, target_); })) {
    // Name the file that another program holds: the new one, if not the target.
    const std::uint32_t code = LastSystemError();
    if (!system::HeldByAnother(target_) && system::HeldByAnother(temporary_)) {
      throw SystemFailure(texts::FileAction(texts::kMoveNew, temporary_), code);
    }
    throw FileFailure(texts::kReplace, target_, code);
  }
  committed_ = true;
}

void RemoveLeftoverReplacements(const std::filesystem::path& target) {
  const std::u8string target_name = target.filename().u8string();
  const std::string_view name_of_target(reinterpret_cast<const char*>(target_name.data()),
                                        target_name.size());
  // Housekeeping after a rebuild that succeeded: a folder that cannot be listed
  // keeps its leftovers for a later run, and that is all.
  system::ForEachPlainFile(target.parent_path(), [&](const std::filesystem::path& path) {
    const std::u8string name = path.filename().u8string();
    const auto maker = MakerOf(
        std::string_view(reinterpret_cast<const char*>(name.data()), name.size()), name_of_target);
    if (maker && *maker != system::CurrentProcessId() && !system::ProcessIsRunning(*maker)) {
      system::RemovePlainFile(path);
    }
  });
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
