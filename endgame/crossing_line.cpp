#include "endgame/crossing_line.h"

#include "endgame/byte_search.h"

namespace velkaro::endgame {

LinePiece PieceBeforeBreak(std::string_view text) {
  LinePiece piece;
  std::size_t at = 0;
  for (std::size_t& tab : piece.tabs) {
    const std::size_t stop = at + FindTabOrLineBreak(text.substr(at));
    if (stop == text.size() || text[stop] != '\t') {
      piece.bytes = text.substr(0, stop);
      return piece;
    }
    tab = stop;
    at = stop + 1;
  }
  piece.bytes = text.substr(0, at + FindLineBreak(text.substr(at)));
  return piece;
}

void CrossingLine::Begin(std::uint64_t offset) {
  offset_ = offset;
  length_ = 0;
  tabs_ = 0;
  field_.clear();
  field_too_long_ = false;
  kept_.clear();
  kept_whole_ = true;
}

void CrossingLine::Add(const LinePiece& piece) {
  const std::string_view bytes = piece.bytes;
  const std::size_t first = piece.tabs[0];
  if (tabs_ == 0 && first != std::string_view::npos) {
    tabs_ = piece.tabs[1] == std::string_view::npos ? 1 : 2;
    KeepField(bytes.substr(first + 1, piece.tabs[1] - first - 1));
  } else if (tabs_ == 1) {
    tabs_ = first == std::string_view::npos ? 1 : 2;
    KeepField(bytes.substr(0, first));
  }
  kept_whole_ = kept_whole_ && kept_.size() + bytes.size() <= kKept;
  if (kept_whole_) {
    kept_ += bytes;
  } else {
    kept_.clear();
  }
  length_ += bytes.size();
}

void CrossingLine::KeepField(std::string_view bytes) {
  if (field_too_long_ || bytes.size() > longest_field_ - field_.size()) {
    field_too_long_ = true;
    field_.clear();
    return;
  }
  field_ += bytes;
}

std::optional<std::string_view> CrossingLine::LevelField() const {
  if (tabs_ == 0 || field_too_long_) {
    return std::nullopt;
  }
  return field_;
}

std::optional<std::string_view> CrossingLine::Bytes() const {
  if (!kept_whole_) {
    return std::nullopt;
  }
  return kept_;
}

}  // namespace velkaro::endgame
