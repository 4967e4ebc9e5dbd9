#include <windows.h>

#include <string>

#include "app/runtime/failure.h"
#include "app/runtime/files.h"

namespace velkaro::runtime {

namespace {

HANDLE Handle(std::intptr_t handle) {
  return reinterpret_cast<HANDLE>(handle);
}

Failure FileFailure(std::string_view action, const std::filesystem::path& path) {
  const std::uint32_t code = LastSystemError();
  return SystemFailure(std::string(action) + "文件" + Quoted(path), code);
}

// ReadFile takes at most a DWORD of bytes at once.
DWORD Chunk(std::size_t size) {
  return static_cast<DWORD>(size < 0x40000000u ? size : 0x40000000u);
}

}  // namespace

InputFile::InputFile(const std::filesystem::path& path) : path_(path) {
  const HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    throw FileFailure("打开", path);
  }
  handle_ = reinterpret_cast<std::intptr_t>(file);
}

InputFile::~InputFile() {
  ::CloseHandle(Handle(handle_));
}

std::size_t InputFile::Read(std::span<char> into) {
  DWORD read = 0;
  if (!::ReadFile(Handle(handle_), into.data(), Chunk(into.size()), &read, nullptr)) {
    throw FileFailure("读取", path_);
  }
  return read;
}

std::size_t InputFile::ReadAt(std::uint64_t offset, std::span<char> into) {
  // A positioned read moves the file pointer; keep Read's position.
  LARGE_INTEGER zero{}, current{};
  if (!::SetFilePointerEx(Handle(handle_), zero, &current, FILE_CURRENT)) {
    throw FileFailure("读取", path_);
  }
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>(offset);
  at.OffsetHigh = static_cast<DWORD>(offset >> 32);
  DWORD read = 0;
  if (!::ReadFile(Handle(handle_), into.data(), Chunk(into.size()), &read, &at) &&
      ::GetLastError() != ERROR_HANDLE_EOF) {
    throw FileFailure("读取", path_);
  }
  ::SetFilePointerEx(Handle(handle_), current, nullptr, FILE_BEGIN);
  return read;
}

std::uint64_t InputFile::Size() {
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(Handle(handle_), &size)) {
    throw FileFailure("读取", path_);
  }
  return static_cast<std::uint64_t>(size.QuadPart);
}

ReplacementFile::ReplacementFile(const std::filesystem::path& target) : target_(target) {
  // CREATE_NEW never opens what is already there, links included.
  for (unsigned attempt = 0;; ++attempt) {
    temporary_ = target;
    temporary_ +=
        L"." + std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(attempt) + L".tmp";
    const HANDLE file = ::CreateFileW(temporary_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      handle_ = reinterpret_cast<std::intptr_t>(file);
      open_ = true;
      return;
    }
    const DWORD error = ::GetLastError();
    if ((error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) || attempt == 1000) {
      throw SystemFailure("在文件夹" + Quoted(target.parent_path()) + "中创建新文件", error);
    }
  }
}

ReplacementFile::~ReplacementFile() {
  Close();
  if (!committed_) {
    ::DeleteFileW(temporary_.c_str());
  }
}

void ReplacementFile::Close() noexcept {
  if (open_) {
    ::CloseHandle(Handle(handle_));
    open_ = false;
  }
}

void ReplacementFile::Write(std::string_view bytes) {
  while (!bytes.empty()) {
    DWORD written = 0;
    if (!::WriteFile(Handle(handle_), bytes.data(), Chunk(bytes.size()), &written, nullptr)) {
      throw FileFailure("写入", target_);
    }
    bytes.remove_prefix(written);
  }
}

void ReplacementFile::Finish() {
  if (!::FlushFileBuffers(Handle(handle_))) {
    throw FileFailure("写入", target_);
  }
  open_ = false;
  if (!::CloseHandle(Handle(handle_))) {
    throw FileFailure("写入", target_);
  }
}

void ReplacementFile::Commit() {
  // A read-only file is not to be replaced, as Windows has it; not every
  // implementation of MoveFileExW refuses by itself.
  const DWORD attributes = ::GetFileAttributesW(target_.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
    throw SystemFailure("替换文件" + Quoted(target_), ERROR_ACCESS_DENIED);
  }
  // MoveFileExW replaces in one step; ReplaceFileW is not atomic under Wine.
  if (!::MoveFileExW(temporary_.c_str(), target_.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    throw FileFailure("替换", target_);
  }
  committed_ = true;
}

}  // namespace velkaro::runtime
