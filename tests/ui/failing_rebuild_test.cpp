#include <windows.h>
// aclapi.h, sddl.h and shlobj.h need windows.h first.
#include <aclapi.h>
#include <sddl.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "tests/support/registry_values.h"
#include "tests/support/same_bytes.h"
#include "tests/ui/program_fixture.h"
#include "tests/ui/ui_driver.h"

namespace velkaro::tests {
namespace {

namespace fs = std::filesystem;

// What the user meets when the rebuild cannot be done: an error message that
// names the file or setting, exit code 1, and everything as it was.
class FailingRebuild : public Program {
 protected:
  using Program::Program;

  // Presses the button and reads the error message.
  MessageBoxContent PressForError() {
    Click((*this)[kCommand1]);
    const MessageBoxContent box = AnswerMessageBox();
    EXPECT_EQ(box.caption, L"Velkaro");
    EXPECT_TRUE(box.has_icon);
    EXPECT_EQ(program_->WaitForExit(), 1u);
    return box;
  }

  static bool StartsWith(const std::wstring& text, const std::wstring& start) {
    return text.rfind(start, 0) == 0;
  }
};

TEST_F(FailingRebuild, AReadOnlySetIsKept) {
  ASSERT_NE(Start(), nullptr);
  ::SetFileAttributesW(set_.c_str(), FILE_ATTRIBUTE_READONLY);
  const MessageBoxContent box = PressForError();
  ::SetFileAttributesW(set_.c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_TRUE(StartsWith(box.text, L"无法替换文件" + PathText(set_) + L"：")) << box.text.size();
  ExpectNothingChanged();
}

// Held by a program that shares nothing, or only reading.
TEST_F(FailingRebuild, ASetHeldOpenByAnotherProgramIsKept) {
  for (const DWORD sharing : {0ul, static_cast<DWORD>(FILE_SHARE_READ)}) {
    ASSERT_NE(Start(), nullptr);
    const HANDLE held = ::CreateFileW(set_.c_str(), GENERIC_READ, sharing, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    const MessageBoxContent box = PressForError();
    ::CloseHandle(held);
    EXPECT_TRUE(StartsWith(box.text, L"无法替换文件" + PathText(set_) +
                                         L"：文件正被其他程序使用，请关闭训练程序等可能打开它的"
                                         L"程序后再试（错误代码 "))
        << sharing;
    ExpectNothingChanged();
  }
}

// Settings keys that a failed rebuild created are removed again.
TEST_F(FailingRebuild, LeavesNoSettingsKeyItMade) {
  const wchar_t* trainer_key = L"Software\\VB and VBA Program Settings\\kestrow";
  ::RegDeleteTreeW(HKEY_CURRENT_USER, trainer_key);
  ASSERT_NE(Start(), nullptr);
  ::SetFileAttributesW(set_.c_str(), FILE_ATTRIBUTE_READONLY);
  PressForError();
  ::SetFileAttributesW(set_.c_str(), FILE_ATTRIBUTE_NORMAL);
  HKEY key = nullptr;
  EXPECT_EQ(::RegOpenKeyExW(HKEY_CURRENT_USER, trainer_key, 0, KEY_READ, &key),
            ERROR_FILE_NOT_FOUND);
  EXPECT_TRUE(tests::SameBytes(ReadBytes(set_), kOldSet));
}

// A settings key that cannot be made (under a volatile key, which holds no
// lasting one) is found before the set is replaced, and leaves no key behind.
TEST_F(FailingRebuild, ASettingsKeyThatCannotBeMadeIsFoundFirst) {
  const wchar_t* trainer_key = L"Software\\VB and VBA Program Settings\\kestrow";
  ::RegDeleteTreeW(HKEY_CURRENT_USER, trainer_key);
  HKEY volatile_key = nullptr;
  ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, trainer_key, 0, nullptr, REG_OPTION_VOLATILE,
                              KEY_READ, nullptr, &volatile_key, nullptr),
            ERROR_SUCCESS);
  ASSERT_NE(Start(), nullptr);
  const MessageBoxContent box = PressForError();
  EXPECT_TRUE(StartsWith(box.text,
                         L"无法打开设置“HKEY_CURRENT_USER\\" + std::wstring(kSettingsKey) + L"”："))
      << box.text.size();
  EXPECT_TRUE(box.text.ends_with(L"（错误代码 1021）")) << box.text.size();
  DWORD keys = 1;
  EXPECT_EQ(::RegQueryInfoKeyW(volatile_key, nullptr, nullptr, nullptr, &keys, nullptr, nullptr,
                               nullptr, nullptr, nullptr, nullptr, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(keys, 0u);
  ::RegCloseKey(volatile_key);
  ::RegDeleteTreeW(HKEY_CURRENT_USER, trainer_key);
  EXPECT_TRUE(tests::SameBytes(ReadBytes(set_), kOldSet));
  EXPECT_EQ(EntriesOf(endgames_), std::vector<std::string>{"VIRLA.EPD"});
}

// Makes `link` (below HKEY_CURRENT_USER) a registry link to `target` (below it too).
bool MakeRegistryLink(const std::wstring& link, const std::wstring& target) {
  HANDLE token = nullptr;
  ::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token);
  alignas(TOKEN_USER) BYTE user[256];
  DWORD size = 0;
  wchar_t* sid = nullptr;
  const bool known = ::GetTokenInformation(token, TokenUser, user, sizeof user, &size) &&
                     ::ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(user)->User.Sid, &sid);
  ::CloseHandle(token);
  if (!known) {
    return false;
  }
  const std::wstring to = L"\\REGISTRY\\USER\\" + std::wstring(sid) + L"\\" + target;
  ::LocalFree(sid);
  HKEY key = nullptr;
  if (::RegCreateKeyExW(
          HKEY_CURRENT_USER, link.c_str(), 0, nullptr, REG_OPTION_VOLATILE | REG_OPTION_CREATE_LINK,
          KEY_ALL_ACCESS | KEY_CREATE_LINK, nullptr, &key, nullptr) != ERROR_SUCCESS) {
    return false;
  }
  const bool made =
      ::RegSetValueExW(key, L"SymbolicLinkValue", 0, REG_LINK,
                       reinterpret_cast<const BYTE*>(to.data()),
                       static_cast<DWORD>(to.size() * sizeof(wchar_t))) == ERROR_SUCCESS;
  ::RegCloseKey(key);
  return made;
}

// Removes the link itself, not what it points to.
void RemoveRegistryLink(const std::wstring& link) {
  HKEY key = nullptr;
  if (::RegOpenKeyExW(HKEY_CURRENT_USER, link.c_str(), REG_OPTION_OPEN_LINK, DELETE, &key) ==
      ERROR_SUCCESS) {
    using DeleteKey = LONG(WINAPI*)(HANDLE);
    const auto delete_key = reinterpret_cast<DeleteKey>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "NtDeleteKey")));
    delete_key(key);
    ::RegCloseKey(key);
  }
}

