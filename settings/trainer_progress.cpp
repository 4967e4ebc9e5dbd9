#include "settings/trainer_progress.h"

#include <string>

namespace velkaro::settings {

std::unique_ptr<runtime::SettingsSection> OpenTrainerSettings(runtime::SettingsStore& store) {
  return store.OpenSection(kTrainerApplication, kTrainerSection);
}

void ResetTrainerProgress(runtime::SettingsSection& section, int count, bool all_cleared) {
  using Saved = ProgressFailure::Saved;
  Saved saved = Saved::kNothing;
  try {
    section.Save("curr", "0");
    saved = Saved::kCurr;
    section.Save("last", all_cleared ? std::to_string(count) : "0");
    saved = Saved::kBoth;
    section.Flush();
  } catch (const runtime::Failure& failure) {
    throw ProgressFailure(failure, saved);
  }
}

}  // namespace velkaro::settings
