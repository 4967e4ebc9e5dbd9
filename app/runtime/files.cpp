#include "app/runtime/files.h"

#include <string>

#include "app/runtime/failure.h"
#include "app/runtime/files_system.h"
#include "app/runtime/texts.h"

namespace velkaro::runtime {

namespace {

// How many names a new file tries before it gives up: another copy of the
// program, or a leftover of an earlier run, may hold the first few.
constexpr unsigned kNameAttempts = 1000;

Failure FileFailure(std::string_view action, const std::filesystem::path& path) {
  const std::uint32_t code = LastSystemError();
  return SystemFailure(texts::FileAction(action, path), code);
}

std::filesystem::path TemporaryName(const std::filesystem::path& target, unsigned attempt) {
  std::filesystem::path name = target;
  name += "." + std::to_string(system::CurrentProcessId()) + "-" + std::to_string(attempt) + ".tmp";
  return name;
}

}  // namespace

InputFile::InputFile(const std::filesystem::path& path) : path_(path) {
  if (!system::OpenToRead(path, handle_)) {
    throw FileFailure(texts::kOpen, path);
  }
}

InputFile::~InputFile() {
  system::Close(handle_);
}

std::size_t InputFile::Read(std::span<char> into) {
  std::size_t read = 0;
  if (!system::ReadSome(handle_, into, read)) {
    throw FileFailure(texts::kRead, path_);
  }
  return read;
}

std::size_t InputFile::ReadAt(std::uint64_t offset, std::span<char> into) {
  std::size_t read = 0;
  if (!system::ReadSomeAt(handle_, offset, into, read)) {
    throw FileFailure(texts::kRead, path_);
  }
  return read;
}

std::uint64_t InputFile::Size() {
  std::uint64_t size = 0;
  if (!system::SizeOf(handle_, size)) {
    throw FileFailure(texts::kRead, path_);
  }
  return size;
}

ReplacementFile::ReplacementFile(const std::filesystem::path& target) : target_(target) {
  for (unsigned attempt = 0;; ++attempt) {
    temporary_ = TemporaryName(target, attempt);
    const system::Created created = system::CreateNew(temporary_, handle_);
    if (created == system::Created::kNew) {
      open_ = true;
      return;
    }
    if (created == system::Created::kFailed || attempt + 1 == kNameAttempts) {
      throw SystemFailure(texts::CreateFileInFolderAction(target.parent_path()), LastSystemError());
    }
  }
}

ReplacementFile::~ReplacementFile() {
  Close();
  if (!committed_) {
    system::Remove(temporary_);
  }
}

void ReplacementFile::Close() noexcept {
  if (open_) {
    open_ = false;
    system::Close(handle_);
  }
}

void ReplacementFile::Write(std::string_view bytes) {
  while (!bytes.empty()) {
    std::size_t written = 0;
    if (!system::WriteSome(handle_, bytes, written)) {
      throw FileFailure(texts::kWrite, target_);
    }
    bytes.remove_prefix(written);
  }
}

void ReplacementFile::Finish() {
  if (!system::WriteThrough(handle_)) {
    throw FileFailure(texts::kWrite, target_);
  }
  open_ = false;
  if (!system::Close(handle_)) {
    throw FileFailure(texts::kWrite, target_);
  }
}

void ReplacementFile::Commit() {
  if (!system::Replace(temporary_, target_)) {
    throw FileFailure(texts::kReplace, target_);
  }
  committed_ = true;
}

}  // namespace velkaro::runtime
