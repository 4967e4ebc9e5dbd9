#include "runtime/read_ahead.h"

#include <utility>

#include "runtime/files.h"

namespace velkaro::runtime {

namespace {

// A sleep and the wake-up after it take tens of microseconds in a virtual
// machine, about as long as scanning a block: each side waits for the other
// without sleeping first, giving its processor away meanwhile, for about as
// long as the other's work on a block takes. Counted, not timed: a clock here
// would bring the C runtime's clock functions, and their imports, along.
template <typename Ready>
void WaitAwake(Ready ready) {
  constexpr int kTurns = 1000;  // a few hundred microseconds
  for (int turn = 0; turn < kTurns && !ready(); ++turn) {
    std::this_thread::yield();
  }
}

}  // namespace

ReadAhead::ReadAhead(InputFile& file, Inspect inspect)
    : file_(file), inspect_(std::move(inspect)), worker_([this] { Work(); }) {}

ReadAhead::~ReadAhead() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  changed_.notify_all();
  worker_.join();
}

void ReadAhead::Start(std::span<char> into) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    into_ = into;
    asked_ = true;
    done_ = false;
  }
  changed_.notify_all();
}

std::size_t ReadAhead::Wait(bool& at_end) {
  WaitAwake([&] { return done_.load(); });
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [&] { return done_.load(); });
  done_ = false;
  if (failure_) {
    std::rethrow_exception(std::exchange(failure_, nullptr));
  }
  at_end = at_end_;
  return read_;
}

void ReadAhead::Work() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    // Stops only between reads: a read under way is finished first.
    lock.unlock();
    WaitAwake([&] { return asked_ || stop_; });
    lock.lock();
    changed_.wait(lock, [&] { return asked_ || stop_; });
    if (!asked_) {
      return;
    }
    asked_ = false;
    const std::span<char> into = into_;
    lock.unlock();
    std::size_t read = 0;
    bool at_end = false;
    std::exception_ptr failure;
    try {
      while (read < into.size()) {
        const std::size_t got = file_.Read(into.subspan(read));
        if (got == 0) {
          at_end = true;
          break;
        }
        read += got;
      }
      inspect_(into.first(read));
    } catch (...) {
      failure = std::current_exception();
    }
    lock.lock();
    read_ = read;
    at_end_ = at_end;
    failure_ = failure;
    done_ = true;
    changed_.notify_all();
  }
}

}  // namespace velkaro::runtime