// The section a link to a key whose parent is missing: found before the set
// is replaced, as any section that cannot be made.
TEST_F(FailingRebuild, ASettingsSectionThatLinksNowhereIsFoundFirst) {
  const std::wstring trainer_key = L"Software\\VB and VBA Program Settings\\kestrow";
  ::RegDeleteTreeW(HKEY_CURRENT_USER, trainer_key.c_str());
  CreateRegistryKey(trainer_key);
  ASSERT_TRUE(MakeRegistryLink(kSettingsKey, trainer_key + L"\\missing\\gui"));
  ASSERT_NE(Start(), nullptr);
  const MessageBoxContent box = PressForError();
  RemoveRegistryLink(kSettingsKey);
  EXPECT_TRUE(StartsWith(box.text,
                         L"无法打开设置“HKEY_CURRENT_USER\\" + std::wstring(kSettingsKey) + L"”："))
      << box.text.size();
  EXPECT_TRUE(box.text.ends_with(L"（错误代码 2）")) << box.text.size();
  ::RegDeleteTreeW(HKEY_CURRENT_USER, trainer_key.c_str());
  EXPECT_TRUE(tests::SameBytes(ReadBytes(set_), kOldSet));
  EXPECT_EQ(EntriesOf(endgames_), std::vector<std::string>{"VIRLA.EPD"});
}

// The trainer's copy below VirtualStore, where Windows would keep it for a set
// at `set`.
fs::path TwinOf(const fs::path& set) {
  PWSTR local = nullptr;
  EXPECT_TRUE(SUCCEEDED(::SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &local)));
  const fs::path store = fs::path(local) / L"VirtualStore";
  ::CoTaskMemFree(local);
  return store / set.relative_path();
}

