#include "endgame/rebuild.h"

#include <optional>

#include "endgame/line_selection.h"
#include "endgame/line_writer.h"
#include "endgame/lines.h"
#include "endgame/messages.h"
#include "runtime/codepage.h"
#include "runtime/failure.h"
#include "runtime/files.h"
#include "runtime/folder_lock.h"
#include "settings/trainer_progress.h"

namespace velkaro::endgame {

std::string RebuildEndgameSet(const EndgamePaths& paths, std::string_view level_text,
                              int cleared_state, runtime::SettingsStore& settings) {
  // A text that no bytes of the files can spell matches no line.
  const std::optional<std::string> level = runtime::ToFileBytes(level_text);
  const bool can_match = level.has_value() && CanBeLevelField(*level);

  // Run as administrator where the trainer is virtualized, this would change a
  // set that the trainer does not read, and reset its progress for nothing.
  switch (const auto copy = runtime::TrainersCopyOf(paths.endgame_set); copy.kind) {
    case runtime::TrainersCopy::Kind::kExists:
      throw runtime::Failure(TwoCopiesMessage(paths.endgame_set, copy.path));
    case runtime::TrainersCopy::Kind::kUncheckable:
      throw runtime::Failure(OtherUserMessage(paths.endgame_set));
    case runtime::TrainersCopy::Kind::kNone:
      break;
  }
  runtime::InputFile position_list(paths.position_list);
  runtime::ReplacementFile new_set(paths.endgame_set);
  int count = 0;
  ListFacts list;
  if (can_match) {
    LineWriter writer(new_set);
    list = CopyLinesOfLevel(position_list, *level, writer, [&] {
      if (count == kMaxStages) {
        throw runtime::Failure(TooManyStagesMessage(kMaxStages, paths.endgame_set));
      }
      ++count;
    });
    writer.Flush();
  } else {
    // A list that cannot be read is a failure whatever the level.
    list = ReadAllLines(position_list);
  }
  // Under Wine a Unix program may write the list while it is read, which
  // Windows' sharing rules keep other Windows programs from doing.
  if (position_list.ChangedSinceOpen()) {
    throw runtime::Failure(FileChangedMessage(paths.position_list));
  }
  // A UTF-16 list that its first bytes did not prove to be one selects no
  // line, read as ANSI: the set is not to be emptied for that.
  if (count == 0 && list.held_nul) {
    throw runtime::Failure(NulBytesMessage(paths.position_list));
  }
  new_set.Finish();

  const auto progress = settings::OpenTrainerSettings(settings);
  // Rebuilds of the same set, from copies of the program started together,
  // each put their set and their progress in place whole, one after the other.
  const runtime::FolderLock one_at_a_time(paths.endgame_folder);
  new_set.Commit();
  try {
    settings::ResetTrainerProgress(*progress, count, cleared_state == kTicked);
  } catch (const settings::ProgressFailure& failure) {
    using Saved = settings::ProgressFailure::Saved;
    const auto message = failure.saved == Saved::kNothing ? ProgressNotSavedMessage
                         : failure.saved == Saved::kCurr  ? ProgressHalfSavedMessage
                                                          : ProgressNotOnDiskMessage;
    throw runtime::Failure(message(paths.endgame_set, failure.what()));
  }
  // Housekeeping, once the set and its progress are in place.
  runtime::RemoveLeftoverReplacements(paths.endgame_set);
  progress->RemoveLeftovers();

  return count > 0 ? StagesMessage(count) : std::string(kLevelOutOfRange);
}

}  // namespace velkaro::endgame
