#pragma once

#include <cstdint>

namespace velkaro::runtime {

// What the system says of an open file that changes whenever its bytes do:
// its size, and its last-write and change times (in the system's units; only
// compared). A program may set the last-write time back, but not the change
// time, and either changes with a write of the same size.
struct FileState {
  std::uint64_t size = 0;
  std::int64_t write_time = 0;
  std::int64_t change_time = 0;

  bool operator==(const FileState&) const = default;
};

// Whether a file read through from its start was changed meanwhile: read
// before its end as it was at open, grown (a read found bytes past that end,
// as a link to an endless device gives), or stated otherwise at the end.
bool ChangedWhileRead(const FileState& at_open, const FileState& at_end, std::uint64_t bytes_read,
                      bool read_past_end);

}  // namespace velkaro::runtime
