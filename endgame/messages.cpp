#include "endgame/messages.h"

#include "runtime/texts.h"

namespace velkaro::endgame {

std::string StagesMessage(int count) {
  return "调整完毕共 " + std::to_string(count) + " 关";
}

std::string EndgameFolderMissingMessage(const std::filesystem::path& endgame_folder) {
  return "找不到残局题库的文件夹" + runtime::texts::Quoted(endgame_folder) +
         "。本程序在当前工作文件夹" + runtime::texts::Quoted(endgame_folder.parent_path()) +
         "中寻找它，但不会自行建立。";
}

std::string EndgameFolderIsAFileMessage(const std::filesystem::path& endgame_folder) {
  return runtime::texts::Quoted(endgame_folder) +
         "是一个文件，不是文件夹。残局题库应放在当前工作文件夹" +
         runtime::texts::Quoted(endgame_folder.parent_path()) + "中名为 ENDGAMES 的文件夹里。";
}

std::string Utf16FileMessage(const std::filesystem::path& file) {
  return "文件" + runtime::texts::Quoted(file) +
         "是以 Unicode（UTF-16）编码保存的，本程序只能读取 ANSI（GBK）编码的文本。"
         "请用记事本打开它，另存为时把编码选为 ANSI，然后再试。没有作任何更改。";
}

std::string NulBytesMessage(const std::filesystem::path& file) {
  return "列表" + runtime::texts::Quoted(file) +
         "中没有一行属于这个级别，而且其中含有空字节（NUL）：它可能是以 Unicode（UTF-16）"
         "编码保存的，本程序只能读取 ANSI（GBK）编码的文本。为免把残局题库换成空的，"
         "没有作任何更改。如果是这样，请用记事本打开它，另存为时把编码选为 ANSI，然后再试。";
}

std::string FileChangedMessage(const std::filesystem::path& file) {
  return "列表" + runtime::texts::Quoted(file) +
         "在读取时被另一个程序改动了。没有作任何更改，请等它写完后再试。";
}

std::string TooManyStagesMessage(int limit, const std::filesystem::path& endgame_set) {
  return "这个级别的局面超过 " + std::to_string(limit) + " 个，训练程序容纳不下；残局题库" +
         runtime::texts::Quoted(endgame_set) + "未作更改。";
}

std::string TwoCopiesMessage(const std::filesystem::path& endgame_set,
                             const std::filesystem::path& virtualized_copy) {
  return "残局题库有两份：本程序现在更换的是" + runtime::texts::Quoted(endgame_set) +
         "，而正常运行（不以管理员身份）的训练程序读取的是 Windows 为它保存的副本" +
         runtime::texts::Quoted(virtualized_copy) +
         "。请不要以管理员身份运行本程序，它才会更换训练程序读取的题库。"
         "如果训练程序本身总是以管理员身份运行，那份副本已经过时，可以删除。没有作任何更改。";
}

std::string OtherUserMessage(const std::filesystem::path& endgame_set) {
  return "本程序正以另一个用户（管理员）的身份运行，看不到当前登录用户的训练程序可能读取的、"
         "Windows 为它保存的那份残局题库，因此不更换" +
         runtime::texts::Quoted(endgame_set) +
         "。请不要以管理员身份运行本程序，直接双击启动它即可。没有作任何更改。";
}

std::string ProgressNotSavedMessage(const std::filesystem::path& endgame_set,
                                    std::string_view reason) {
  return "残局题库" + runtime::texts::Quoted(endgame_set) + "已经更换，但训练进度没有重置：" +
         std::string(reason);
}

std::string ProgressHalfSavedMessage(const std::filesystem::path& endgame_set,
                                     std::string_view reason) {
  return "残局题库" + runtime::texts::Quoted(endgame_set) +
         "已经更换，训练进度“curr”已重置为 0，但“last”没有写入：" + std::string(reason);
}

std::string ProgressNotOnDiskMessage(const std::filesystem::path& endgame_set,
                                     std::string_view reason) {
  return "残局题库" + runtime::texts::Quoted(endgame_set) +
         "已经更换，训练进度也已重置，但不能确定它已写入磁盘，断电后可能丢失：" +
         std::string(reason);
}

}  // namespace velkaro::endgame
