#include "tools/png_file.h"

#include <array>
#include <cstdint>
#include <fstream>
#include <string>

namespace velkaro::tools {

namespace {

std::uint32_t Crc32(const std::string& bytes) {
  static const auto table = [] {
    std::array<std::uint32_t, 256> entries{};
    for (std::uint32_t n = 0; n < 256; ++n) {
      std::uint32_t c = n;
      for (int k = 0; k < 8; ++k) {
        c = (c & 1) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      }
      entries[n] = c;
    }
    return entries;
  }();
  std::uint32_t crc = 0xFFFFFFFFu;
  for (const char byte : bytes) {
    crc = table[(crc ^ static_cast<unsigned char>(byte)) & 0xFF] ^ (crc >> 8);
  }
  return crc ^ 0xFFFFFFFFu;
}

void PutBigEndian(std::string& out, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) {
    out += static_cast<char>((value >> shift) & 0xFF);
  }
}

void PutChunk(std::string& out, const char* type, const std::string& data) {
  PutBigEndian(out, static_cast<std::uint32_t>(data.size()));
  const std::string typed = type + data;
  out += typed;
  PutBigEndian(out, Crc32(typed));
}

}  // namespace

void WritePng(const std::filesystem::path& file, int width, int height, const unsigned char* bgrx) {
  std::string raw;
  for (int y = 0; y < height; ++y) {
    raw += '\0';  // no filter
    for (int x = 0; x < width; ++x) {
      const unsigned char* pixel = bgrx + (static_cast<std::size_t>(y) * width + x) * 4;
      raw += static_cast<char>(pixel[2]);
      raw += static_cast<char>(pixel[1]);
      raw += static_cast<char>(pixel[0]);
    }
  }
  std::string deflated = "\x78\x01";
  std::uint32_t a = 1, b = 0;
  for (const char byte : raw) {
    a = (a + static_cast<unsigned char>(byte)) % 65521;
    b = (b + a) % 65521;
  }
  for (std::size_t at = 0; at < raw.size() || at == 0; at += 65535) {
    const std::size_t length = std::min<std::size_t>(65535, raw.size() - at);
    deflated += static_cast<char>(at + length >= raw.size() ? 1 : 0);
    deflated += static_cast<char>(length & 0xFF);
    deflated += static_cast<char>(length >> 8);
    deflated += static_cast<char>(~length & 0xFF);
    deflated += static_cast<char>((~length >> 8) & 0xFF);
    deflated.append(raw, at, length);
    if (raw.empty()) {
      break;
    }
  }
  PutBigEndian(deflated, (b << 16) | a);

  std::string header;
  PutBigEndian(header, static_cast<std::uint32_t>(width));
  PutBigEndian(header, static_cast<std::uint32_t>(height));
  header += std::string("\x08\x02\x00\x00\x00", 5);  // 8-bit RGB
  std::string png = "\x89PNG\r\n\x1a\n";
  PutChunk(png, "IHDR", header);
  PutChunk(png, "IDAT", deflated);
  PutChunk(png, "IEND", "");
  std::ofstream(file, std::ios::binary).write(png.data(), static_cast<std::streamsize>(png.size()));
}

}  // namespace velkaro::tools