// UAC on, as on Windows (Wine's prefix has it off), for as long as it lives.
class UacOn {
 public:
  UacOn() {
    ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, kPolicies, 0, nullptr, 0, KEY_SET_VALUE | KEY_QUERY_VALUE,
                      nullptr, &key_, nullptr);
    DWORD size = sizeof before_;
    had_ = ::RegQueryValueExW(key_, L"EnableLUA", nullptr, nullptr,
                              reinterpret_cast<BYTE*>(&before_), &size) == ERROR_SUCCESS;
    const DWORD on = 1;
    ::RegSetValueExW(key_, L"EnableLUA", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&on),
                     sizeof on);
  }
  ~UacOn() {
    if (had_) {
      ::RegSetValueExW(key_, L"EnableLUA", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&before_),
                       sizeof before_);
    } else {
      ::RegDeleteValueW(key_, L"EnableLUA");
    }
    ::RegCloseKey(key_);
  }
  UacOn(const UacOn&) = delete;
  UacOn& operator=(const UacOn&) = delete;

 private:
  static constexpr const wchar_t* kPolicies =
      L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System";
  HKEY key_ = nullptr;
  DWORD before_ = 0;
  bool had_ = false;
};

// The trainer installed in Program Files, and the program run elevated (as
// Wine runs every program) with UAC on.
class TrainerInProgramFiles : public FailingRebuild {
 protected:
  TrainerInProgramFiles() : FailingRebuild("velkaro-ui", ProgramFiles()) {}

  static fs::path ProgramFiles() {
    PWSTR path = nullptr;
    EXPECT_TRUE(SUCCEEDED(::SHGetKnownFolderPath(FOLDERID_ProgramFiles, 0, nullptr, &path)));
    const fs::path folder = path;
    ::CoTaskMemFree(path);
    return folder;
  }

  UacOn uac_on_;
};

// Not virtualized (run as administrator), the program would change a set that
// the trainer, virtualized, does not read: it refuses and names both copies.
TEST_F(TrainerInProgramFiles, ASetThatTheTrainerReadsFromVirtualStoreIsLeftAlone) {
  const fs::path twin = TwinOf(set_);
  const bool store_was_there = fs::exists(twin.parent_path());
  fs::create_directories(twin.parent_path());
  WriteBytes(twin, "twin");
  ASSERT_NE(Start(), nullptr);
  const MessageBoxContent box = PressForError();
  EXPECT_EQ(box.text,
            L"残局题库有两份：本程序现在更换的是" + PathText(set_) +
                L"，而正常运行（不以管理员身份）的训练程序读取的是 Windows 为它保存的副本" +
                PathText(twin) +
                L"。请不要以管理员身份运行本程序，它才会更换训练程序读取的题库。"
                L"如果训练程序本身总是以管理员身份运行，那份副本已经过时，可以删除。"
                L"没有作任何更改。");
  EXPECT_EQ(ReadBytes(twin), "twin");
  fs::remove(twin);
  if (!store_was_there) {
    fs::remove(twin.parent_path());
  }
  ExpectNothingChanged();
}

// Windows virtualizes nothing outside its protected folders: a file where a
// twin of a set elsewhere would be is no reason to refuse.
TEST_F(Program, ATwinOfASetOutsideProgramFilesIsNoSecondCopy) {
  const UacOn uac_on;
  const fs::path twin = TwinOf(set_);
  fs::create_directories(twin.parent_path());
  WriteBytes(twin, "twin");
  RebuildLevel12();
  EXPECT_EQ(ReadBytes(twin), "twin");
  fs::remove_all(TwinOf(folder_.path()));
}

TEST_F(FailingRebuild, APositionListThatIsAFolderIsNamed) {
  fs::remove(folder_.path() / "chessfen.txt");
  fs::create_directory(folder_.path() / "chessfen.txt");
  ASSERT_NE(Start(), nullptr);
  const MessageBoxContent box = PressForError();
  EXPECT_TRUE(StartsWith(box.text, L"无法打开文件" + PathText(folder_.path() / "chessfen.txt")))
      << box.text.size();
  ExpectNothingChanged();
}

// Settings that everyone may read and, when `writable`, write.
void SetAccess(const wchar_t* key_path, bool writable) {
  HKEY key = nullptr;
  ASSERT_EQ(::RegOpenKeyExW(HKEY_CURRENT_USER, key_path, 0, WRITE_DAC, &key), ERROR_SUCCESS);
  EXPLICIT_ACCESSW access{};
  access.grfAccessPermissions = writable ? KEY_ALL_ACCESS : KEY_READ;
  access.grfAccessMode = SET_ACCESS;
  access.grfInheritance = NO_INHERITANCE;
  access.Trustee.TrusteeForm = TRUSTEE_IS_NAME;
  access.Trustee.TrusteeType = TRUSTEE_IS_WELL_KNOWN_GROUP;
  wchar_t everyone[] = L"EVERYONE";
  access.Trustee.ptstrName = everyone;
  PACL acl = nullptr;
  ASSERT_EQ(::SetEntriesInAclW(1, &access, nullptr, &acl), ERROR_SUCCESS);
  SECURITY_DESCRIPTOR descriptor{};
  ::InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
  ::SetSecurityDescriptorDacl(&descriptor, TRUE, acl, FALSE);
  EXPECT_EQ(::RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &descriptor), ERROR_SUCCESS);
  ::LocalFree(acl);
  ::RegCloseKey(key);
}

