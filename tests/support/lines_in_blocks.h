#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "endgame/line_reading.h"
#include "endgame/lines.h"
#include "runtime/files.h"

namespace velkaro::tests {

// Every line of `file`, read as the program reads it, in blocks of
// `block_size`. Clears `level_fields_agree` where the level field found for a
// line that crossed a block's end is not the line's own.
inline std::vector<std::string> LinesInBlocks(runtime::InputFile& file, std::size_t block_size,
                                              bool& level_fields_agree) {
  struct AllLines final : endgame::LineChoice, endgame::LineSink {
    void Choose(std::string_view run,
                const std::function<void(std::string_view)>& chosen) const override {
      endgame::ForEachLine(run, chosen);
    }
    bool Chooses(std::optional<std::string_view> field) const override {
      crossing_field = field ? std::optional<std::string>(*field) : std::nullopt;
      crossing = true;
      return true;
    }
    std::size_t LongestField() const override { return SIZE_MAX; }
    void Begin() override { lines.emplace_back(); }
    void Part(std::string_view bytes) override { lines.back() += bytes; }
    void End() override {
      if (crossing) {
        const auto own = endgame::LevelField(lines.back());
        agree = agree && crossing_field == (own ? std::optional<std::string>(*own) : std::nullopt);
        crossing = false;
      }
    }
    mutable std::optional<std::string> crossing_field;
    mutable bool crossing = false;
    std::vector<std::string> lines;
    bool agree = true;
  } all;
  endgame::ReadChosenLines(file, all, all, block_size);
  level_fields_agree = level_fields_agree && all.agree;
  return all.lines;
}

}  // namespace velkaro::tests
