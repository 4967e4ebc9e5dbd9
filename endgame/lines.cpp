#include "endgame/lines.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <span>
#include <system_error>

#include "endgame/messages.h"
#include "endgame/text_encoding.h"
#include "runtime/failure.h"
#include "runtime/files.h"
#include "runtime/read_ahead.h"

namespace velkaro::endgame {

namespace {

// Length of the prefix of data[0, size) that ends with a whole line. A CR that
// ends the data may be the first half of CR LF, so it counts only at the end of
// the file.
std::size_t WholeLinesLength(const char* data, std::size_t size, bool at_end) {
  if (at_end) {
    return size;
  }
  const std::size_t limit = size > 0 && data[size - 1] == '\r' ? size - 1 : size;
  const std::size_t last = FindLastLineBreak(std::string_view(data, limit));
  return last == std::string_view::npos ? 0 : last + 1;
}

// Blocks are read to places aligned to this. Read to wherever the end of the
// line before them had set, blocks took up to four times as long to copy from
// the file cache (measured on an AMD processor, where Linux copies with REP
// MOVSB).
constexpr std::size_t kReadAlignment = 64;

// The first aligned place in `storage`.
char* AlignedIn(char* storage) {
  const auto address = reinterpret_cast<std::uintptr_t>(storage);
  return storage + (kReadAlignment - address % kReadAlignment) % kReadAlignment;
}

// Where `count` bytes start, after an aligned place, so that they end at one.
std::size_t LeadBefore(std::size_t count) {
  return (kReadAlignment - count % kReadAlignment) % kReadAlignment;
}

// Where a long line's level field stands while the line is read through.
class LevelFieldReader {
 public:
  explicit LevelFieldReader(std::size_t longest) : longest_(longest) {}

  // Reads `bytes` of the line; returns where the line ends in them, or bytes.size().
  std::size_t Read(std::string_view bytes) {
    std::size_t at = 0;
    while (at < bytes.size()) {
      const std::string_view rest = bytes.substr(at);
      const std::size_t stop = field_ == 2 ? FindLineBreak(rest) : FindTabOrLineBreak(rest);
      if (field_ == 1) {
        Keep(rest.substr(0, stop));
      }
      at += stop;
      if (at == bytes.size() || bytes[at] != '\t') {
        return at;
      }
      ++field_;
      ++at;
    }
    return at;
  }

  std::optional<std::string> LevelField() {
    if (field_ == 0 || too_long_) {
      return std::nullopt;
    }
    return std::move(kept_);
  }

 private:
  void Keep(std::string_view bytes) {
    if (too_long_ || bytes.size() > longest_ - kept_.size()) {
      too_long_ = true;
      kept_.clear();
      return;
    }
    kept_ += bytes;
  }

