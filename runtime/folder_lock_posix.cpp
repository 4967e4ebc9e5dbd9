#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

#include "runtime/folder_lock_system.h"

namespace velkaro::runtime::system {

std::uint32_t OpenFolderLock(const std::filesystem::path& folder, NativeHandle& lock) {
  lock = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  return lock >= 0 ? 0 : static_cast<std::uint32_t>(errno);
}

std::uint32_t TakeFolderLock(NativeHandle lock) {
  while (::flock(lock, LOCK_EX) != 0) {
    if (errno != EINTR) {
      return static_cast<std::uint32_t>(errno);
    }
  }
  return 0;
}

void CloseFolderLock(NativeHandle lock, bool /*held*/) {
  // Closing lets the lock go.
  ::close(lock);
}

}  // namespace velkaro::runtime::system
