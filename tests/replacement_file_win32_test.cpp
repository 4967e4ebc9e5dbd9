#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/failure.h"
#include "runtime/files.h"
#include "tests/support/scratch_folder.h"

namespace velkaro::runtime {
namespace {

// When another program holds the new file rather than the set (a virus
// scanner that opened it the moment it was written), the failure names the
// new file, and the set stays.
TEST(ReplacementFile, AFailureNamesTheNewFileWhenAnotherProgramHoldsIt) {
  const tests::ScratchFolder folder;
  const std::filesystem::path target = folder.path() / "VIRLA.EPD";
  tests::WriteBytes(target, "old");
  std::string message;
  {
    ReplacementFile replacement(target);
    replacement.Write("new");
    replacement.Finish();
    const std::vector<std::string> entries = tests::EntriesOf(folder.path());
    ASSERT_EQ(entries.size(), 2u);
    const std::filesystem::path new_file = folder.path() / entries[1];
    const HANDLE held = ::CreateFileW(new_file.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    try {
      replacement.Commit();
    } catch (const Failure& failure) {
      message = failure.what();
    }
    ::CloseHandle(held);
    const std::u8string spelled = new_file.u8string();
    EXPECT_EQ(
        message.rfind("无法移动新文件“" + std::string(spelled.begin(), spelled.end()) + "”：", 0),
        0u)
        << message;
    EXPECT_TRUE(message.ends_with("（错误代码 32）")) << message;
  }
  EXPECT_EQ(tests::ReadBytes(target), "old");
}

}  // namespace
}  // namespace velkaro::runtime
