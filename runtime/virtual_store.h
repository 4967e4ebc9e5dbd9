#pragma once

#include <string>
#include <string_view>

namespace velkaro::runtime {

// Windows' file virtualization: a program without an execution level in its
// manifest, as this one and the trainer are, run by a standard user, writes in
// a protected folder (Program Files) through a copy below the user's
// %LOCALAPPDATA%\VirtualStore, at the same path less its drive, and reads that
// copy before the real file wherever both exist.

// Whether Windows virtualizes this process's file writes.
bool ProcessIsVirtualized();

// Where a process that Windows virtualizes finds its copy of `path`, an
// absolute path on a drive ("C:\..." or "\\?\C:\..."), given the VirtualStore
// folder `store`; empty for any other path (network shares, devices), which
// Windows never virtualizes.
std::wstring VirtualStoreTwin(std::wstring_view store, std::wstring_view path);

// The current user's VirtualStore folder, as a path; empty when it cannot be told.
std::wstring VirtualStoreFolder();

}  // namespace velkaro::runtime
