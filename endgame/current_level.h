#pragma once

#include <optional>
#include <string>

#include "endgame/endgame_paths.h"

namespace velkaro::endgame {

// The level of the endgame set in use: the level field of its last line that
// has one, as UTF-8 text; nothing when no line has one or there is no set yet.
// Reads from the end of the file, so the time it takes grows only with what
// follows the start of the last TAB's line, not with the set. A missing
// endgame folder is a runtime::Failure naming it and the working folder; so is
// any error in looking for the set but its not existing.
std::optional<std::string> ReadCurrentLevel(const EndgamePaths& paths);

}  // namespace velkaro::endgame