  std::size_t longest_;
  int field_ = 0;  // 0, 1, then 2 for every later one
  std::string kept_;
  bool too_long_ = false;
};

}  // namespace

// A block holds at least a CR and the byte after it, to tell CR LF from a lone
// CR. Its storage has room for an alignment and a lead besides.
LineBlocks::LineBlocks(runtime::InputFile& file, std::size_t block_size)
    : file_(file), capacity_(std::max<std::size_t>(block_size, 2)) {
  buffer_ = std::make_unique_for_overwrite<char[]>(capacity_ + 2 * kReadAlignment);
  if (capacity_ >= kBlockSize) {
    spare_ = std::make_unique_for_overwrite<char[]>(capacity_ + 2 * kReadAlignment);
    try {
      ahead_ = std::make_unique<runtime::ReadAhead>(
          file_, [this](std::span<const char> read) { NoteNul(read); });
    } catch (const std::system_error&) {
      // No thread to read on (the system is out of them): this one reads.
    }
  }
}

char* LineBlocks::Block() const {
  return AlignedIn(buffer_.get()) + lead_;
}

LineBlocks::~LineBlocks() = default;

void LineBlocks::StartReadAhead() {
  const std::size_t left = filled_ - handed_out_;
  if (ahead_ && !at_end_ && left < capacity_) {
    // What is left of this block goes before the read, which starts aligned.
    spare_lead_ = LeadBefore(left);
    ahead_->Start(std::span<char>(AlignedIn(spare_.get()) + spare_lead_ + left, capacity_ - left));
    reading_ahead_ = true;
  }
}

void LineBlocks::TakeReadAhead() {
  if (!reading_ahead_) {
    return;
  }
  reading_ahead_ = false;
  bool at_end = false;
  const std::size_t read = ahead_->Wait(at_end);
  // What is left of this block goes before what was read behind it.
  const std::size_t left = filled_ - handed_out_;
  std::memcpy(AlignedIn(spare_.get()) + spare_lead_, Block() + handed_out_, left);
  std::swap(buffer_, spare_);
  lead_ = spare_lead_;
  buffer_offset_ += handed_out_;
  handed_out_ = 0;
  filled_ = left + read;
  at_end_ = at_end;
}

void LineBlocks::NoteNul(std::span<const char> read) {
  // Once one is seen, nothing more is to be learnt.
  if (!held_nul_ && noting_nul_.load(std::memory_order_relaxed)) {
    held_nul_ = HoldsNul(std::string_view(read.data(), read.size()));
  }
}

void LineBlocks::Fill() {
  while (!at_end_ && filled_ < capacity_) {
    const std::size_t read = file_.Read(std::span<char>(Block() + filled_, capacity_ - filled_));
    NoteNul(std::span<const char>(Block() + filled_, read));
    filled_ += read;
    at_end_ = read == 0;
  }
}

void LineBlocks::Drop(std::size_t count) {
  if (count == 0) {
    return;  // not even a copy onto itself, which some C libraries make
  }
  // The rest is moved so that it ends aligned, where the next read goes.
  const std::size_t left = filled_ - count;
  const std::size_t lead = LeadBefore(left);
  std::memmove(AlignedIn(buffer_.get()) + lead, Block() + count, left);
  lead_ = lead;
  filled_ = left;
  buffer_offset_ += count;
}

void LineBlocks::SkipByteOrderMark() {
  // Nothing is read yet: the mark's bytes are the next ones.
  const std::size_t mark = CheckEncoding(file_, kListEncodingSample);
  char discarded[3];
  while (buffer_offset_ < mark) {
    const std::size_t read =
        file_.Read(std::span<char>(discarded, mark - static_cast<std::size_t>(buffer_offset_)));
    if (read == 0) {
      break;
    }
    buffer_offset_ += read;
  }
}

std::string_view LineBlocks::Next() {
  if (!started_) {
    started_ = true;
    SkipByteOrderMark();
  }
  TakeReadAhead();
  Drop(handed_out_);
  handed_out_ = 0;
  Fill();
  const std::size_t whole = WholeLinesLength(Block(), filled_, at_end_);
  at_long_line_ = whole == 0 && !at_end_;
  handed_out_ = whole;
  StartReadAhead();
  return {Block(), whole};
}

LongLine LineBlocks::PassLongLine(std::size_t longest_field) {
  TakeReadAhead();
  LongLine line;
  line.offset = buffer_offset_;
  LevelFieldReader reader(longest_field);
  std::size_t end = reader.Read(std::string_view(Block(), filled_));
  for (;;) {
    if (end < filled_ && (Block()[end] == '\n' || end + 1 < filled_ || at_end_)) {
      break;  // a terminator, whole: LF, CR with what follows it, or CR at the end
    }
    if (end == filled_ && at_end_) {
      break;  // the file's last line, without a terminator
    }
    // Read on past what is scanned, keeping a CR that may start CR LF.
    Drop(end);
    Fill();
    end = reader.Read(std::string_view(Block(), filled_));
  }
  line.length = buffer_offset_ + end - line.offset;
  std::size_t terminator = 0;
  if (end < filled_) {
    const char* const block = Block();
    terminator = block[end] == '\r' && end + 1 < filled_ && block[end + 1] == '\n' ? 2 : 1;
  }
  handed_out_ = end + terminator;
  at_long_line_ = false;
  line.level_field = reader.LevelField();
  return line;
}

void LineBlocks::ReadLongLine(const LongLine& line,
                              const std::function<void(std::string_view)>& piece) {
  TakeReadAhead();  // the file is read from one place at a time
  // Pieces larger than the writer's buffer go straight to the file, copied once.
  constexpr std::size_t kPiece = std::size_t{1} << 20;
  const auto storage = std::make_unique_for_overwrite<char[]>(kPiece + kReadAlignment);
  char* const bytes = AlignedIn(storage.get());
  for (std::uint64_t done = 0; done < line.length;) {
    const auto wanted =
        static_cast<std::size_t>(std::min<std::uint64_t>(kPiece, line.length - done));
    const std::size_t read = file_.ReadAt(line.offset + done, std::span<char>(bytes, wanted));
    if (read == 0) {
      throw runtime::Failure(FileChangedMessage(file_.path()));
    }
    piece(std::string_view(bytes, read));
    done += read;
  }
}

}  // namespace velkaro::endgame
