#include "runtime/folder_lock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <optional>
#include <thread>
#include <vector>

#include "tests/support/scratch_folder.h"

#if defined(_WIN32)
#include <windows.h>
#endif

namespace velkaro::runtime {
namespace {

namespace fs = std::filesystem;

// Other spellings of `folder`: the lock must be one lock for all of them.
std::vector<fs::path> OtherSpellingsOf(const fs::path& folder) {
  std::vector<fs::path> spellings = {folder / ""};
#if defined(_WIN32)
  wchar_t short_name[1024] = {};
  if (::GetShortPathNameW(folder.c_str(), short_name, 1024) != 0) {
    spellings.emplace_back(short_name);
  }
  std::wstring upper = folder.wstring();
  ::CharUpperBuffW(upper.data(), static_cast<DWORD>(upper.size()));
  spellings.emplace_back(upper);
#else
  fs::create_directory_symlink(folder, folder.parent_path() / "link");
  spellings.push_back(folder.parent_path() / "link");
#endif
  return spellings;
}

TEST(FolderLock, IsOneLockForEverySpellingOfTheFolder) {
  const tests::ScratchFolder scratch("velkaro-lock");
  const fs::path folder = scratch.path() / "Endgames for training";
  fs::create_directory(folder);
  const std::vector<fs::path> spellings = OtherSpellingsOf(folder);
  ASSERT_GE(spellings.size(), 2u);
  for (const fs::path& other : spellings) {
    std::optional<FolderLock> held(std::in_place, folder);
    std::atomic<bool> taken = false;
    std::thread second([&] {
      const FolderLock lock(other);
      taken = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_FALSE(taken) << other.string() << " got the lock while it was held";
    held.reset();
    second.join();
    EXPECT_TRUE(taken);
  }
}

}  // namespace
}  // namespace velkaro::runtime
