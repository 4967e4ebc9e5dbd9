#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/registry_values.h"
#include "tests/support/same_bytes.h"
#include "tests/support/scratch_folder.h"
#include "tests/ui/program_fixture.h"
#include "tests/ui/symbolic_link.h"
#include "tests/ui/ui_driver.h"

namespace velkaro::tests {
namespace {

namespace fs = std::filesystem;
using namespace std::string_view_literals;

int Pixels(int twips) {
  const HDC screen = ::GetDC(nullptr);
  const int dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
  ::ReleaseDC(nullptr, screen);
  return ::MulDiv(twips, dpi, 1440);
}

// Whether the box is ticked, waiting a moment for a click to be taken in.
bool CheckedSoon(HWND check_box) {
  for (int i = 0; i < 100; ++i) {
    if (::SendMessageW(check_box, BM_GETCHECK, 0, 0) == BST_CHECKED) {
      return true;
    }
    ::Sleep(50);
  }
  return false;
}

void ExpectRect(HWND form, HWND control, int left, int top, int width, int height) {
  const RECT rect = RectIn(form, control);
  EXPECT_EQ(rect.left, Pixels(left)) << TextOf(control).size();
  EXPECT_EQ(rect.top, Pixels(top));
  EXPECT_EQ(rect.right - rect.left, Pixels(width));
  EXPECT_EQ(rect.bottom - rect.top, Pixels(height));
}

TEST_F(Program, ShowsTheDesignedWindowWithTheCurrentLevel) {
  const HWND form = Start();
  ASSERT_NE(form, nullptr);
  EXPECT_EQ(TextOf(form), L"训练Velkaro");
  const RECT client = ClientRect(form);
  EXPECT_EQ(client.right, Pixels(3660));
  EXPECT_EQ(client.bottom, Pixels(2220));

  EXPECT_EQ(ClassOf((*this)[kLabel1]), L"Static");
  EXPECT_EQ(TextOf((*this)[kLabel1]), L"训练级别(1-179)");
  ExpectRect(form, (*this)[kLabel1], 200, 500, 1400, 300);
  EXPECT_EQ(ClassOf((*this)[kText1]), L"Edit");
  EXPECT_EQ(TextOf((*this)[kText1]), L"7");
  ExpectRect(form, (*this)[kText1], 1650, 420, 1500, 300);
  EXPECT_EQ(ClassOf((*this)[kCommand1]), L"Button");
  EXPECT_EQ(TextOf((*this)[kCommand1]), L"更换题库");
  ExpectRect(form, (*this)[kCommand1], 1000, 1400, 1500, 500);
  EXPECT_EQ(ClassOf((*this)[kCheck1]), L"Button");
  EXPECT_EQ(TextOf((*this)[kCheck1]), L"Check1");
  EXPECT_EQ(::SendMessageW((*this)[kCheck1], BM_GETCHECK, 0, 0), BST_UNCHECKED);
  const RECT check = RectIn(form, (*this)[kCheck1]);
  EXPECT_EQ(check.left, Pixels(1300));
  EXPECT_EQ(check.top, Pixels(960));
  EXPECT_GE(check.right - check.left, Pixels(135));  // at least the box itself
  EXPECT_LT(check.right, RectIn(form, (*this)[kLabel2]).left);
  EXPECT_EQ(ClassOf((*this)[kLabel2]), L"Static");
  EXPECT_EQ(TextOf((*this)[kLabel2]), L"通关");
  ExpectRect(form, (*this)[kLabel2], 1650, 960, 975, 300);

  EXPECT_EQ(FocusOf(form), (*this)[kText1]);
  ::PostMessageW(form, WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_EQ(program_->WaitForExit(), 0u);
  ExpectNothingChanged();
}

TEST_F(Program, RebuildsTheSetForTheTypedLevelAndEnds) {
  ASSERT_NE(Start(), nullptr);
  Type(L"12");  // replaces the selected current level
  Click((*this)[kCheck1]);
  EXPECT_EQ(::SendMessageW((*this)[kCheck1], BM_GETCHECK, 0, 0), BST_CHECKED);
  Click((*this)[kCommand1]);
  const MessageBoxContent box = AnswerMessageBox();
  EXPECT_EQ(box.caption, L"Velkaro");
  EXPECT_EQ(box.text, L"调整完毕共 3 关");
  EXPECT_FALSE(box.has_icon);
  EXPECT_EQ(box.buttons.size(), 1u);
  EXPECT_EQ(program_->WaitForExit(), 0u);
  EXPECT_TRUE(tests::SameBytes(ReadBytes(set_), kLevel12));
  EXPECT_EQ(EntriesOf(endgames_), std::vector<std::string>{"VIRLA.EPD"});
  EXPECT_EQ(ReadRegistryText(kSettingsKey, L"curr"), L"0");
  EXPECT_EQ(ReadRegistryText(kSettingsKey, L"last"), L"3");
}

TEST_F(Program, AnUnknownLevelEmptiesTheSetAndSaysSo) {
  ASSERT_NE(Start(), nullptr);
  Type(L"180");
  Click((*this)[kCommand1]);
  const MessageBoxContent box = AnswerMessageBox();
  EXPECT_EQ(box.text, L"级别不在范围（1-179）内");
  EXPECT_FALSE(box.has_icon);
  EXPECT_EQ(program_->WaitForExit(), 0u);
  EXPECT_TRUE(tests::SameBytes(ReadBytes(set_), ""));
  EXPECT_EQ(ReadRegistryText(kSettingsKey, L"curr"), L"0");
  EXPECT_EQ(ReadRegistryText(kSettingsKey, L"last"), L"0");
}

TEST_F(Program, ShowsTheLevelOfTheLastLineOr100) {
  const struct {
    std::string_view set;
    const wchar_t* level;
  } cases[] = {
      {"a\t5\r\nb\t 12\r\n\r\n", L" 12"},
      {"", L"100"},
  };
  for (const auto& each : cases) {
    WriteBytes(set_, each.set);
    const HWND form = Start();
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(TextOf((*this)[kText1]), each.level);
    ::PostMessageW(form, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_EQ(program_->WaitForExit(), 0u);
  }
  fs::remove(set_);
  const HWND form = Start();
  ASSERT_NE(form, nullptr);
  EXPECT_EQ(TextOf((*this)[kText1]), L"100");
  ::PostMessageW(form, WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_EQ(program_->WaitForExit(), 0u);
  EXPECT_FALSE(fs::exists(set_));
}

TEST_F(Program, EnterEscAndTheCaptionStartNothing) {
  const HWND form = Start();
  ASSERT_NE(form, nullptr);
  PressKey(VK_RETURN);
  PressKey(VK_ESCAPE);
  Click((*this)[kLabel2]);
  EXPECT_EQ(::SendMessageW((*this)[kCheck1], BM_GETCHECK, 0, 0), BST_UNCHECKED);
  EXPECT_FALSE(program_->ShowsWindow(kMessageBoxClass, 1.5));
  EXPECT_EQ(program_->WaitForExit(0), std::nullopt);
  ::PostMessageW(form, WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_EQ(program_->WaitForExit(), 0u);
  ExpectNothingChanged();
}

TEST_F(Program, TabGoesThroughTheControlsAndEnterPressesTheButton) {
  const HWND form = Start();
  ASSERT_NE(form, nullptr);
  PressKey(VK_TAB);
  EXPECT_EQ(FocusOf(form), (*this)[kCommand1]);
  PressKey(VK_TAB);
  EXPECT_EQ(FocusOf(form), (*this)[kCheck1]);
  PressKey(VK_SPACE);
  EXPECT_EQ(::SendMessageW((*this)[kCheck1], BM_GETCHECK, 0, 0), BST_CHECKED);
  PressKey(VK_TAB);
  EXPECT_EQ(FocusOf(form), (*this)[kText1]);
  PressKey(VK_TAB);
  PressKey(VK_RETURN);
  EXPECT_EQ(AnswerMessageBox().text, L"调整完毕共 1 关");  // level 7, as shown at start
  EXPECT_EQ(program_->WaitForExit(), 0u);
  EXPECT_EQ(ReadRegistryText(kSettingsKey, L"last"), L"1");
}

TEST_F(Program, PressesQueuedBehindTheFirstDoNothing) {
  const HWND form = Start();
  ASSERT_NE(form, nullptr);
  Type(L"12");
  Click((*this)[kCheck1]);  // ticked: "last" is the count
  const HWND button = (*this)[kCommand1];
  const HWND level_box = (*this)[kText1];
  // Posted messages overtake input: wait until the input was taken in.
  ASSERT_EQ(TextOnceTyped(level_box, L"12"), L"12");
  ASSERT_TRUE(CheckedSoon((*this)[kCheck1]));
  // Queued as automation delivers them, with level 7 typed between the presses.
  ::PostMessageW(button, BM_CLICK, 0, 0);
  for (const wchar_t key : {L'\b', L'\b', L'7'}) {
    ::PostMessageW(level_box, WM_CHAR, key, 0);
  }
  ::PostMessageW(form, WM_COMMAND, MAKEWPARAM(::GetDlgCtrlID(button), BN_CLICKED),
                 reinterpret_cast<LPARAM>(button));
  ::PostMessageW(button, BM_CLICK, 0, 0);
  const HWND box = program_->WaitForWindow(kMessageBoxClass);
  ASSERT_NE(box, nullptr);
  std::this_thread::sleep_for(std::chrono::seconds(1));  // time for a second box to show
  EXPECT_EQ(program_->Windows(kMessageBoxClass).size(), 1u);
  EXPECT_FALSE(::IsWindowEnabled(form));
  EXPECT_EQ(AnswerMessageBox().text, L"调整完毕共 3 关");
  EXPECT_EQ(program_->WaitForExit(), 0u);
  EXPECT_TRUE(tests::SameBytes(ReadBytes(set_), kLevel12));
  EXPECT_EQ(ReadRegistryText(kSettingsKey, L"last"), L"3");
}

TEST_F(Program, ACloseQueuedBehindThePressLeavesTheMessageToTheUser) {
  const HWND form = Start();
  ASSERT_NE(form, nullptr);
  Type(L"12");
  ASSERT_EQ(TextOnceTyped((*this)[kText1], L"12"), L"12");  // before the posted click
  ::PostMessageW((*this)[kCommand1], BM_CLICK, 0, 0);
  ::PostMessageW(form, WM_CLOSE, 0, 0);
  const HWND box = program_->WaitForWindow(kMessageBoxClass);
  ASSERT_NE(box, nullptr);
  std::this_thread::sleep_for(std::chrono::seconds(1));
  EXPECT_TRUE(::IsWindowVisible(box));
  EXPECT_EQ(program_->WaitForExit(0), std::nullopt);
  EXPECT_EQ(AnswerMessageBox(false).text, L"调整完毕共 3 关");
  EXPECT_EQ(program_->WaitForExit(), 0u);
  EXPECT_TRUE(tests::SameBytes(ReadBytes(set_), kLevel12));
}

// Keys pressed while the press is worked on (here, while another program
// holds the set) are no answer to the message that comes of it, a success or
// a failure: the box stands until the user answers it.
TEST_F(Program, KeysTypedDuringThePressLeaveTheMessageToTheUser) {
  const struct {
    std::vector<WORD> chord_after;  // after the Enter that presses the button
    DWORD held_for_ms;              // the rebuild gives up after about two seconds
    bool post_quit = false;         // as automation might
  } cases[] = {
      {{VK_RETURN}, 800},  {{VK_ESCAPE}, 800},       {{VK_MENU, VK_F4}, 800}, {{VK_RETURN}, 6000},
      {{VK_ESCAPE}, 6000}, {{VK_MENU, VK_F4}, 6000}, {{VK_SPACE}, 800, true},
  };
  for (const auto& each : cases) {
    SCOPED_TRACE(std::to_string(each.chord_after.back()) + " " + std::to_string(each.held_for_ms));
    WriteBytes(set_, kOldSet);
    const HWND form = Start();
    ASSERT_NE(form, nullptr);
    Type(L"12");
    ASSERT_EQ(TextOnceTyped((*this)[kText1], L"12"), L"12");
    PressKey(VK_TAB);  // to the button
    const HANDLE held = ::CreateFileW(set_.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    PressKey(VK_RETURN);
    if (each.chord_after.size() == 1) {
      PressKey(each.chord_after[0]);
    } else {
      PressKeys({each.chord_after[0], each.chord_after[1]});
    }
    if (each.post_quit) {
      ::PostThreadMessageW(::GetWindowThreadProcessId(form, nullptr), WM_QUIT, 0, 0);
    }
    ::Sleep(std::min<DWORD>(each.held_for_ms, 3000));
    ::CloseHandle(held);
    const HWND box = program_->WaitForWindow(kMessageBoxClass);
    ASSERT_NE(box, nullptr);
    std::this_thread::sleep_for(std::chrono::seconds(1));
    EXPECT_TRUE(::IsWindowVisible(box));
    EXPECT_EQ(program_->WaitForExit(0), std::nullopt);
    const std::wstring text = AnswerMessageBox().text;
    if (each.held_for_ms < 2000) {
      EXPECT_EQ(text, L"调整完毕共 3 关");
      EXPECT_EQ(program_->WaitForExit(), 0u);
      EXPECT_TRUE(tests::SameBytes(ReadBytes(set_), kLevel12));
    } else {
      EXPECT_EQ(text.rfind(L"无法替换文件" + PathText(set_) + L"：文件正被其他程序使用", 0), 0u)
          << text.size();
      EXPECT_EQ(program_->WaitForExit(), 1u);
      EXPECT_TRUE(tests::SameBytes(ReadBytes(set_), kOldSet));
    }
  }
}

TEST_F(Program, AMissingEndgameFolderIsReportedBeforeAnyWindow) {
  fs::remove_all(endgames_);
  program_ = std::make_unique<RunningProgram>(ProgramPath(), folder_.path());
  const HWND box = program_->WaitForWindow(kMessageBoxClass);
  ASSERT_NE(box, nullptr);
  EXPECT_FALSE(program_->ShowsWindow(kFormClass, 0));
  const MessageBoxContent content = AnswerMessageBox();
  EXPECT_EQ(content.caption, L"Velkaro");
  EXPECT_TRUE(content.has_icon);
  EXPECT_EQ(content.text, L"找不到残局题库的文件夹" + PathText(endgames_) +
                              L"。本程序在当前工作文件夹" + PathText(folder_.path()) +
                              L"中寻找它，但不会自行建立。");
  EXPECT_EQ(program_->WaitForExit(), 1u);
  EXPECT_FALSE(fs::exists(endgames_));
}

// What is in the way at start is named for what it is, before any window.
TEST_F(Program, WhatKeepsTheSetFromBeingReadIsReportedBeforeAnyWindow) {
  const auto start_up_error = [&] {
    program_ = std::make_unique<RunningProgram>(ProgramPath(), folder_.path());
    EXPECT_NE(program_->WaitForWindow(kMessageBoxClass), nullptr);
    EXPECT_FALSE(program_->ShowsWindow(kFormClass, 0));
    const std::wstring text = AnswerMessageBox().text;
    EXPECT_EQ(program_->WaitForExit(), 1u);
    return text;
  };
  const std::wstring folder = folder_.path().wstring();
  WriteBytes(set_,
             "\xFF\xFE"
             "7\0\t\0"
             "7\0"sv);
  EXPECT_EQ(start_up_error(),
            L"文件“" + folder +
                L"\\ENDGAMES\\VIRLA.EPD”是以 Unicode（UTF-16）"
                L"编码保存的，本程序只能读取 ANSI（GBK）编码的文本。请用记事本打开它，"
                L"另存为时把编码选为 ANSI，然后再试。没有作任何更改。");
  fs::remove(set_);
  fs::create_directory(set_);
  EXPECT_EQ(start_up_error(),
            L"无法打开文件“" + folder + L"\\ENDGAMES\\VIRLA.EPD”：这是一个文件夹，不是文件");
  fs::remove_all(endgames_);
  WriteBytes(endgames_, "");
  EXPECT_EQ(start_up_error(),
            L"“" + folder + L"\\ENDGAMES”是一个文件，不是文件夹。残局题库应放在当前工作文件夹“" +
                folder + L"”中名为 ENDGAMES 的文件夹里。");
  EXPECT_EQ(ReadRegistryText(kSettingsKey, L"last"), L"9");
}

// A list that Notepad saved as "Unicode" is refused before anything changes; a
// UTF-8 byte order mark is no part of the first line.
TEST_F(Program, ReadsListsAsAnsiTextOnly) {
  WriteBytes(folder_.path() / "chessfen.txt",
             "\xFE\xFF\0a\0\t\0"
             "1\0"
             "2"sv);
  ASSERT_NE(Start(), nullptr);
  Type(L"12");
  Click((*this)[kCommand1]);
  EXPECT_EQ(AnswerMessageBox().text,
            L"文件“" + folder_.path().wstring() +
                L"\\chessfen.txt”是以 Unicode（UTF-16）"
                L"编码保存的，本程序只能读取 ANSI（GBK）编码的文本。请用记事本打开它，"
                L"另存为时把编码选为 ANSI，然后再试。没有作任何更改。");
  EXPECT_EQ(program_->WaitForExit(), 1u);
  ExpectNothingChanged();

  WriteBytes(folder_.path() / "chessfen.txt",
             "\xEF\xBB\xBF"
             "a\t12\r\nb\t7\r\n");
  WriteBytes(set_,
             "\xEF\xBB\xBF"
             "a\t7");
  ASSERT_NE(Start(), nullptr);
  EXPECT_EQ(TextOf((*this)[kText1]), L"7");
  Type(L"12");
  Click((*this)[kCommand1]);
  EXPECT_EQ(AnswerMessageBox().text, L"调整完毕共 1 关");
  EXPECT_EQ(program_->WaitForExit(), 0u);
  EXPECT_TRUE(tests::SameBytes(ReadBytes(set_), "a\t12\r\n"));
}

TEST_F(Program, AMissingPositionListIsReportedAndChangesNothing) {
  fs::remove(folder_.path() / "chessfen.txt");
  ASSERT_NE(Start(), nullptr);
  Click((*this)[kCommand1]);
  const MessageBoxContent box = AnswerMessageBox();
  EXPECT_EQ(box.caption, L"Velkaro");
  EXPECT_TRUE(box.has_icon);
  EXPECT_EQ(box.text.rfind(L"无法打开文件" + PathText(folder_.path() / "chessfen.txt") + L"：", 0),
            0u)
      << box.text.size();
  EXPECT_EQ(program_->WaitForExit(), 1u);
  ExpectNothingChanged();
}

// A virus scanner or an indexer that opens the set for a moment only delays
// the replace.
TEST_F(Program, ASetHeldOpenForAMomentIsReplacedAllTheSame) {
  ASSERT_NE(Start(), nullptr);
  Type(L"12");
  const HANDLE held = ::CreateFileW(set_.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  std::thread letting_go([held] {
    ::Sleep(1000);
    ::CloseHandle(held);
  });
  Click((*this)[kCommand1]);
  EXPECT_EQ(AnswerMessageBox().text, L"调整完毕共 3 关");
  letting_go.join();
  EXPECT_EQ(program_->WaitForExit(), 0u);
  EXPECT_TRUE(tests::SameBytes(ReadBytes(set_), kLevel12));
  EXPECT_EQ(EntriesOf(endgames_), std::vector<std::string>{"VIRLA.EPD"});
}

// The name of a working folder in the temporary folder whose path has `length` characters.
std::string FolderNameFor(std::size_t length) {
  const std::size_t base = fs::temp_directory_path().wstring().size();
  const std::size_t separator = fs::temp_directory_path().wstring().ends_with(L"\\") ? 0 : 1;
  return std::string(length - base - separator - 11, 'd');  // then "-" and ten digits
}

// A working folder of 240 characters: the set's path still fits in MAX_PATH
// (260 characters), the new file's name beside it does not.
class ProgramInADeepFolder : public Program {
 protected:
  ProgramInADeepFolder() : Program(FolderNameFor(240)) {}
};

TEST_F(ProgramInADeepFolder, RebuildsTheSetThere) {
  ASSERT_EQ(folder_.path().wstring().size(), 240u);
  RebuildLevel12();
}

// A working folder of 255 characters: ENDGAMES itself is past MAX_PATH.
class ProgramInADeeperFolder : public Program {
 protected:
  ProgramInADeeperFolder() : Program(FolderNameFor(255)) {}
};

// After a rebuild, the new files that ended runs left are removed once they
// were not written for a while, a read-only one too, and nothing else: not
// another name, not the file of a copy that still runs or of one written
// lately, not another name of a read-only file of the user's, and never
// through a link what it points to (its read-only attribute kept), even a
// file whose name differs only in letter case. Process ID 3 is never a
// Windows process's: its run has ended; nor is 4294967299, past 32 bits, 3.
TEST_F(ProgramInADeeperFolder, RemovesWhatEndedRunsLeftAndNothingElse) {
  ASSERT_EQ(folder_.path().wstring().size(), 255u);
  ASSERT_NE(Start(), nullptr);
  const std::string running = std::to_string(::GetCurrentProcessId());
  std::vector<std::string> kept = {"VIRLA.EPD",
                                   "VIRLA.EPD." + running + "-0.tmp",
                                   "VIRLA.EPD.3-0.txt",
                                   "VIRLA.EPD.03-0.tmp",
                                   "VIRLA.EPD.3-1000.tmp",
                                   "virla.epd.3-2.TMP",
                                   "VIRLA.EPD.0-0.tmp",  // 0 is no run's process ID
                                   "VIRLA.EPD.4294967299-0.tmp",
                                   "VIRLA.EPD.3-3.tmp"};  // written last, lately
  const auto long_ago = fs::file_time_type::clock::now() - std::chrono::minutes(16);
  for (const std::string& name : kept) {
    if (name != "VIRLA.EPD" && name != "VIRLA.EPD.3-3.tmp") {
      WriteBytes(endgames_ / name, "kept");
      fs::last_write_time(endgames_ / name, long_ago);
    }
  }
  const fs::path outside = folder_.path() / "outside.txt";
  WriteBytes(outside, "kept");
  ASSERT_TRUE(
      ::CreateHardLinkW((endgames_ / "VIRLA.EPD.3-4.tmp").c_str(), outside.c_str(), nullptr));
  kept.push_back("VIRLA.EPD.3-4.tmp");
  for (const char* left : {"VIRLA.EPD.3-0.tmp", "VIRLA.EPD.3-999.tmp"}) {
    WriteBytes(endgames_ / left, "left");
    fs::last_write_time(endgames_ / left, long_ago);
  }
  fs::last_write_time(outside, long_ago);
  ASSERT_TRUE(
      ::SetFileAttributesW((endgames_ / "VIRLA.EPD.3-999.tmp").c_str(), FILE_ATTRIBUTE_READONLY));
  ASSERT_TRUE(::SetFileAttributesW(outside.c_str(), FILE_ATTRIBUTE_READONLY));
  WriteBytes(endgames_ / "VIRLA.EPD.3-3.tmp", "kept");
  const fs::path link = endgames_ / "VIRLA.EPD.3-1.tmp";
  ASSERT_TRUE(MakeSymbolicLink(link, outside));
  ASSERT_TRUE(MakeSymbolicLink(endgames_ / "VIRLA.EPD.3-2.tmp", endgames_ / "virla.epd.3-2.TMP"));
  kept.push_back("VIRLA.EPD.3-1.tmp");
  kept.push_back("VIRLA.EPD.3-2.tmp");
  Type(L"12");
  Click((*this)[kCommand1]);
  EXPECT_EQ(AnswerMessageBox().text, L"调整完毕共 3 关");
  EXPECT_EQ(program_->WaitForExit(), 0u);
  EXPECT_EQ(ReadBytes(outside), "kept");
  EXPECT_NE(::GetFileAttributesW(outside.c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
  EXPECT_EQ(ReadBytes(endgames_ / "virla.epd.3-2.TMP"), "kept");
  std::sort(kept.begin(), kept.end());
  EXPECT_EQ(EntriesOf(endgames_), kept);
  EXPECT_TRUE(tests::SameBytes(ReadBytes(set_), kLevel12));
  RemoveSymbolicLink(link);
  ::SetFileAttributesW(outside.c_str(), FILE_ATTRIBUTE_NORMAL);
  ::SetFileAttributesW((endgames_ / "VIRLA.EPD.3-4.tmp").c_str(), FILE_ATTRIBUTE_NORMAL);
}

// A leftover's name that links to a file elsewhere is passed over: on another
// drive that shows the same path, or in the working folder under a Unix name
// that spells the leftover's path with a backslash; in a working folder of a
// usual length, and in one past MAX_PATH, where the names compared are the
// volume's serial number and the path below it.
class LeftoverLinks : public Program, public ::testing::WithParamInterface<bool> {
 protected:
  LeftoverLinks() : Program(GetParam() ? FolderNameFor(255) : "velkaro-ui") {}
};

INSTANTIATE_TEST_SUITE_P(UsualAndPastMaxPath, LeftoverLinks, ::testing::Bool());

TEST_P(LeftoverLinks, ALeftoverLinkedToAnotherDriveOrNameIsKept) {
  const ScratchFolder other("velkaro-drive");
  const fs::path below = folder_.path().relative_path();
  fs::create_directories(other.path() / below / "ENDGAMES");
  WriteBytes(other.path() / below / "ENDGAMES" / "VIRLA.EPD.3-5.tmp", "kept");
  const fs::path on_q = fs::path(L"Q:\\") / below / "ENDGAMES" / "VIRLA.EPD.3-5.tmp";
  const std::string odd_name = "ENDGAMES\\VIRLA.EPD.3-6.tmp";
  // Links go before the folders they are in: Wine stats through them.
  const struct Cleanup {
    fs::path folder;
    ~Cleanup() {
      RemoveSymbolicLink(folder / "ENDGAMES" / "VIRLA.EPD.3-5.tmp");
      RemoveSymbolicLink(folder / "ENDGAMES" / "VIRLA.EPD.3-6.tmp");
      RemoveUnixFile(folder, "ENDGAMES\\VIRLA.EPD.3-6.tmp");
      UnmapDrive(L'Q');
    }
  } cleanup{folder_.path()};
  ASSERT_TRUE(MapDrive(L'Q', other.path()));
  ASSERT_TRUE(MakeSymbolicLink(endgames_ / "VIRLA.EPD.3-5.tmp", on_q));
  ASSERT_TRUE(MakeUnixFile(folder_.path(), odd_name));
  ASSERT_TRUE(MakeUnixLink(endgames_ / "VIRLA.EPD.3-6.tmp", "../" + odd_name));
  RebuildLevel12();
  EXPECT_EQ(ReadBytes(on_q), "kept");
  EXPECT_EQ(EntriesOf(folder_.path()),
            (std::vector<std::string>{"ENDGAMES", odd_name, "chessfen.txt"}));
}

// Probe keys that runs ended part way left beside the section are removed,
// while empty, and nothing else.
TEST_F(Program, RemovesTheProbeKeysOfEndedRuns) {
  const std::wstring trainer_key = L"Software\\VB and VBA Program Settings\\kestrow\\";
  const std::wstring running = std::to_wstring(::GetCurrentProcessId());
  const std::vector<std::wstring> kept = {L"velkaro-probe-3-78",
                                          L"velkaro-probe-" + running + L"-5",
                                          L"velkaro-probe-03-5", L"velkaro-probe-3-5x"};
  for (const std::wstring& name : kept) {
    CreateRegistryKey(trainer_key + name);
  }
  WriteRegistryText((trainer_key + kept[0]).c_str(), L"saved", L"1");
  CreateRegistryKey(trainer_key + L"velkaro-probe-3-4294967296");
  RebuildLevel12();
  std::vector<std::wstring> left;
  HKEY key = nullptr;
  ASSERT_EQ(::RegOpenKeyExW(HKEY_CURRENT_USER, trainer_key.c_str(), 0, KEY_READ, &key),
            ERROR_SUCCESS);
  wchar_t name[256];
  for (DWORD i = 0, length = 256;
       ::RegEnumKeyExW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
       ++i, length = 256) {
    left.push_back(name);
  }
  ::RegCloseKey(key);
  std::vector<std::wstring> expected = kept;
  expected.push_back(L"gui");
  std::sort(left.begin(), left.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(left, expected);
  for (const std::wstring& each : kept) {
    ::RegDeleteKeyW(HKEY_CURRENT_USER, (trainer_key + each).c_str());
  }
}

class ProgramInAChineseFolder : public Program {
 protected:
  ProgramInAChineseFolder() : Program("残局训练") {}
};

TEST_F(ProgramInAChineseFolder, RebuildsTheSet) {
  RebuildLevel12();
  EXPECT_EQ(ReadRegistryText(kSettingsKey, L"last"), L"0");
}

}  // namespace
}  // namespace velkaro::tests
