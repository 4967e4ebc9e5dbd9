#include "endgame/line_reading.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "endgame/byte_search.h"
#include "endgame/crossing_line.h"
#include "endgame/line_marks.h"
#include "endgame/lines.h"
#include "endgame/messages.h"
#include "endgame/text_encoding.h"
#include "runtime/failure.h"
#include "runtime/files.h"

namespace velkaro::endgame {

namespace {

// Blocks are read to places aligned to this: read to any other, they took up
// to four times as long to copy from the file cache (measured on an AMD
// processor, where Linux copies with REP MOVSB).
constexpr std::size_t kReadAlignment = 64;

// Reads bytes.size() bytes of `file` from `offset` on `lane`: fewer there
// mean the file ends sooner than it did at open.
void ReadWhole(runtime::InputFile& file, unsigned lane, std::uint64_t offset,
               std::span<char> bytes) {
  for (std::size_t read = 0; read < bytes.size();) {
    const std::size_t got = file.ReadOnLane(lane, offset + read, bytes.subspan(read));
    if (got == 0) {
      throw runtime::Failure(FileChangedMessage(file.path()));
    }
    read += got;
  }
}

// Blocks read and chosen among while the ones before them are handed out:
// two for each reading thread, so that neither waits while the lines of the
// block before are handed out.
constexpr std::size_t kSlots = 2 * runtime::InputFile::kLanes;

// A block's bytes, and what the reading thread found in them.
struct Slot {
  explicit Slot(std::size_t block_size)
      : storage(std::make_unique_for_overwrite<char[]>(block_size + kReadAlignment)),
        marks(block_size + 1) {}

  bool HasBreak() const { return head.bytes.size() < size; }

  char* Bytes() const {
    const auto address = reinterpret_cast<std::uintptr_t>(storage.get());
    return storage.get() + (kReadAlignment - address % kReadAlignment) % kReadAlignment;
  }

  std::unique_ptr<char[]> storage;
  std::size_t size = 0;
  // The end of the line that started in the block before, and its TABs; all
  // of the block where it holds no line break. Not for the first block.
  LinePiece head;
  // Where the whole lines that start in the block end, and the line that goes
  // on into the next starts.
  std::size_t lines_end = 0;
  LineMarks marks;
  bool held_nul = false;
  std::exception_ptr failure;
  // The block whose findings are in, once they are.
  std::uint64_t ready = UINT64_MAX;
};

// One reading of a file: the blocks, the threads that read them, and what the
// caller's thread carries from one block to the next.
class Reading {
 public:
  Reading(runtime::InputFile& file, const LineChoice& choice, LineSink& sink,
          std::size_t block_size, std::uint64_t start)
      : file_(file),
        choice_(choice),
        sink_(sink),
        block_size_(block_size),
        start_(start),
        size_(std::max(file.SizeAtOpen(), start)),
        blocks_((size_ - start_ + block_size - 1) / block_size),
        crossing_(choice.LongestField()) {
    for (std::size_t each = 0; each < kSlots; ++each) {
      slots_.push_back(std::make_unique<Slot>(block_size));
    }
  }

  ~Reading() {
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      stopping_ = true;
    }
    changed_.notify_all();
    for (std::thread& reader : readers_) {
      reader.join();
    }
  }

  ListFacts Run() {
    // This thread reads too, on lane 0: two threads for two processors, and
    // none woken for each block only to hand it out.
    for (unsigned lane = 1; lane < runtime::InputFile::kLanes && blocks_ > 1; ++lane) {
      try {
        readers_.emplace_back([this, lane] { ReadBlocks(lane); });
      } catch (const std::system_error&) {
        break;  // no thread to read on (the system is out of them): fewer read
      }
    }
    while (HandOutReady() < blocks_) {
      const std::uint64_t block = next_block_.fetch_add(1);
      if (block < blocks_) {
        // Its slot is free once the block read into it before is handed out.
        while (HandOutReady() + kSlots <= block) {
          WaitForReady();
        }
        Read(*slots_[block % kSlots], block, 0);
      } else {
        WaitForReady();  // the last blocks are being read on other lanes
      }
    }
    if (crossing_open_) {
      HandOutCrossing();  // the file's last line, without a terminator
    }
    file_.LookPastEnd();
    return {held_nul_};
  }

