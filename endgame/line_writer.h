#pragma once

#include <cstddef>
#include <memory>
#include <string_view>

namespace velkaro::runtime {
class ReplacementFile;
}

namespace velkaro::endgame {

// Writes lines to a file, each followed by CR LF, through a large buffer.
class LineWriter {
 public:
  static constexpr std::size_t kBufferSize = std::size_t{1} << 18;

  explicit LineWriter(runtime::ReplacementFile& file, std::size_t buffer_size = kBufferSize);

  void WriteLine(std::string_view line);
  // A line handed over in parts: its bytes, then its end.
  void WritePart(std::string_view bytes) { Append(bytes); }
  void EndLine() { Append("\r\n"); }
  void Flush();

 private:
  void Append(std::string_view bytes);

  runtime::ReplacementFile& file_;
  std::unique_ptr<char[]> buffer_;
  std::size_t capacity_;
  std::size_t filled_ = 0;
};

}  // namespace velkaro::endgame
