#include "runtime/registry_settings.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "runtime/failure.h"
#include "settings/trainer_progress.h"
#include "tests/support/registry_values.h"

namespace velkaro::runtime {
namespace {

constexpr wchar_t kTestKey[] = L"Software\\VB and VBA Program Settings\\velkaro-test";
constexpr wchar_t kTestSection[] = L"Software\\VB and VBA Program Settings\\velkaro-test\\gui";

class Registry : public ::testing::Test {
 protected:
  void SetUp() override { ::RegDeleteTreeW(HKEY_CURRENT_USER, kTestKey); }
  void TearDown() override { ::RegDeleteTreeW(HKEY_CURRENT_USER, kTestKey); }
};

TEST_F(Registry, CreatesTheKeyAndStoresTextValues) {
  RegistrySettings store;
  store.OpenSection("velkaro-test", "gui")->Save("last", "32767");
  EXPECT_EQ(tests::ReadRegistryText(kTestSection, L"last"), L"32767");
  // Stored with its terminating NUL, as the trainer's runtime writes and reads it.
  HKEY key = nullptr;
  ASSERT_EQ(::RegOpenKeyExW(HKEY_CURRENT_USER, kTestSection, 0, KEY_QUERY_VALUE, &key),
            ERROR_SUCCESS);
  DWORD size = 0;
  EXPECT_EQ(::RegQueryValueExW(key, L"last", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(size, 12u);
  ::RegCloseKey(key);
}

TEST_F(Registry, ReplacesEarlierValuesAndLeavesOthersAlone) {
  RegistrySettings store;
  auto section = store.OpenSection("velkaro-test", "gui");
  section->Save("last", "1234567");
  section->Save("other", "kept");
  section->Save("last", "7");
  EXPECT_EQ(tests::ReadRegistryText(kTestSection, L"last"), L"7");
  EXPECT_EQ(tests::ReadRegistryText(kTestSection, L"other"), L"kept");
}

// Opening creates no key, so a run that fails before saving has nothing to
// undo; the first save creates it.
TEST_F(Registry, OpeningCreatesNothingAndTheFirstSaveCreatesTheSection) {
  RegistrySettings store;
  auto section = store.OpenSection("velkaro-test", "gui");
  HKEY probe = nullptr;
  EXPECT_EQ(::RegOpenKeyExW(HKEY_CURRENT_USER, kTestKey, 0, KEY_READ, &probe),
            ERROR_FILE_NOT_FOUND);
  section->Save("curr", "0");
  section.reset();
  store.OpenSection("velkaro-test", "gui");
  EXPECT_EQ(tests::ReadRegistryText(kTestSection, L"curr"), L"0");
}

// A key above the section that can hold no lasting key (a volatile one) is
// found on opening, before anything is changed, and leaves nothing behind.
TEST_F(Registry, ASectionThatCannotBeCreatedIsFoundOnOpening) {
  HKEY application = nullptr;
  ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, kTestKey, 0, nullptr, REG_OPTION_VOLATILE,
                              KEY_READ, nullptr, &application, nullptr),
            ERROR_SUCCESS);
  RegistrySettings store;
  try {
    store.OpenSection("velkaro-test", "gui\\deeper");
    ADD_FAILURE() << "opened";
  } catch (const Failure& failure) {
    const std::string message = failure.what();
    EXPECT_EQ(message.rfind("无法打开设置“HKEY_CURRENT_USER\\Software\\VB and VBA Program "
                            "Settings\\velkaro-test\\gui\\deeper”：",
                            0),
              0u)
        << message;
    EXPECT_TRUE(message.ends_with("（错误代码 1021）")) << message;
  }
  DWORD keys = 1;
  DWORD values = 1;
  EXPECT_EQ(::RegQueryInfoKeyW(application, nullptr, nullptr, nullptr, &keys, nullptr, nullptr,
                               &values, nullptr, nullptr, nullptr, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(keys, 0u);
  EXPECT_EQ(values, 0u);
  ::RegCloseKey(application);
}

// Where the keys above the section are missing, opening creates none of them.
TEST_F(Registry, OpeningWhereKeysAboveAreMissingCreatesNone) {
  RegistrySettings store;
  store.OpenSection("velkaro-test", "gui\\deeper");
  HKEY probe = nullptr;
  EXPECT_EQ(::RegOpenKeyExW(HKEY_CURRENT_USER, kTestKey, 0, KEY_READ, &probe),
            ERROR_FILE_NOT_FOUND);
}

TEST_F(Registry, HoldsTheTrainersProgressWhereTheTrainerReadsIt) {
  const wchar_t* key = L"Software\\VB and VBA Program Settings\\kestrow\\gui";
  RegistrySettings store;
  settings::ResetTrainerProgress(*settings::OpenTrainerSettings(store), 14, true);
  EXPECT_EQ(tests::ReadRegistryText(key, L"curr"), L"0");
  EXPECT_EQ(tests::ReadRegistryText(key, L"last"), L"14");
  settings::ResetTrainerProgress(*settings::OpenTrainerSettings(store), 14, false);
  EXPECT_EQ(tests::ReadRegistryText(key, L"last"), L"0");
}

}  // namespace
}  // namespace velkaro::runtime
