#include "settings/trainer_progress.h"

#include <string>

namespace velkaro::settings {

std::unique_ptr<runtime::SettingsSection> OpenTrainerSettings(runtime::SettingsStore& store) {
  return store.OpenSection(kTrainerApplication, kTrainerSection);
}

void ResetTrainerProgress(runtime::SettingsSection& section, int count, bool all_cleared) {
  section.Save("curr", "0");
  section.Save("last", all_cleared ? std::to_string(count) : "0");
  section.Flush();
}

}  // namespace velkaro::settings
