#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velkaro::endgame {

// The bytes of a line before its terminator, or some of them, with the places
// of their first two TABs (npos for none): all that its level field needs.
struct LinePiece {
  std::string_view bytes;
  std::size_t tabs[2] = {std::string_view::npos, std::string_view::npos};
};

// The piece of `text` before its first CR or LF, found with its TABs in one
// look at each byte.
LinePiece PieceBeforeBreak(std::string_view text);

// A line that crosses the end of a block, given in pieces in order: its level
// field is kept as they pass, and its bytes while it is short; a longer one is
// read again from the file, where it was, should it be chosen.
class CrossingLine {
 public:
  // Lines up to this long are kept whole. Few lines cross a block's end, one
  // per block at most, and almost all are far shorter.
  static constexpr std::size_t kKept = std::size_t{1} << 12;

  // Level fields longer than `longest_field` are not kept: no choice needs them.
  explicit CrossingLine(std::size_t longest_field) : longest_field_(longest_field) {}

  // A new line, at `offset` in the file.
  void Begin(std::uint64_t offset);
  void Add(const LinePiece& piece);

  std::uint64_t offset() const { return offset_; }
  std::uint64_t length() const { return length_; }
  // Its level field, unless it has no TAB or its field is too long to keep.
  std::optional<std::string_view> LevelField() const;
  // Its bytes, when it was short enough to keep them.
  std::optional<std::string_view> Bytes() const;

 private:
  void KeepField(std::string_view bytes);

  std::size_t longest_field_;
  std::uint64_t offset_ = 0;
  std::uint64_t length_ = 0;
  int tabs_ = 0;  // 0, 1 or 2 for both that bound the level field
  std::string field_;
  bool field_too_long_ = false;
  std::string kept_;
  bool kept_whole_ = true;
};

}  // namespace velkaro::endgame
