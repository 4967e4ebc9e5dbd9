#pragma once

#include <memory>

#include "runtime/failure.h"
#include "runtime/settings_store.h"

namespace velkaro::settings {

// The trainer files its settings under this application and section.
inline constexpr std::string_view kTrainerApplication = "kestrow";
inline constexpr std::string_view kTrainerSection = "gui";

// Opens the trainer's settings for writing, before anything is changed, so an
// unwritable store fails the rebuild while the old endgame set still stands.
std::unique_ptr<runtime::SettingsSection> OpenTrainerSettings(runtime::SettingsStore& store);

// A reset that failed part way, and how far it had got: nothing saved, "curr"
// saved alone, or both saved but not known to be on the disk.
class ProgressFailure : public runtime::Failure {
 public:
  enum class Saved { kNothing, kCurr, kBoth };
  ProgressFailure(const runtime::Failure& cause, Saved how_far)
      : runtime::Failure(cause), saved(how_far) {}
  Saved saved;
};

// Resets the trainer's progress through a new endgame set of `count` stages:
// "curr" becomes "0"; "last" becomes the count when all stages were cleared, else "0";
// both are on the disk when it returns. Throws ProgressFailure.
void ResetTrainerProgress(runtime::SettingsSection& section, int count, bool all_cleared);

}  // namespace velkaro::settings
