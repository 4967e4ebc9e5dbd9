#include "endgame/lines.h"

#include "app/runtime/files.h"

namespace velkaro::endgame {

namespace {

// Length of the prefix of data[0, size) that ends with a whole line; the first
// `unbroken` bytes are known to hold no line break. A CR that ends the data may
// be the first half of CR LF, so it counts only at the end of the file.
std::size_t WholeLinesLength(const char* data, std::size_t size, std::size_t unbroken,
                             bool at_end) {
  if (at_end) {
    return size;
  }
  std::size_t i = size;
  if (i > unbroken && data[i - 1] == '\r') {
    --i;
  }
  while (i > unbroken && !IsLineBreak(data[i - 1])) {
    --i;
  }
  return i > unbroken ? i : 0;
}

}  // namespace

LineBlocks::LineBlocks(runtime::InputFile& file, std::size_t block_size)
    : file_(file),
      buffer_(std::make_unique_for_overwrite<char[]>(block_size)),
      capacity_(block_size) {}

std::string_view LineBlocks::Next() {
  // Keep the unfinished line that followed the last run.
  std::memmove(buffer_.get(), buffer_.get() + handed_out_, filled_ - handed_out_);
  filled_ -= handed_out_;
  handed_out_ = 0;
  // While one line fills the buffer, look for its end only in what is new.
  std::size_t unbroken = 0;
  for (;;) {
    if (!at_end_ && filled_ < capacity_) {
      const std::size_t read =
          file_.Read(std::span<char>(buffer_.get() + filled_, capacity_ - filled_));
      filled_ += read;
      at_end_ = read == 0;
    }
    const std::size_t whole = WholeLinesLength(buffer_.get(), filled_, unbroken, at_end_);
    if (whole > 0 || at_end_) {
      handed_out_ = whole;
      return {buffer_.get(), whole};
    }
    unbroken = filled_ > 0 && buffer_[filled_ - 1] == '\r' ? filled_ - 1 : filled_;
    if (filled_ == capacity_) {
      // One line fills the block: make room for the rest of it.
      auto larger = std::make_unique_for_overwrite<char[]>(capacity_ * 2);
      std::memcpy(larger.get(), buffer_.get(), filled_);
      buffer_ = std::move(larger);
      capacity_ *= 2;
    }
  }
}

}  // namespace velkaro::endgame
