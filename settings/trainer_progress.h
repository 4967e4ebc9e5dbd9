#pragma once

#include <memory>

#include "runtime/settings_store.h"

namespace velkaro::settings {

// The trainer files its settings under this application and section.
inline constexpr std::string_view kTrainerApplication = "kestrow";
inline constexpr std::string_view kTrainerSection = "gui";

// Opens the trainer's settings for writing, before anything is changed, so an
// unwritable store fails the rebuild while the old endgame set still stands.
std::unique_ptr<runtime::SettingsSection> OpenTrainerSettings(runtime::SettingsStore& store);

// Resets the trainer's progress through a new endgame set of `count` stages:
// "curr" becomes "0"; "last" becomes the count when all stages were cleared, else "0";
// both are on the disk when it returns.
void ResetTrainerProgress(runtime::SettingsSection& section, int count, bool all_cleared);

}  // namespace velkaro::settings
