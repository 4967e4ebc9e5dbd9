// Preloaded into the native tests to make system calls fail where real
// hardware would: reads of the position list, writes, flushes and closes of the
// new set's file, and the rename that puts it in place. The environment says
// which, and after how many bytes:
//   VELKARO_FAIL_READ_AT=N    reading chessfen.txt fails with EIO at byte N
//   VELKARO_FAIL_PREAD=1      every positioned read of VIRLA.EPD fails with EIO
//   VELKARO_FAIL_WRITE_AT=N   writing a *.tmp file fails with ENOSPC at byte N
//   VELKARO_FAIL_FSYNC=1      flushing a *.tmp file fails with EIO
//   VELKARO_FAIL_CLOSE=1      closing a *.tmp file fails with EIO (after closing it)
//   VELKARO_FAIL_RENAME=1     renaming onto VIRLA.EPD fails with EIO
//   VELKARO_FAIL_ICONV=1      no code page converter can be opened (EINVAL)
//   VELKARO_FAIL_THREAD=1     no thread can be started (EAGAIN)
//   VELKARO_END_READ_AT=N     reads of chessfen.txt end at byte N, as if it did
//   VELKARO_CHANGE_LIST=how   another program changes chessfen.txt while it is
//                             read: after the first read, it halves it (shrink),
//                             adds a line to it (grow), writes other bytes over
//                             it (rewrite), or empties it and writes those
//                             (regrow); once its end was read, it adds a line
//                             (grow-at-end)
#include <dlfcn.h>
#include <fcntl.h>
#include <iconv.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

enum Kind : unsigned char { kOther, kList, kSet, kTemporary };

constexpr int kMaxFd = 4096;
Kind kinds[kMaxFd];
unsigned long long done[kMaxFd];
char list_path[4096];
std::atomic<bool> list_changed{false};

// The list's bytes with every 4 made a 5: another version of the same size.
void WriteOtherVersion(const char* mode) {
  FILE* in = std::fopen(list_path, "rb");
  if (in == nullptr) {
    return;
  }
  static char bytes[1 << 24];
  const std::size_t size = std::fread(bytes, 1, sizeof bytes, in);
  std::fclose(in);
  for (std::size_t i = 0; i < size; ++i) {
    bytes[i] = bytes[i] == '4' ? '5' : bytes[i];
  }
  if (FILE* out = std::fopen(list_path, mode)) {
    std::fwrite(bytes, 1, size, out);
    std::fclose(out);
  }
}

// What another program does to the list while it is read, once.
void ChangeList(const char* how) {
  struct stat status {};
  if (::stat(list_path, &status) != 0) {
    return;
  }
  if (std::strcmp(how, "shrink") == 0) {
    ::truncate(list_path, status.st_size / 2);
  } else if (std::strcmp(how, "rewrite") == 0) {
    WriteOtherVersion("r+b");
  } else if (std::strcmp(how, "regrow") == 0) {
    WriteOtherVersion("wb");
  } else if (FILE* file = std::fopen(list_path, "ab")) {
    std::fputs("added\t44\r\n", file);
    std::fclose(file);
  }
}

bool EndsWith(const char* text, const char* end) {
  const std::size_t a = std::strlen(text);
  const std::size_t b = std::strlen(end);
  return a >= b && std::strcmp(text + a - b, end) == 0;
}

Kind KindOf(int fd) {
  return fd >= 0 && fd < kMaxFd ? kinds[fd] : kOther;
}

// The byte at which calls on a file of this kind fail, or -1.
long long FailAt(const char* variable) {
  const char* value = std::getenv(variable);
  return value != nullptr ? std::atoll(value) : -1;
}

template <typename Function>
Function Next(const char* name) {
  return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

// Cuts a transfer short at the failing byte, or fails it there.
ssize_t Transfer(int fd, std::size_t count, long long fail_at, int error,
                 ssize_t (*call)(int, std::size_t, void*), void* context) {
  if (fail_at >= 0) {
    const auto at = static_cast<unsigned long long>(fail_at);
    if (done[fd] >= at) {
      errno = error;
      return -1;
    }
    if (count > at - done[fd]) {
      count = static_cast<std::size_t>(at - done[fd]);
    }
  }
  const ssize_t n = call(fd, count, context);
  if (n > 0) {
    done[fd] += static_cast<unsigned long long>(n);
  }
  return n;
}

}  // namespace

