#pragma once

// The system's lock behind FolderLock, one twin per system (folder_lock_win32.cpp,
// folder_lock_posix.cpp). Each returns 0, or the system's error code.

#include <cstdint>
#include <filesystem>

#include "runtime/native_handle.h"

namespace velkaro::runtime::system {

// Opens the lock that stands for `folder`.
std::uint32_t OpenFolderLock(const std::filesystem::path& folder, NativeHandle& lock);
// Waits while another process holds it, then holds it.
std::uint32_t TakeFolderLock(NativeHandle lock);
// Lets it go, if held, and closes it.
void CloseFolderLock(NativeHandle lock, bool held);

}  // namespace velkaro::runtime::system
