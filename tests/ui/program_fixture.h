#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/registry_values.h"
#include "tests/support/same_bytes.h"
#include "tests/support/scratch_folder.h"
#include "tests/ui/program_window.h"
#include "tests/ui/ui_driver.h"

namespace velkaro::tests {

constexpr wchar_t kSettingsKey[] = L"Software\\VB and VBA Program Settings\\kestrow\\gui";

constexpr std::string_view kOldSet = "4k3/8/8/8/8/8/4P3/4K3 w - - 0 1\t7\r\n";
constexpr std::string_view kList =
    "6k1/5ppp/8/8/8/8/5PPP/3R2K1 w - - 0 1\t12\tbm Rd8#\r\n"
    "8/8/8/4k3/8/8/4P3/4K3 w - - 0 1\t7\r\n"
    "8/5k2/8/8/8/8/5K2/7R w - - 0 1\t12\r\n"
    "8/8/8/8/8/2k5/2p5/2K5 b - - 0 1\t012\r\n"
    "7k/8/6K1/8/8/8/8/6Q1 w - - 0 1\t12\r\n";
constexpr std::string_view kLevel12 =
    "6k1/5ppp/8/8/8/8/5PPP/3R2K1 w - - 0 1\t12\tbm Rd8#\r\n"
    "8/5k2/8/8/8/8/5K2/7R w - - 0 1\t12\r\n"
    "7k/8/6K1/8/8/8/8/6Q1 w - - 0 1\t12\r\n";

// A working folder with a position list and an endgame set, trainer settings
// in the registry, and the program started there on request.
class Program : public ::testing::Test {
 protected:
  explicit Program(std::string_view folder_name = "velkaro-ui",
                   const std::filesystem::path& base = std::filesystem::temp_directory_path())
      : folder_(folder_name, base),
        endgames_(folder_.path() / "ENDGAMES"),
        set_(endgames_ / "VIRLA.EPD") {
    std::filesystem::create_directory(endgames_);
    WriteBytes(set_, kOldSet);
    WriteBytes(folder_.path() / "chessfen.txt", kList);
    ::RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsKey);
    WriteRegistryText(kSettingsKey, L"curr", L"4");
    WriteRegistryText(kSettingsKey, L"last", L"9");
  }

  // Starts the program and waits for its window, up to `seconds`.
  HWND Start(double seconds = 20) {
    program_ = std::make_unique<RunningProgram>(ProgramPath(), folder_.path());
    const HWND form = program_->WaitForWindow(kFormClass, seconds);
    if (form == nullptr) {
      ADD_FAILURE() << "the window did not appear";
      return nullptr;
    }
    Activate(form);
    controls_ = ControlsOf(form);
    if (controls_.empty()) {
      ADD_FAILURE() << "the window has " << ChildrenOf(form).size() << " controls";
      controls_.resize(kControlCount);
    }
    return form;
  }

  HWND operator[](Control control) const { return controls_[control]; }

  // Waits for a message box, reads it and dismisses it with Enter, or, where
  // boxes of two programs may stand one over the other, with its OK button's
  // command sent to it alone.
  MessageBoxContent AnswerMessageBox(bool by_keyboard = true) {
    const HWND box = program_->WaitForWindow(kMessageBoxClass);
    if (box == nullptr) {
      ADD_FAILURE() << "no message box";
      return {};
    }
    MessageBoxContent content = ReadMessageBox(box);
    if (by_keyboard) {
      Activate(box);
      PressKey(VK_RETURN);
    } else {
      ::PostMessageW(box, WM_COMMAND, IDOK, 0);
    }
    return content;
  }

  // Starts the program, types 12, presses the button unticked, and checks the
  // message, the exit code and the new set.
  void RebuildLevel12() {
    ASSERT_NE(Start(), nullptr);
    Type(L"12");
    Click((*this)[kCommand1]);
    EXPECT_EQ(AnswerMessageBox().text, L"调整完毕共 3 关");
    EXPECT_EQ(program_->WaitForExit(), 0u);
    EXPECT_TRUE(tests::SameBytes(ReadBytes(set_), kLevel12));
  }

  void ExpectNothingChanged() {
    EXPECT_TRUE(tests::SameBytes(ReadBytes(set_), kOldSet));
    EXPECT_EQ(EntriesOf(endgames_), std::vector<std::string>{"VIRLA.EPD"});
    EXPECT_EQ(ReadRegistryText(kSettingsKey, L"curr"), L"4");
    EXPECT_EQ(ReadRegistryText(kSettingsKey, L"last"), L"9");
  }

  std::wstring PathText(const std::filesystem::path& path) const {
    return L"“" + path.wstring() + L"”";
  }

  ScratchFolder folder_;
  std::filesystem::path endgames_;
  std::filesystem::path set_;
  std::unique_ptr<RunningProgram> program_;
  std::vector<HWND> controls_;
};

}  // namespace velkaro::tests
