#pragma once

#include <filesystem>

namespace velkaro::tools {

// Writes 32-bit BGRX pixels, top row first, as an RGB PNG file (uncompressed
// deflate: screenshots are small).
void WritePng(const std::filesystem::path& file, int width, int height, const unsigned char* bgrx);

}  // namespace velkaro::tools
