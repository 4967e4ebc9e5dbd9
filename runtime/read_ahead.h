#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <exception>
#include <functional>
#include <mutex>
#include <span>
#include <thread>

namespace velkaro::runtime {

class InputFile;

// Reads a file's next bytes on a thread of its own while the caller works on
// the bytes before them, so that reading and scanning a large file take the
// time of the slower, not of both. One read is under way at a time, and the
// caller does not touch the file, nor the bytes being read into, meanwhile.
class ReadAhead {
 public:
  // Each read's bytes are handed to `inspect` on the reading thread, while
  // they are still in its processor's cache; what it throws is the read's.
  using Inspect = std::function<void(std::span<const char>)>;
  ReadAhead(InputFile& file, Inspect inspect);
  // Waits for a read under way; its failure, if any, is dropped.
  ~ReadAhead();
  ReadAhead(const ReadAhead&) = delete;
  ReadAhead& operator=(const ReadAhead&) = delete;

  // Starts reading into `into` until it is full or the file ends.
  void Start(std::span<char> into);
  // Waits for the read started last; returns how many bytes it read, sets
  // `at_end` when the file ended, and throws what the read threw.
  std::size_t Wait(bool& at_end);

 private:
  void Work();

  InputFile& file_;
  Inspect inspect_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::span<char> into_;
  // Changed under the mutex; read without it too, by a side waiting briefly
  // before it sleeps.
  std::atomic<bool> asked_{false};
  std::atomic<bool> done_{false};
  std::atomic<bool> stop_{false};
  std::size_t read_ = 0;
  bool at_end_ = false;
  std::exception_ptr failure_;
  std::thread worker_;  // last: it starts working at once
};

}  // namespace velkaro::runtime
