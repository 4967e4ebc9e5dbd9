#pragma once

#include <string>
#include <string_view>

#include "endgame/endgame_paths.h"
#include "runtime/settings_store.h"

namespace velkaro::endgame {

// The trainer counts stages in 16 bits.
inline constexpr int kMaxStages = 32767;

// The cleared box: only a tick counts, not the greyed state.
inline constexpr int kTicked = 1;

// Replaces the endgame set with every line of the position list whose level
// field is `level_text` (UTF-8, compared character for character), resets the
// trainer's progress in `settings`, and returns the message for the user.
//
// All or nothing: the new set is written beside the old one and put in its
// place only once it is complete and the settings are open, so on any failure
// (a runtime::Failure) the old set and the settings are as they were. Only when
// saving the settings fails after that does the failure say the set is new.
// A list proven to be UTF-16, changed while it was read, or holding NUL bytes
// where no line was selected is such a failure.
std::string RebuildEndgameSet(const EndgamePaths& paths, std::string_view level_text,
                              int cleared_state, runtime::SettingsStore& settings);

}  // namespace velkaro::endgame
