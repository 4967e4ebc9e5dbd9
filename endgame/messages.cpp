#include "endgame/messages.h"

#include "app/runtime/failure.h"

namespace velkaro::endgame {

std::string StagesMessage(int count) {
  return "调整完毕共 " + std::to_string(count) + " 关";
}

std::string TooManyStagesMessage(int limit, const std::filesystem::path& endgame_set) {
  return "这个级别的局面超过 " + std::to_string(limit) + " 个，训练程序容纳不下；残局题库" +
         runtime::Quoted(endgame_set) + "未作更改。";
}

std::string ProgressNotSavedMessage(const std::filesystem::path& endgame_set,
                                    std::string_view reason) {
  return "残局题库" + runtime::Quoted(endgame_set) + "已经更换，但训练进度没有重置：" +
         std::string(reason);
}

}  // namespace velkaro::endgame
