#include "endgame/endgame_paths.h"

namespace velkaro::endgame {

EndgamePaths EndgamePathsIn(const std::filesystem::path& working_folder) {
  EndgamePaths paths;
  paths.position_list = working_folder / "chessfen.txt";
  paths.endgame_folder = working_folder / "ENDGAMES";
  paths.endgame_set = paths.endgame_folder / "VIRLA.EPD";
  return paths;
}

}  // namespace velkaro::endgame
