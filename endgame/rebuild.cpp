#include "endgame/rebuild.h"

#include <optional>
#include <vector>

#include "app/runtime/codepage.h"
#include "app/runtime/failure.h"
#include "app/runtime/files.h"
#include "app/runtime/folder_lock.h"
#include "endgame/level_search.h"
#include "endgame/line_writer.h"
#include "endgame/lines.h"
#include "endgame/messages.h"
#include "settings/trainer_progress.h"

namespace velkaro::endgame {

namespace {

// Streams the lines of `level` from the position list into the new set; returns their count.
int CopyLinesOfLevel(const EndgamePaths& paths, std::string_view level,
                     runtime::InputFile& position_list, runtime::ReplacementFile& new_set) {
  const LevelSearch search(level);
  LineWriter writer(new_set);
  LineBlocks blocks(position_list);
  int count = 0;
  for (std::string_view run = blocks.Next(); !run.empty(); run = blocks.Next()) {
    search.ForEachLine(run, [&](std::string_view line) {
      if (count == kMaxStages) {
        throw runtime::Failure(TooManyStagesMessage(kMaxStages, paths.endgame_set));
      }
      writer.WriteLine(line);
      ++count;
    });
  }
  writer.Flush();
  return count;
}

// Reads the rest of the list for nothing but its read errors: a list that
// cannot be read is a failure, whatever the level.
void ReadThrough(runtime::InputFile& position_list) {
  std::vector<char> block(LineBlocks::kBlockSize);
  while (position_list.Read(block) != 0) {
  }
}

}  // namespace

std::string RebuildEndgameSet(const EndgamePaths& paths, std::string_view level_text,
                              int cleared_state, runtime::SettingsStore& settings) {
  // A text that no bytes of the files can spell matches no line.
  const std::optional<std::string> level = runtime::ToFileBytes(level_text);
  const bool can_match = level.has_value() && CanBeLevelField(*level);

  runtime::InputFile position_list(paths.position_list);
  runtime::ReplacementFile new_set(paths.endgame_set);
  int count = 0;
  if (can_match) {
    count = CopyLinesOfLevel(paths, *level, position_list, new_set);
  } else {
    ReadThrough(position_list);
  }
  new_set.Finish();

  const auto progress = settings::OpenTrainerSettings(settings);
  // Rebuilds of the same set, from copies of the program started together,
  // each put their set and their progress in place whole, one after the other.
  const runtime::FolderLock one_at_a_time(paths.endgame_folder);
  new_set.Commit();
  try {
    settings::ResetTrainerProgress(*progress, count, cleared_state == kTicked);
  } catch (const runtime::Failure& failure) {
    throw runtime::Failure(ProgressNotSavedMessage(paths.endgame_set, failure.what()));
  }
  // Housekeeping, once the set and its progress are in place.
  runtime::RemoveLeftoverReplacements(paths.endgame_set);

  return count > 0 ? StagesMessage(count) : std::string(kLevelOutOfRange);
}

}  // namespace velkaro::endgame
