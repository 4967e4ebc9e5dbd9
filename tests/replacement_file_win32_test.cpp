#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/failure.h"
#include "runtime/files.h"
#include "runtime/files_system.h"
#include "runtime/virtual_store.h"
#include "tests/support/same_bytes.h"
#include "tests/support/scratch_folder.h"

namespace velkaro::runtime {
namespace {

// Whatever refuses the POSIX form of the rename (Windows before 10 1607: 1;
// ReFS: 50; exFAT: 87; Samba: 124; a filter that passes the form on to where
// the user may not write: 5, or 17 across volumes; 665), the plain form
// through the handle replaces the target at once.
TEST(ReplacementFile, WhateverRefusesThePosixRenameThePlainOneReplaces) {
  for (const DWORD refusal : {1u, 5u, 17u, 50u, 87u, 124u, 665u}) {
    const tests::ScratchFolder folder;
    const std::filesystem::path target = folder.path() / "VIRLA.EPD";
    const std::filesystem::path made = folder.path() / "VIRLA.EPD.3-0.tmp";
    tests::WriteBytes(target, "old");
    const HANDLE file = ::CreateFileW(made.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    ::WriteFile(file, "new", 3, &written, nullptr);
    std::string forms;
    const auto rename = [&](HANDLE handle, const std::filesystem::path& to, bool posix) {
      forms += posix ? "posix " : "plain";
      if (posix) {
        ::SetLastError(refusal);
        return system::Outcome::kFailed;
      }
      return system::RenameByHandle(handle, to, false);
    };
    EXPECT_EQ(system::PutInPlace(file, target, true, rename), system::Outcome::kDone) << refusal;
    ::CloseHandle(file);
    EXPECT_EQ(forms, "posix plain");
    EXPECT_EQ(tests::ReadBytes(target), "new") << refusal;
    EXPECT_EQ(tests::EntriesOf(folder.path()), std::vector<std::string>{"VIRLA.EPD"});
  }
}

// A process that Windows virtualizes finds its copy of a file at the same path
// below VirtualStore, less the drive; nothing on a share.
TEST(VirtualStore, TheTwinIsThePathBelowTheStoreLessItsDrive) {
  const std::wstring store = L"C:\\Users\\u\\AppData\\Local\\VirtualStore";
  const std::wstring twin = store + L"\\Program Files (x86)\\Trainer\\ENDGAMES\\VIRLA.EPD";
  EXPECT_EQ(VirtualStoreTwin(store, L"C:\\Program Files (x86)\\Trainer\\ENDGAMES\\VIRLA.EPD"),
            twin);
  EXPECT_EQ(VirtualStoreTwin(store + L"\\",
                             L"\\\\?\\c:\\Program Files (x86)\\Trainer\\ENDGAMES\\VIRLA.EPD"),
            twin);
  EXPECT_EQ(VirtualStoreTwin(store, L"\\\\?\\UNC\\server\\share\\VIRLA.EPD"), L"");
  EXPECT_EQ(VirtualStoreTwin(store, L"\\\\server\\share\\VIRLA.EPD"), L"");
  EXPECT_EQ(VirtualStoreTwin(L"", L"C:\\VIRLA.EPD"), L"");
}

// Windows allows names that UTF-8 cannot spell (a lone surrogate, which Wine
// cannot store): a message names such a path with U+FFFD in its place.
TEST(FileFailures, NameAPathThatUtf8CannotSpell) {
  const std::filesystem::path missing(L"C:\\velkaro-\xD800\\chessfen.txt");
  try {
    InputFile file(missing);
    ADD_FAILURE() << "opened";
  } catch (const Failure& failure) {
    const std::string message = failure.what();
    EXPECT_EQ(message.rfind("无法打开文件“C:\\velkaro-\xEF\xBF\xBD\\chessfen.txt”：", 0), 0u)
        << message;
  }
}

}  // namespace
}  // namespace velkaro::runtime
