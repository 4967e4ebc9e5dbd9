#include "endgame/line_selection.h"

#include <optional>
#include <string>

#include "endgame/level_search.h"
#include "endgame/line_writer.h"

namespace velkaro::endgame {

namespace {

// The lines whose level field is the level.
class LevelChoice final : public LineChoice {
 public:
  explicit LevelChoice(std::string_view level) : level_(level), search_(level) {}

  void Choose(std::string_view lines,
              const std::function<void(std::string_view)>& chosen) const override {
    search_.ForEachLine(lines, chosen);
  }
  bool Chooses(std::optional<std::string_view> field) const override { return field == level_; }
  std::size_t LongestField() const override { return level_.size(); }

 private:
  std::string level_;
  LevelSearch search_;
};

// Each chosen line to the writer, after `before_each`.
class WriterSink final : public LineSink {
 public:
  WriterSink(LineWriter& writer, const std::function<void()>& before_each)
      : writer_(writer), before_each_(before_each) {}

  void Begin() override { before_each_(); }
  void Part(std::string_view bytes) override { writer_.WritePart(bytes); }
  void End() override { writer_.EndLine(); }

 private:
  LineWriter& writer_;
  const std::function<void()>& before_each_;
};

// No line.
class NoChoice final : public LineChoice, public LineSink {
 public:
  void Choose(std::string_view, const std::function<void(std::string_view)>&) const override {}
  bool Chooses(std::optional<std::string_view>) const override { return false; }
  std::size_t LongestField() const override { return 0; }
  void Begin() override {}
  void Part(std::string_view) override {}
  void End() override {}
};

}  // namespace

ListFacts CopyLinesOfLevel(runtime::InputFile& file, std::string_view level, LineWriter& writer,
                           const std::function<void()>& before_each, std::size_t block_size) {
  const LevelChoice choice(level);
  WriterSink sink(writer, before_each);
  return ReadChosenLines(file, choice, sink, block_size);
}

ListFacts ReadAllLines(runtime::InputFile& file) {
  NoChoice none;
  return ReadChosenLines(file, none, none);
}

}  // namespace velkaro::endgame
