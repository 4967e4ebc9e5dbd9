#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace velkaro::endgame {

// Every text of the rules that the user reads.

// The range of levels the window and the message name; a macro so that the
// window's UTF-16 label and the UTF-8 message are each one literal.
#define VELKARO_LEVEL_RANGE "1-179"

// The rebuild's two messages to the user.
inline constexpr std::string_view kLevelOutOfRange = "级别不在范围（" VELKARO_LEVEL_RANGE "）内";
std::string StagesMessage(int count);

// Failures of the program's own.
std::string EndgameFolderMissingMessage(const std::filesystem::path& endgame_folder);
std::string EndgameFolderIsAFileMessage(const std::filesystem::path& endgame_folder);
std::string Utf16FileMessage(const std::filesystem::path& file);
std::string NulBytesMessage(const std::filesystem::path& file);
std::string FileChangedMessage(const std::filesystem::path& file);
std::string TooManyStagesMessage(int limit, const std::filesystem::path& endgame_set);
std::string TwoCopiesMessage(const std::filesystem::path& endgame_set,
                             const std::filesystem::path& virtualized_copy);
std::string OtherUserMessage(const std::filesystem::path& endgame_set);
// The set was replaced; the progress not, in part, or not durably.
std::string ProgressNotSavedMessage(const std::filesystem::path& endgame_set,
                                    std::string_view reason);
std::string ProgressHalfSavedMessage(const std::filesystem::path& endgame_set,
                                     std::string_view reason);
std::string ProgressNotOnDiskMessage(const std::filesystem::path& endgame_set,
                                     std::string_view reason);

}  // namespace velkaro::endgame
