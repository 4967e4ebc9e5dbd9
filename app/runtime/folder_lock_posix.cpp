#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

#include "app/runtime/failure.h"
#include "app/runtime/folder_lock.h"

namespace velkaro::runtime {

FolderLock::FolderLock(const std::filesystem::path& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) {
    throw SystemFailure("锁定文件夹" + Quoted(folder), LastSystemError());
  }
  while (::flock(fd, LOCK_EX) != 0) {
    if (errno != EINTR) {
      const std::uint32_t code = LastSystemError();
      ::close(fd);
      throw SystemFailure("锁定文件夹" + Quoted(folder), code);
    }
  }
  handle_ = fd;
}

FolderLock::~FolderLock() {
  ::close(static_cast<int>(handle_));
}

}  // namespace velkaro::runtime
