#include "runtime/registry_settings.h"

#include <windows.h>

#include <gtest/gtest.h>

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
