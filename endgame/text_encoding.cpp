#include "endgame/text_encoding.h"

#include <span>
#include <string>

#include "endgame/messages.h"
#include "runtime/failure.h"
#include "runtime/files.h"

namespace velkaro::endgame {

namespace {

// Notepad's "Unicode" and "Unicode big endian" start with these; the UTF-8 mark
// is what Notepad puts before UTF-8 text.
constexpr std::string_view kUtf16Little = "\xFF\xFE";
constexpr std::string_view kUtf16Big = "\xFE\xFF";
constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

// Whether `unit` stands in `bytes` at an even offset.
bool AtEvenOffset(std::string_view bytes, std::string_view unit) {
  for (std::size_t at = bytes.find(unit); at != std::string_view::npos;
       at = bytes.find(unit, at + 1)) {
    if (at % 2 == 0) {
      return true;
    }
  }
  return false;
}

// Up to `size` bytes of the file from `offset`.
std::string ReadSample(runtime::InputFile& file, std::uint64_t offset, std::size_t size) {
  std::string bytes(size, '\0');
  std::size_t filled = 0;
  while (filled < size) {
    const std::size_t read =
        file.ReadAt(offset + filled, std::span<char>(bytes.data() + filled, size - filled));
    if (read == 0) {
      break;
    }
    filled += read;
  }
  bytes.resize(filled);
  return bytes;
}

// Whether a file starts with a byte order mark of UTF-16.
bool StartsWithUtf16Mark(std::string_view start) {
  return start.starts_with(kUtf16Little) || start.starts_with(kUtf16Big);
}

}  // namespace

bool ProveUtf16(std::string_view bytes) {
  using namespace std::string_view_literals;
  return AtEvenOffset(bytes, "\r\0\n\0"sv) || AtEvenOffset(bytes, "\0\r\0\n"sv);
}

std::size_t CheckEncoding(runtime::InputFile& file, std::size_t sample) {
  const std::string start = ReadSample(file, 0, sample);
  if (StartsWithUtf16Mark(start) || ProveUtf16(start)) {
    throw runtime::Failure(Utf16FileMessage(file.path()));
  }
  return start.starts_with(kUtf8Mark) ? kUtf8Mark.size() : 0;
}

void CheckEncodingAt(runtime::InputFile& file, std::uint64_t offset, std::size_t sample) {
  if (ProveUtf16(ReadSample(file, offset - offset % 2, sample))) {
    throw runtime::Failure(Utf16FileMessage(file.path()));
  }
}

}  // namespace velkaro::endgame