extern "C" {

int open(const char* path, int flags, ...) {
  if (EndsWith(path, "chessfen.txt")) {
    std::snprintf(list_path, sizeof list_path, "%s", path);
    list_changed.store(false);
  }
  static const auto next = Next<int (*)(const char*, int, ...)>("open");
  mode_t mode = 0;
  if ((flags & O_CREAT) != 0) {
    va_list arguments;
    va_start(arguments, flags);
    mode = static_cast<mode_t>(va_arg(arguments, int));
    va_end(arguments);
  }
  const int fd = next(path, flags, mode);
  if (fd >= 0 && fd < kMaxFd) {
    kinds[fd] = EndsWith(path, "chessfen.txt") ? kList
                : EndsWith(path, "VIRLA.EPD")  ? kSet
                : EndsWith(path, ".tmp")       ? kTemporary
                                               : kOther;
    done[fd] = 0;
  }
  return fd;
}

// Positioned reads of the list, from the threads that read it at once: the
// failing byte and the end are places in the file, not counts of bytes read.
ssize_t pread(int fd, void* buffer, std::size_t count, off_t offset) {
  static const auto next = Next<ssize_t (*)(int, void*, std::size_t, off_t)>("pread");
  if (KindOf(fd) == kSet && std::getenv("VELKARO_FAIL_PREAD") != nullptr) {
    errno = EIO;
    return -1;
  }
  if (KindOf(fd) != kList) {
    return next(fd, buffer, count, offset);
  }
  const auto at = static_cast<unsigned long long>(offset);
  for (const bool fails : {false, true}) {
    const long long place = FailAt(fails ? "VELKARO_FAIL_READ_AT" : "VELKARO_END_READ_AT");
    if (place < 0) {
      continue;
    }
    const auto until = static_cast<unsigned long long>(place);
    if (at >= until) {
      errno = fails ? EIO : errno;
      return fails ? -1 : 0;
    }
    count = static_cast<std::size_t>(std::min<unsigned long long>(count, until - at));
  }
  const ssize_t read = next(fd, buffer, count, offset);
  const char* how = std::getenv("VELKARO_CHANGE_LIST");
  if (how != nullptr && read > 0) {
    struct stat status {};
    const bool at_end =
        ::fstat(fd, &status) == 0 && at + static_cast<unsigned long long>(read) >=
                                         static_cast<unsigned long long>(status.st_size);
    if ((std::strcmp(how, "grow-at-end") != 0 || at_end) && !list_changed.exchange(true)) {
      ChangeList(how);
    }
  }
  return read;
}

ssize_t pread64(int fd, void* buffer, std::size_t count, off_t offset) {
  return pread(fd, buffer, count, offset);
}

ssize_t write(int fd, const void* buffer, std::size_t count) {
  static const auto next = Next<ssize_t (*)(int, const void*, std::size_t)>("write");
  if (KindOf(fd) != kTemporary) {
    return next(fd, buffer, count);
  }
  return Transfer(
      fd, count, FailAt("VELKARO_FAIL_WRITE_AT"), ENOSPC,
      [](int f, std::size_t n, void* b) { return next(f, b, n); }, const_cast<void*>(buffer));
}

int fsync(int fd) {
  static const auto next = Next<int (*)(int)>("fsync");
  if (KindOf(fd) == kTemporary && std::getenv("VELKARO_FAIL_FSYNC") != nullptr) {
    errno = EIO;
    return -1;
  }
  return next(fd);
}

int close(int fd) {
  static const auto next = Next<int (*)(int)>("close");
  const Kind kind = KindOf(fd);
  if (fd >= 0 && fd < kMaxFd) {
    kinds[fd] = kOther;
  }
  const int result = next(fd);
  if (result == 0 && kind == kTemporary && std::getenv("VELKARO_FAIL_CLOSE") != nullptr) {
    errno = EIO;
    return -1;
  }
  return result;
}

int rename(const char* from, const char* to) {
  static const auto next = Next<int (*)(const char*, const char*)>("rename");
  if (EndsWith(to, "VIRLA.EPD") && std::getenv("VELKARO_FAIL_RENAME") != nullptr) {
    errno = EIO;
    return -1;
  }
  return next(from, to);
}

iconv_t iconv_open(const char* to, const char* from) {
  static const auto next = Next<iconv_t (*)(const char*, const char*)>("iconv_open");
  if (std::getenv("VELKARO_FAIL_ICONV") != nullptr) {
    errno = EINVAL;
    return reinterpret_cast<iconv_t>(-1);
  }
  return next(to, from);
}

int pthread_create(pthread_t* thread, const pthread_attr_t* attributes, void* (*start)(void*),
                   void* argument) {
  static const auto next =
      Next<int (*)(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*)>("pthread_create");
  if (std::getenv("VELKARO_FAIL_THREAD") != nullptr) {
    return EAGAIN;
  }
  return next(thread, attributes, start, argument);
}

}  // extern "C"
