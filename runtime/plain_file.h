#pragma once

#include <cstdint>

namespace velkaro::runtime {

// Whether an entry with these Windows file attributes and reparse tag is a
// plain file, which the clean-up may remove: no folder, and no reparse point
// but the placeholders of files kept in the cloud (OneDrive and other sync
// engines: IO_REPARSE_TAG_CLOUD and its sixteen variants), which are files.
// Symbolic links, junctions and every other tag are not.
constexpr bool IsPlainFile(std::uint32_t attributes, std::uint32_t reparse_tag) {
  constexpr std::uint32_t kDirectory = 0x10;       // FILE_ATTRIBUTE_DIRECTORY
  constexpr std::uint32_t kReparsePoint = 0x400;   // FILE_ATTRIBUTE_REPARSE_POINT
  constexpr std::uint32_t kCloud = 0x9000001A;     // IO_REPARSE_TAG_CLOUD
  constexpr std::uint32_t kCloudVariant = 0xF000;  // IO_REPARSE_TAG_CLOUD_MASK
  if ((attributes & kDirectory) != 0) {
    return false;
  }
  return (attributes & kReparsePoint) == 0 || (reparse_tag & ~kCloudVariant) == kCloud;
}

}  // namespace velkaro::runtime
