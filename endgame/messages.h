#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace velkaro::endgame {

// The rebuild's two messages to the user.
inline constexpr std::string_view kLevelOutOfRange = "级别不在范围（1-179）内";
std::string StagesMessage(int count);

// Failures of the program's own.
std::string TooManyStagesMessage(int limit, const std::filesystem::path& endgame_set);
std::string ProgressNotSavedMessage(const std::filesystem::path& endgame_set,
                                    std::string_view reason);

}  // namespace velkaro::endgame
