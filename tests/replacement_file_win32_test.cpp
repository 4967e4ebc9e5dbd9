#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/failure.h"
#include "runtime/files.h"
#include "runtime/files_system.h"
#include "tests/support/same_bytes.h"
#include "tests/support/scratch_folder.h"

namespace velkaro::runtime {
namespace {

// Where the system does not know the POSIX form of the rename (Windows before
// 10 1607, FAT, network shares), the plain form through the handle replaces.
TEST(ReplacementFile, ThePlainRenameThroughTheHandleReplacesTheTarget) {
  const tests::ScratchFolder folder;
  const std::filesystem::path target = folder.path() / "VIRLA.EPD";
  const std::filesystem::path made = folder.path() / "VIRLA.EPD.3-0.tmp";
  tests::WriteBytes(target, "old");
  const HANDLE file = ::CreateFileW(made.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  ::WriteFile(file, "new", 3, &written, nullptr);
  EXPECT_EQ(system::RenameByHandle(file, target, false), system::Outcome::kDone);
  ::CloseHandle(file);
  EXPECT_EQ(tests::ReadBytes(target), "new");
  EXPECT_EQ(tests::EntriesOf(folder.path()), std::vector<std::string>{"VIRLA.EPD"});
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
