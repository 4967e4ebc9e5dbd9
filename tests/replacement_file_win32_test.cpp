#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "endgame/rebuild.h"
#include "runtime/failure.h"
#include "runtime/files.h"
#include "runtime/files_system.h"
#include "runtime/registry_settings.h"
#include "tests/support/redirect_import.h"
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

// The list's last-write time, as the system keeps it, is one of the facts a
// change is told by: one that another handle sets while the list is open (an
// attribute, which no sharing keeps out) is a change; none is none.
TEST(InputFile, ALastWriteTimeSetWhileItIsOpenIsAChange) {
  const tests::ScratchFolder folder;
  const std::filesystem::path list = folder.path() / "chessfen.txt";
  tests::WriteBytes(list, "a\t1\r\n");
  for (const bool touched : {false, true}) {
    InputFile file(list);
    char bytes[16];
    EXPECT_EQ(file.ReadOnLane(1, 0, bytes), 5u);
    file.LookPastEnd();
    if (touched) {
      const HANDLE other = ::CreateFileW(list.c_str(), FILE_WRITE_ATTRIBUTES,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                         nullptr, OPEN_EXISTING, 0, nullptr);
      ASSERT_NE(other, INVALID_HANDLE_VALUE);
      const FILETIME long_ago{0x12345678u, 0x01000000u};
      EXPECT_TRUE(::SetFileTime(other, nullptr, nullptr, &long_ago));
      ::CloseHandle(other);
    }
    EXPECT_EQ(file.ChangedSinceOpen(), touched);
  }
}

using tests::RedirectImport;

int file_flushes = 0;
int key_flushes = 0;
BOOL(WINAPI* flush_file)(HANDLE) = nullptr;
LSTATUS(WINAPI* flush_key)(HKEY) = nullptr;
BOOL WINAPI CountedFlushFileBuffers(HANDLE file) {
  ++file_flushes;
  return flush_file(file);
}
LSTATUS WINAPI CountedRegFlushKey(HKEY key) {
  ++key_flushes;
  return flush_key(key);
}

// Wine flushes nothing, so what a rebuild asks Windows to put on the disk is
// counted: the new set before and after its rename, and the progress.
TEST(Flushes, ASuccessfulRebuildPutsTheSetAndTheProgressOnTheDisk) {
  const tests::ScratchFolder folder;
  const endgame::EndgamePaths paths = endgame::EndgamePathsIn(folder.path());
  std::filesystem::create_directory(paths.endgame_folder);
  tests::WriteBytes(paths.endgame_set, "a\t5\r\n");
  tests::WriteBytes(paths.position_list, "a\t1\r\nb\t2\r\n");
  flush_file = reinterpret_cast<decltype(flush_file)>(RedirectImport(
      "kernel32.dll", "FlushFileBuffers", reinterpret_cast<void*>(&CountedFlushFileBuffers)));
  flush_key = reinterpret_cast<decltype(flush_key)>(
      RedirectImport("advapi32.dll", "RegFlushKey", reinterpret_cast<void*>(&CountedRegFlushKey)));
  ASSERT_NE(flush_file, nullptr);
  ASSERT_NE(flush_key, nullptr);
  RegistrySettings settings;
  const std::string message = endgame::RebuildEndgameSet(paths, "1", 1, settings);
  RedirectImport("kernel32.dll", "FlushFileBuffers", reinterpret_cast<void*>(flush_file));
  RedirectImport("advapi32.dll", "RegFlushKey", reinterpret_cast<void*>(flush_key));
  EXPECT_EQ(message, "调整完毕共 1 关");
  EXPECT_EQ(tests::ReadBytes(paths.endgame_set), "a\t1\r\n");
  EXPECT_EQ(file_flushes, 2);
  EXPECT_EQ(key_flushes, 1);
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
