#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace velkaro::runtime {

// Windows' file virtualization: a program without an execution level in its
// manifest, as this one and the trainer are, run by a standard user (or by an
// administrator with UAC's filtered token), writes in a protected folder
// through a copy below the user's %LOCALAPPDATA%\VirtualStore, at the same
// path less its drive, and reads that copy before the real file wherever both
// exist. The protected folders are the system drive's Program Files (both),
// ProgramData and the Windows folder; UAC off, or virtualization turned off by
// policy, virtualizes nothing.

// Whether Windows virtualizes this process's file writes.
bool ProcessIsVirtualized();

// Where a process that Windows virtualizes finds its copy of `path`, an
// absolute path on a drive ("C:\..." or "\\?\C:\..."), given the VirtualStore
// folder `store`; empty for any other path (network shares, devices), which
// Windows never virtualizes.
std::wstring VirtualStoreTwin(std::wstring_view store, std::wstring_view path);

// The current user's VirtualStore folder, as a path; empty when it cannot be told.
std::wstring VirtualStoreFolder();

// What decides whether the trainer, run by the session's user, may read a copy
// of the set's folder from VirtualStore that this process does not write.
struct TwinFacts {
  // The set's folder, resolved through a handle: long names, the final target
  // of links and substituted drives ("C:\..." or "\\?\C:\..."; a share's
  // "\\?\UNC\..."). As spelled, made absolute, where it cannot be resolved.
  std::wstring set_folder;
  // The folders Windows virtualizes, resolved the same way.
  std::vector<std::wstring> virtualized_folders;
  bool elevated = false;          // with UAC's split token (TokenElevationTypeFull)
  bool uac_on = true;             // policy EnableLUA
  bool virtualization_on = true;  // policy EnableVirtualization
  bool session_user = true;       // runs as the desktop's user, or cannot tell
  std::wstring store;             // this process's user's VirtualStore
};

struct TwinPlace {
  enum class Kind {
    kNone,       // no copy the trainer could read instead
    kFolder,     // look for the set in `folder`
    kOtherUser,  // elevated as another user: the session user's copy is out of sight
  } kind = Kind::kNone;
  std::wstring folder;
};

// Only a process elevated with UAC on writes the real folder while the trainer,
// run by the same user unelevated, is virtualized; only in a folder Windows
// virtualizes. Letter case aside in ASCII letters, as Windows' names compare.
TwinPlace WhereTheTrainersCopyMayBe(const TwinFacts& facts);

#ifdef _WIN32
// The facts, asked of Windows for the set's folder as resolved; `resolve`
// resolves the virtualized folders the same way (empty where it cannot).
TwinFacts TwinFactsFor(std::wstring set_folder,
                       const std::function<std::wstring(const std::wstring&)>& resolve);
#endif

}  // namespace velkaro::runtime
