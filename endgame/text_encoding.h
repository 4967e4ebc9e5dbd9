#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace velkaro::runtime {
class InputFile;
}

namespace velkaro::endgame {

// Position files are ANSI text. One saved as UTF-16 is refused when its bytes
// prove it; one that only might be is caught, in the rebuild, by what it
// selects (a list holding NUL bytes that selects no line is refused).

// How much of the list's start is looked at for that proof: past the first
// line of a list that opens with a long header or comment.
inline constexpr std::size_t kListEncodingSample = 64 * 1024;
// How much of the set's start, and of its end, the lookup at start looks at:
// one page each, which the system reads whole anyway.
inline constexpr std::size_t kSetEncodingSample = 4 * 1024;

// Whether `bytes`, which start at an even offset of a file, prove that it is
// UTF-16: a line break of UTF-16 as its two code units, CR LF, in either byte
// order, at an even offset. In ANSI text those bytes would be a line holding
// nothing but a NUL between a CR and an LF, which no list holds; NULs beside
// one TAB or one CR, as in fields padded with NUL bytes, prove nothing.
bool ProveUtf16(std::string_view bytes);

// Looks at the first `sample` bytes of `file`: one proven UTF-16 is refused
// (a runtime::Failure naming it). Returns the length of a UTF-8 byte order
// mark at its start, which is no part of the first line, or 0.
std::size_t CheckEncoding(runtime::InputFile& file, std::size_t sample);

// The same for bytes at `offset` of the file (its end): refused when proven.
void CheckEncodingAt(runtime::InputFile& file, std::uint64_t offset, std::size_t sample);

}  // namespace velkaro::endgame
