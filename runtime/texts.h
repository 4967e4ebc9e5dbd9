#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace velkaro::runtime::texts {

// Every text of the platform layer that the user reads, in Simplified Chinese
// (UTF-8). A failure reads "无法<action>：<reason>", the action naming the
// file, folder or setting.

// What was being done: "打开文件“…”" and the like.
inline constexpr std::string_view kOpen = "打开";
inline constexpr std::string_view kRead = "读取";
inline constexpr std::string_view kReplace = "替换";
inline constexpr std::string_view kWriteNew = "写入新";
std::string FileAction(std::string_view verb, const std::filesystem::path& file);
std::string AccessAction(const std::filesystem::path& path);
std::string ConvertAction(std::string_view code_page);
std::string CreateFileInFolderAction(const std::filesystem::path& folder);
std::string LockFolderAction(const std::filesystem::path& folder);
std::string OpenSettingAction(std::string_view setting);
std::string WriteSettingAction(std::string_view setting);
inline constexpr std::string_view kCreateWindowAction = "创建窗口";
inline constexpr std::string_view kReceiveMessagesAction = "接收窗口消息";

// Reasons of the program's own, where the system's would mislead.
inline constexpr std::string_view kIsAFolder = "这是一个文件夹，不是文件";
inline constexpr std::string_view kIsAFile = "这是一个文件，不是文件夹";
inline constexpr std::string_view kInUse =
    "文件正被其他程序使用，请关闭训练程序等可能打开它的程序后再试";

// A path as UTF-8 text, in Chinese quotation marks.
std::string Quoted(const std::filesystem::path& path);
std::string Quoted(std::string_view text);

std::string Cannot(std::string_view action, std::string_view reason);
// What a failure left as it was: "文件“…”未作更改。"
std::string Unchanged(const std::filesystem::path& file);
// The system's reason, with its code; `description` may be empty.
std::string Reason(std::string_view description, std::uint32_t code);
// Any other error than a failure the program foresaw.
std::string Unexpected(std::string_view what);

}  // namespace velkaro::runtime::texts