 private:
  // Hands out the blocks read, in order, as far as they are; returns how many
  // blocks are handed out.
  std::uint64_t HandOutReady() {
    for (;;) {
      Slot& slot = *slots_[handed_out_ % kSlots];
      {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (handed_out_ == blocks_ || !NextIsRead()) {
          return handed_out_;
        }
      }
      if (slot.failure) {
        std::rethrow_exception(slot.failure);
      }
      HandOut(slot, handed_out_);
      {
        const std::lock_guard<std::mutex> lock(mutex_);
        ++handed_out_;
      }
      changed_.notify_all();
    }
  }

  // Waits until the next block to hand out is read.
  void WaitForReady() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return NextIsRead(); });
  }

  // Whether the next block to hand out is read; under the mutex.
  bool NextIsRead() const { return slots_[handed_out_ % kSlots]->ready == handed_out_; }

  // Where the block starts in the file.
  std::uint64_t OffsetOf(std::uint64_t block) const { return start_ + block * block_size_; }

  // A reading thread: takes the next block not taken, waits for its slot to
  // be handed out, then reads it.
  void ReadBlocks(unsigned lane) {
    for (;;) {
      const std::uint64_t block = next_block_.fetch_add(1);
      if (block >= blocks_) {
        return;
      }
      {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [&] { return stopping_ || handed_out_ + kSlots > block; });
        if (stopping_) {
          return;
        }
      }
      Read(*slots_[block % kSlots], block, lane);
    }
  }

  // Reads the block and chooses among its lines; what fails is the block's,
  // for the thread that hands it out.
  void Read(Slot& slot, std::uint64_t block, unsigned lane) {
    try {
      Fill(slot, block, lane);
    } catch (...) {
      slot.failure = std::current_exception();
    }
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      slot.ready = block;
    }
    changed_.notify_all();
  }

  // Reads the block and finds its lines: the end of the one it goes on with,
  // the whole ones, chosen among, and the start of the one that goes on.
  void Fill(Slot& slot, std::uint64_t block, unsigned lane) {
    const std::uint64_t offset = OffsetOf(block);
    slot.size = static_cast<std::size_t>(std::min<std::uint64_t>(block_size_, size_ - offset));
    char* const bytes = slot.Bytes();
    ReadWhole(file_, lane, offset, std::span<char>(bytes, slot.size));
    const std::string_view text(bytes, slot.size);
    slot.held_nul = noting_nul_.load(std::memory_order_relaxed) && HoldsNul(text);
    std::size_t lines_begin = 0;
    if (block > 0) {
      slot.head = PieceBeforeBreak(text);
      if (!slot.HasBreak()) {
        slot.lines_end = slot.size;
        return;
      }
      lines_begin = NextLineStart(text, slot.head.bytes.size());
    }
    if (block + 1 == blocks_) {
      slot.lines_end = slot.size;  // the last line needs no terminator
    } else {
      const std::size_t last = FindLastLineBreak(text.substr(lines_begin));
      slot.lines_end = last == std::string_view::npos ? lines_begin : lines_begin + last + 1;
    }
    if (slot.lines_end > lines_begin) {
      choice_.Choose(text.substr(lines_begin, slot.lines_end - lines_begin),
                     [&](std::string_view line) {
                       const auto start = static_cast<std::size_t>(line.data() - bytes);
                       slot.marks.Mark(start, start + line.size());
                     });
    }
  }

  // Hands out, in order, the line that ended in the block, its chosen whole
  // lines, and keeps the start of the line that goes on.
  void HandOut(Slot& slot, std::uint64_t block) {
    held_nul_ = held_nul_ || slot.held_nul;
    const std::string_view text(slot.Bytes(), slot.size);
    // An LF that starts a block after one that ended in CR is the rest of the
    // CR LF, no line of its own.
    const bool rest_of_cr_lf = after_cr_ && text.front() == '\n';
    after_cr_ = text.back() == '\r';
    if (block > 0 && !rest_of_cr_lf) {
      crossing_.Add(slot.head);
      if (slot.HasBreak()) {
        HandOutCrossing();
      }
    }
    if (block > 0 && !slot.HasBreak()) {
      return;  // all of it was the crossing line's
    }
    slot.marks.TakeEach([&](std::size_t start, std::size_t end) {
      BeginLine();
      sink_.Part(text.substr(start, end - start));
      sink_.End();
    });
    crossing_open_ = block + 1 < blocks_;
    if (crossing_open_) {
      const std::string_view rest = text.substr(slot.lines_end);
      crossing_.Begin(OffsetOf(block) + slot.lines_end);
      crossing_.Add(PieceBeforeBreak(rest));
    }
  }

  // Hands out the line that crossed blocks' ends, if it is chosen: from what
  // was kept of it, or read again from the file.
  void HandOutCrossing() {
    if (!choice_.Chooses(crossing_.LevelField())) {
      return;
    }
    BeginLine();
    if (const auto kept = crossing_.Bytes()) {
      sink_.Part(*kept);
    } else {
      ReadAgain(crossing_.offset(), crossing_.length());
    }
    sink_.End();
  }

  void BeginLine() {
    sink_.Begin();
    noting_nul_.store(false, std::memory_order_relaxed);  // a choice needs no backstop
  }

  void ReadAgain(std::uint64_t offset, std::uint64_t length) {
    constexpr std::size_t kPiece = std::size_t{1} << 16;
    if (!piece_) {
      piece_ = std::make_unique_for_overwrite<char[]>(kPiece);
    }
    for (std::uint64_t done = 0; done < length;) {
      const auto wanted = static_cast<std::size_t>(std::min<std::uint64_t>(kPiece, length - done));
      const std::size_t read = file_.ReadAt(offset + done, std::span<char>(piece_.get(), wanted));
      if (read == 0) {
        throw runtime::Failure(FileChangedMessage(file_.path()));
      }
      sink_.Part(std::string_view(piece_.get(), read));
      done += read;
    }
  }

  runtime::InputFile& file_;
  const LineChoice& choice_;
  LineSink& sink_;
  const std::size_t block_size_;
  const std::uint64_t start_;  // after a byte order mark
  const std::uint64_t size_;
  const std::uint64_t blocks_;
  std::vector<std::unique_ptr<Slot>> slots_;

  // Shared with the reading threads.
  std::atomic<std::uint64_t> next_block_{0};
  std::atomic<bool> noting_nul_{true};
  std::mutex mutex_;
  std::condition_variable changed_;
  std::uint64_t handed_out_ = 0;  // blocks; changed under the mutex by this thread
  bool stopping_ = false;         // under the mutex

  // This thread's alone.
  CrossingLine crossing_;
  bool crossing_open_ = false;
  bool after_cr_ = false;  // the block before ended in a CR
  bool held_nul_ = false;
  std::unique_ptr<char[]> piece_;
  std::vector<std::thread> readers_;  // joined before anything goes
};

}  // namespace

ListFacts ReadChosenLines(runtime::InputFile& file, const LineChoice& choice, LineSink& sink,
                          std::size_t block_size) {
  const std::size_t mark = CheckEncoding(file, kListEncodingSample);
  // The mark's bytes are read as the file's, for the count of what was read.
  char skipped[4];
  ReadWhole(file, 0, 0, std::span<char>(skipped, mark));
  Reading reading(file, choice, sink, std::max<std::size_t>(block_size, 1), mark);
  return reading.Run();
}

}  // namespace velkaro::endgame