TEST_F(FailingRebuild, SettingsThatCannotBeWrittenChangeNothing) {
  SetAccess(kSettingsKey, false);
  HKEY probe = nullptr;
  const LSTATUS denied = ::RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_SET_VALUE, &probe);
  if (denied == ERROR_SUCCESS) {
    ::RegCloseKey(probe);
    GTEST_SKIP() << "this system does not enforce registry permissions";
  }
  ASSERT_NE(Start(), nullptr);
  const MessageBoxContent box = PressForError();
  SetAccess(kSettingsKey, true);
  EXPECT_TRUE(StartsWith(box.text,
                         L"无法打开设置“HKEY_CURRENT_USER\\" + std::wstring(kSettingsKey) + L"”："))
      << box.text.size();
  ExpectNothingChanged();
}

TEST_F(FailingRebuild, ALevelBeyondTheCodePageOrVeryLongIsTakenAsTyped) {
  const std::wstring long_level(40000, L'7');
  WriteBytes(folder_.path() / "chessfen.txt",
             "a\t" + std::string(40000, '7') + "\r\nb\t" + std::string(39999, '7') + "\r\n");
  ASSERT_NE(Start(), nullptr);
  ::SendMessageW((*this)[kText1], EM_SETSEL, 0, -1);
  ::SendMessageW((*this)[kText1], EM_REPLACESEL, TRUE,
                 reinterpret_cast<LPARAM>(long_level.c_str()));
  EXPECT_TRUE(TextOf((*this)[kText1]) == long_level);
  Click((*this)[kCommand1]);
  EXPECT_EQ(AnswerMessageBox().text, L"调整完毕共 1 关");
  EXPECT_EQ(program_->WaitForExit(), 0u);
  EXPECT_TRUE(tests::SameBytes(ReadBytes(set_), "a\t" + std::string(40000, '7') + "\r\n"));

  // A window with a 40,000-character level takes a while to open where the
  // machine is emulated.
  ASSERT_NE(Start(60), nullptr);
  Type(L"\U0001F600");  // not in code page 936: no line can carry it
  const std::wstring typed = TextOnceTyped((*this)[kText1], L"\U0001F600", 60);
  EXPECT_EQ(typed, L"\U0001F600") << typed.size() << " characters";
  Click((*this)[kCommand1]);
  EXPECT_EQ(AnswerMessageBox().text, L"级别不在范围（1-179）内");
  EXPECT_EQ(program_->WaitForExit(), 0u);
  EXPECT_TRUE(tests::SameBytes(ReadBytes(set_), ""));
}

// Two copies started in one folder, both pressed at once: the set and the
// progress afterwards are whole from one of them.
class TwoCopies : public Program {};

TEST_F(TwoCopies, PressedAtOnceNeverMix) {
  ASSERT_NE(Start(), nullptr);
  const auto first_controls = controls_;
  auto first = std::move(program_);
  ASSERT_NE(Start(), nullptr);
  const auto second_controls = controls_;
  auto second = std::move(program_);
  ::SetWindowTextW(first_controls[kText1], L"12");
  ::SetWindowTextW(second_controls[kText1], L"7");
  for (const auto* controls : {&first_controls, &second_controls}) {
    ::SendMessageW((*controls)[kCheck1], BM_SETCHECK, BST_CHECKED, 0);
  }
  ::PostMessageW(first_controls[kCommand1], BM_CLICK, 0, 0);
  ::PostMessageW(second_controls[kCommand1], BM_CLICK, 0, 0);
  for (auto* program : {&first, &second}) {
    program_ = std::move(*program);
    AnswerMessageBox(/*by_keyboard=*/false);
    EXPECT_EQ(program_->WaitForExit(), 0u);
  }
  const std::string set = ReadBytes(set_);
  if (set == kLevel12) {
    EXPECT_EQ(ReadRegistryText(kSettingsKey, L"last"), L"3");
  } else {
    EXPECT_EQ(set, "8/8/8/4k3/8/8/4P3/4K3 w - - 0 1\t7\r\n");
    EXPECT_EQ(ReadRegistryText(kSettingsKey, L"last"), L"1");
  }
  EXPECT_EQ(EntriesOf(endgames_), std::vector<std::string>{"VIRLA.EPD"});
}

