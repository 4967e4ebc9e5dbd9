#include "endgame/line_writer.h"

#include <cstring>

#include "runtime/files.h"

namespace velkaro::endgame {

LineWriter::LineWriter(runtime::ReplacementFile& file, std::size_t buffer_size)
    : file_(file),
      buffer_(std::make_unique_for_overwrite<char[]>(buffer_size)),
      capacity_(buffer_size) {}

void LineWriter::WriteLine(std::string_view line) {
  Append(line);
  EndLine();
}

void LineWriter::Append(std::string_view bytes) {
  if (bytes.size() > capacity_ - filled_) {
    Flush();
    if (bytes.size() > capacity_) {
      file_.Write(bytes);
      return;
    }
  }
  std::memcpy(buffer_.get() + filled_, bytes.data(), bytes.size());
  filled_ += bytes.size();
}

void LineWriter::Flush() {
  file_.Write(std::string_view(buffer_.get(), filled_));
  filled_ = 0;
}

}  // namespace velkaro::endgame
