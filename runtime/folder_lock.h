#pragma once

#include <filesystem>

#include "runtime/native_handle.h"

namespace velkaro::runtime {

// Holds a folder for this process alone, among processes that ask for it the
// same way; waits while another holds it. Released when destroyed, and by the
// system when the process ends, however it ends.
class FolderLock {
 public:
  explicit FolderLock(const std::filesystem::path& folder);
  ~FolderLock();
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;

 private:
  NativeHandle handle_{};
};

}  // namespace velkaro::runtime
