#include "runtime/texts.h"

#include "runtime/path_text.h"

namespace velkaro::runtime::texts {

std::string Quoted(std::string_view text) {
  return "“" + std::string(text) + "”";
}

std::string Quoted(const std::filesystem::path& path) {
  return Quoted(std::string_view(PathText(path)));
}

std::string FileAction(std::string_view verb, const std::filesystem::path& file) {
  return std::string(verb) + "文件" + Quoted(file);
}

std::string AccessAction(const std::filesystem::path& path) {
  return "访问" + Quoted(path);
}

std::string ConvertAction(std::string_view code_page) {
  return "按代码页 " + std::string(code_page) + " 转换文字";
}

std::string CreateFileInFolderAction(const std::filesystem::path& folder) {
  return "在文件夹" + Quoted(folder) + "中创建新文件";
}

std::string LockFolderAction(const std::filesystem::path& folder) {
  return "锁定文件夹" + Quoted(folder);
}

std::string OpenSettingAction(std::string_view setting) {
  return "打开设置" + Quoted(setting);
}

std::string WriteSettingAction(std::string_view setting) {
  return "写入设置" + Quoted(setting);
}

std::string Cannot(std::string_view action, std::string_view reason) {
  return "无法" + std::string(action) + "：" + std::string(reason);
}

std::string Unchanged(const std::filesystem::path& file) {
  return "文件" + Quoted(file) + "未作更改。";
}

std::string Reason(std::string_view description, std::uint32_t code) {
  return std::string(description.empty() ? "未知错误" : description) + "（错误代码 " +
         std::to_string(code) + "）";
}

std::string Unexpected(std::string_view what) {
  return "意外错误：" + std::string(what);
}

}  // namespace velkaro::runtime::texts
