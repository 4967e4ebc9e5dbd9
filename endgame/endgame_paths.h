#pragma once

#include <filesystem>

namespace velkaro::endgame {

// Where the two position files are, inside a working folder.
struct EndgamePaths {
  std::filesystem::path position_list;   // chessfen.txt: every position, with its level
  std::filesystem::path endgame_folder;  // ENDGAMES: must exist; never created
  std::filesystem::path endgame_set;     // ENDGAMES\VIRLA.EPD: the set the trainer works through
};

EndgamePaths EndgamePathsIn(const std::filesystem::path& working_folder);

}  // namespace velkaro::endgame
