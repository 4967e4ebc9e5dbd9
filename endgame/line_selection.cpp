#include "endgame/line_selection.h"

#include "endgame/level_search.h"
#include "endgame/line_writer.h"

namespace velkaro::endgame {

ListFacts CopyLinesOfLevel(runtime::InputFile& file, std::string_view level, LineWriter& writer,
                           const std::function<void()>& before_each, std::size_t block_size) {
  const LevelSearch search(level);
  LineBlocks blocks(file, block_size);
  for (;;) {
    const std::string_view run = blocks.Next();
    if (!run.empty()) {
      search.ForEachLine(run, [&](std::string_view line) {
        before_each();
        writer.WriteLine(line);
        blocks.StopNotingNul();  // a selection needs no backstop
      });
    } else if (blocks.AtLongLine()) {
      const LongLine line = blocks.PassLongLine(level.size());
      if (line.level_field == level) {
        before_each();
        blocks.StopNotingNul();
        blocks.ReadLongLine(line, [&](std::string_view piece) { writer.WritePart(piece); });
        writer.EndLine();
      }
    } else {
      return {blocks.HeldNul()};
    }
  }
}

ListFacts ReadAllLines(runtime::InputFile& file) {
  LineBlocks blocks(file);
  while (!blocks.Next().empty() || blocks.AtLongLine()) {
    if (blocks.AtLongLine()) {
      blocks.PassLongLine(0);
    }
  }
  return {blocks.HeldNul()};
}

}  // namespace velkaro::endgame
