#include "runtime/folder_lock.h"

#include "runtime/failure.h"
#include "runtime/folder_lock_system.h"
#include "runtime/texts.h"

namespace velkaro::runtime {

FolderLock::FolderLock(const std::filesystem::path& folder) {
  if (const std::uint32_t error = system::OpenFolderLock(folder, handle_); error != 0) {
    throw SystemFailure(texts::LockFolderAction(folder), error);
  }
  if (const std::uint32_t error = system::TakeFolderLock(handle_); error != 0) {
    system::CloseFolderLock(handle_, false);
    throw SystemFailure(texts::LockFolderAction(folder), error);
  }
}

FolderLock::~FolderLock() {
  system::CloseFolderLock(handle_, true);
}

}  // namespace velkaro::runtime
