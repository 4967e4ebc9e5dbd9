#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

#include "runtime/files_system.h"
#include "runtime/leftover_name.h"

namespace velkaro::runtime::system {

namespace {

// Repeats a call that a signal interrupted.
template <typename Call>
auto Retried(Call call) {
  for (;;) {
    const auto result = call();
    if (result >= 0 || errno != EINTR) {
      return result;
    }
  }
}

}  // namespace

bool OpenToRead(const std::filesystem::path& path, NativeHandle& file) {
  file = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  return file >= 0;
}

bool OpenLane(NativeHandle file, NativeHandle& lane) {
  // pread keeps no position: threads read through one descriptor at once.
  lane = file;
  return true;
}

bool ReadSomeAt(NativeHandle file, std::uint64_t offset, std::span<char> into, std::size_t& read) {
  const ssize_t n =
      Retried([&] { return ::pread(file, into.data(), into.size(), static_cast<off_t>(offset)); });
  read = n > 0 ? static_cast<std::size_t>(n) : 0;
  return n >= 0;
}

bool SizeOf(NativeHandle file, std::uint64_t& size) {
  struct stat status {};
  if (::fstat(file, &status) != 0) {
    return false;
  }
  size = static_cast<std::uint64_t>(status.st_size);
  return true;
}

bool StateOf(NativeHandle file, FileState& state) {
  struct stat status {};
  if (::fstat(file, &status) != 0) {
    return false;
  }
  // In nanoseconds; a write stamps them with the kernel's tick.
  const auto nanoseconds = [](const timespec& time) {
    return std::int64_t{time.tv_sec} * 1000000000 + time.tv_nsec;
  };
  state.size = static_cast<std::uint64_t>(status.st_size);
  state.write_time = nanoseconds(status.st_mtim);
  state.change_time = nanoseconds(status.st_ctim);
  return true;
}

bool Close(NativeHandle file) {
  return ::close(file) == 0;
}

Created CreateNew(const std::filesystem::path& path, NativeHandle& file) {
  // O_EXCL with O_CREAT never opens what is already there, links included.
  file = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (file >= 0) {
    return Created::kNew;
  }
  return errno == EEXIST ? Created::kNameTaken : Created::kFailed;
}

bool WriteSome(NativeHandle file, std::string_view bytes, std::size_t& written) {
  const ssize_t n = Retried([&] { return ::write(file, bytes.data(), bytes.size()); });
  written = n > 0 ? static_cast<std::size_t>(n) : 0;
  return n >= 0;
}

bool FinishWriting(NativeHandle file, bool& open) {
  // rename() takes names: the file is closed now, and close() reports what
  // some file systems (NFS) could only write then.
  const bool synced = ::fsync(file) == 0;
  open = false;
  return ::close(file) == 0 && synced;
}

Outcome Replace(NativeHandle, const std::filesystem::path& from, const std::filesystem::path& to) {
  if (::rename(from.c_str(), to.c_str()) != 0) {
    return Outcome::kFailed;
  }
  // Make the new name durable too. Should that fail, the replace has still
  // happened and is what every reader sees; only its surviving a power loss is
  // unconfirmed, and a failure message could neither undo it nor help, so the
  // replace stands as done.
  const int folder = ::open(to.parent_path().empty() ? "." : to.parent_path().c_str(),
                            O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder >= 0) {
    [[maybe_unused]] const int flushed = ::fsync(folder);
    ::close(folder);
  }
  return Outcome::kDone;
}

Outcome Remove(const std::filesystem::path& path) {
  return ::unlink(path.c_str()) == 0 ? Outcome::kDone : Outcome::kFailed;
}

bool HeldByAnother(const std::filesystem::path&) {
  // Open files do not keep a name from being renamed or removed here.
  return false;
}

// Nothing to learn of a folder here: a name is all there is to a file's place.
struct LeftoverFolder::Learnt {};

LeftoverFolder::LeftoverFolder(std::filesystem::path folder) : folder_(std::move(folder)) {}

LeftoverFolder::~LeftoverFolder() = default;

bool LeftoverFolder::ForEachPlainFile(
    const std::function<void(const std::filesystem::path&)>& visit) {
  DIR* listing = ::opendir(folder_.c_str());
  if (listing == nullptr) {
    return false;
  }
  while (const dirent* entry = ::readdir(listing)) {
    const std::filesystem::path path = folder_ / entry->d_name;
    // lstat: a link is not followed, it is a link.
    struct stat status {};
    if (::lstat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode)) {
      visit(path);
    }
  }
  ::closedir(listing);
  return true;
}

void LeftoverFolder::RemoveIfLeftover(const std::filesystem::path& path) {
  struct stat status {};
  if (::lstat(path.c_str(), &status) != 0) {
    return;
  }
  LeftoverFacts facts;
  facts.plain_file = S_ISREG(status.st_mode);
  facts.in_folder = true;
  facts.names = static_cast<std::uint32_t>(status.st_nlink);
  facts.seconds_since_write = static_cast<std::int64_t>(::time(nullptr) - status.st_mtime);
  if (MayRemoveLeftover(facts)) {
    // unlink removes the name, never what a link points to.
    Remove(path);
  }
}

TrainersCopy TrainersCopyOf(const std::filesystem::path&) {
  return {};  // no system here virtualizes a program's files
}

bool KindOf(const std::filesystem::path& path, Kind& kind) {
  struct stat status {};
  if (::stat(path.c_str(), &status) == 0) {
    kind = S_ISDIR(status.st_mode) ? Kind::kFolder : Kind::kFile;
    return true;
  }
  kind = Kind::kMissing;
  return errno == ENOENT || errno == ENOTDIR;
}

unsigned long CurrentProcessId() {
  return static_cast<unsigned long>(::getpid());
}

bool ProcessIsRunning(unsigned long process_id) {
  // A process of another user answers EPERM: it runs too.
  return ::kill(static_cast<pid_t>(process_id), 0) == 0 || errno == EPERM;
}

}  // namespace velkaro::runtime::system
