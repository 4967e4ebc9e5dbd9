#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "app/runtime/failure.h"
#include "app/runtime/files.h"

namespace velkaro::runtime {

namespace {

int Fd(std::intptr_t handle) {
  return static_cast<int>(handle);
}

Failure FileFailure(std::string_view action, const std::filesystem::path& path) {
  const std::uint32_t code = LastSystemError();
  return SystemFailure(std::string(action) + "文件" + Quoted(path), code);
}

}  // namespace

InputFile::InputFile(const std::filesystem::path& path) : path_(path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    throw FileFailure("打开", path);
  }
  handle_ = fd;
}

InputFile::~InputFile() {
  ::close(Fd(handle_));
}

std::size_t InputFile::Read(std::span<char> into) {
  for (;;) {
    const ssize_t n = ::read(Fd(handle_), into.data(), into.size());
    if (n >= 0) {
      return static_cast<std::size_t>(n);
    }
    if (errno != EINTR) {
      throw FileFailure("读取", path_);
    }
  }
}

std::size_t InputFile::ReadAt(std::uint64_t offset, std::span<char> into) {
  for (;;) {
    const ssize_t n = ::pread(Fd(handle_), into.data(), into.size(), static_cast<off_t>(offset));
    if (n >= 0) {
      return static_cast<std::size_t>(n);
    }
    if (errno != EINTR) {
      throw FileFailure("读取", path_);
    }
  }
}

std::uint64_t InputFile::Size() {
  struct stat status {};
  if (::fstat(Fd(handle_), &status) != 0) {
    throw FileFailure("读取", path_);
  }
  return static_cast<std::uint64_t>(status.st_size);
}

ReplacementFile::ReplacementFile(const std::filesystem::path& target) : target_(target) {
  // O_EXCL with O_CREAT never opens what is already there, links included.
  for (unsigned attempt = 0;; ++attempt) {
    temporary_ = target;
    temporary_ += "." + std::to_string(::getpid()) + "-" + std::to_string(attempt) + ".tmp";
    const int fd = ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
      handle_ = fd;
      open_ = true;
      return;
    }
    if (errno != EEXIST || attempt == 1000) {
      const std::uint32_t code = LastSystemError();
      throw SystemFailure("在文件夹" + Quoted(target.parent_path()) + "中创建新文件", code);
    }
  }
}

ReplacementFile::~ReplacementFile() {
  Close();
  if (!committed_) {
    ::unlink(temporary_.c_str());
  }
}

void ReplacementFile::Close() noexcept {
  if (open_) {
    ::close(Fd(handle_));
    open_ = false;
  }
}

void ReplacementFile::Write(std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(Fd(handle_), bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) {
        continue;
      }
      throw FileFailure("写入", target_);
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
}

void ReplacementFile::Finish() {
  if (::fsync(Fd(handle_)) != 0) {
    throw FileFailure("写入", target_);
  }
  open_ = false;
  if (::close(Fd(handle_)) != 0) {
    throw FileFailure("写入", target_);
  }
}

void ReplacementFile::Commit() {
  if (::rename(temporary_.c_str(), target_.c_str()) != 0) {
    throw FileFailure("替换", target_);
  }
  committed_ = true;
  // Make the new name durable too.
  const int folder = ::open(target_.parent_path().empty() ? "." : target_.parent_path().c_str(),
                            O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder >= 0) {
    ::fsync(folder);
    ::close(folder);
  }
}

}  // namespace velkaro::runtime