// A copy whose rebuild fails never takes away what another copy saved. No
// settings key yet; copy A's set is held by another program for good; A is
// pressed first, and copy B, in another folder, while A waits for its set.
TEST_F(TwoCopies, AFailedCopyLeavesTheProgressAnotherOneSaved) {
  ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\VB and VBA Program Settings\\kestrow");
  const ScratchFolder other("velkaro-ui-b");
  fs::create_directory(other.path() / "ENDGAMES");
  WriteBytes(other.path() / "ENDGAMES" / "VIRLA.EPD", kOldSet);
  WriteBytes(other.path() / "chessfen.txt", kList);
  ASSERT_NE(Start(), nullptr);
  const auto a_controls = controls_;
  auto a = std::move(program_);
  program_ = std::make_unique<RunningProgram>(ProgramPath(), other.path());
  const HWND b_form = program_->WaitForWindow(kFormClass);
  ASSERT_NE(b_form, nullptr);
  const auto b_controls = ControlsOf(b_form);
  auto b = std::move(program_);
  const HANDLE held = ::CreateFileW(set_.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  for (const auto* controls : {&a_controls, &b_controls}) {
    ::SetWindowTextW((*controls)[kText1], L"12");
    ::SendMessageW((*controls)[kCheck1], BM_SETCHECK, BST_CHECKED, 0);
  }
  ::PostMessageW(a_controls[kCommand1], BM_CLICK, 0, 0);
  ::Sleep(500);  // A is retrying the replace for about two seconds
  ::PostMessageW(b_controls[kCommand1], BM_CLICK, 0, 0);
  program_ = std::move(b);
  EXPECT_EQ(AnswerMessageBox(/*by_keyboard=*/false).text, L"调整完毕共 3 关");
  EXPECT_EQ(program_->WaitForExit(), 0u);
  program_ = std::move(a);
  const std::wstring failure = AnswerMessageBox(/*by_keyboard=*/false).text;
  EXPECT_EQ(program_->WaitForExit(), 1u);
  ::CloseHandle(held);
  EXPECT_EQ(failure.rfind(L"无法替换文件“" + set_.wstring() + L"”：", 0), 0u) << failure.size();
  EXPECT_EQ(ReadRegistryText(kSettingsKey, L"curr"), L"0");
  EXPECT_EQ(ReadRegistryText(kSettingsKey, L"last"), L"3");
  EXPECT_TRUE(tests::SameBytes(ReadBytes(set_), kOldSet));
  EXPECT_TRUE(tests::SameBytes(ReadBytes(other.path() / "ENDGAMES" / "VIRLA.EPD"), kLevel12));
}

// A real full disk: the test run mounts a small file system and names it.
class FullDisk : public FailingRebuild {
 protected:
  FullDisk() : FailingRebuild("velkaro-ui", SmallDisk()) {}

  static fs::path SmallDisk() {
    const char* unix_path = std::getenv("VELKARO_SMALL_DISK");
    if (unix_path == nullptr) {
      return fs::temp_directory_path();
    }
    std::wstring path = L"Z:";
    for (const char* c = unix_path; *c != '\0'; ++c) {
      path += *c == '/' ? L'\\' : static_cast<wchar_t>(*c);
    }
    return path;
  }
};

TEST_F(FullDisk, SmallDiskAFullDiskKeepsTheSet) {
  if (std::getenv("VELKARO_SMALL_DISK") == nullptr) {
    GTEST_SKIP() << "runs on a small file system mounted for it";
  }
  std::string list;
  for (int i = 0; i < 5000; ++i) {
    list += "8/8/8/8/8/8/8/8 w - - 0 " + std::to_string(i) + "\t12\r\n";
  }
  WriteBytes(folder_.path() / "chessfen.txt", list);  // about half the disk
  ASSERT_NE(Start(), nullptr);
  Type(L"12");
  const MessageBoxContent box = PressForError();
  // The new file's name holds the program's process ID.
  const std::wstring set = set_.wstring();
  EXPECT_TRUE(StartsWith(box.text, L"无法写入新文件“" + set + L".")) << box.text.size();
  EXPECT_NE(box.text.find(L"-0.tmp”："), std::wstring::npos) << box.text.size();
  EXPECT_TRUE(box.text.ends_with(L"（错误代码 112）；文件“" + set + L"”未作更改。"))
      << box.text.size();
  ExpectNothingChanged();
}

}  // namespace
}  // namespace velkaro::tests
