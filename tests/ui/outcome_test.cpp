// The outcome of a press is seen: input given before its message box could be
// read never answers it, input during the press never reaches the window, and
// a session that ends during a press waits for it.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "runtime/unread_input.h"
#include "tests/ui/program_fixture.h"
#include "tests/ui/ui_driver.h"

namespace velkaro::tests {
namespace {

class Outcome : public Program {
 protected:
  // Whether the set reads `bytes`, looked at every millisecond for up to 20 s.
  bool SetBecomes(std::string_view bytes) {
    for (int i = 0; i < 20000; ++i) {
      if (ReadBytes(set_) == bytes) {
        return true;
      }
      ::Sleep(1);
    }
    return false;
  }

  // Whether the window is disabled, as while a press is worked on, soon.
  bool DisabledSoon(HWND form) {
    for (int i = 0; i < 2000 && ::IsWindowEnabled(form); ++i) {
      ::Sleep(1);
    }
    return !::IsWindowEnabled(form);
  }

  // Types 12 and presses the button while the set is held open, unshared, as
  // another program may hold it: the press waits, retrying, until it is let
  // go. Returns the holding handle.
  HANDLE PressWhileTheSetIsHeld() {
    Type(L"12");
    EXPECT_EQ(TextOnceTyped((*this)[kText1], L"12"), L"12");
    const HANDLE held = ::CreateFileW(set_.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (held != INVALID_HANDLE_VALUE) {
      Click((*this)[kCommand1]);
    }
    return held;
  }

  void ExpectTheBoxStands() {
    std::this_thread::sleep_for(std::chrono::milliseconds(runtime::kBoxReadingMs + 300));
    EXPECT_EQ(program_->Windows(kMessageBoxClass).size(), 1u);
    EXPECT_EQ(program_->WaitForExit(0), std::nullopt);
  }
};

enum class Given { kEnter, kSpace, kEsc, kAltF4, kClickOnOk };

void Give(Given given, HWND box) {
  switch (given) {
    case Given::kEnter:
      return PressKey(VK_RETURN);
    case Given::kSpace:
      return PressKey(VK_SPACE);
    case Given::kEsc:
      return PressKey(VK_ESCAPE);
    case Given::kAltF4:
      return PressKeys({VK_MENU, VK_F4});
    case Given::kClickOnOk:
      for (const HWND child : ChildrenOf(box)) {
        if (ClassOf(child) == L"Button") {
          return Click(child);
        }
      }
      ADD_FAILURE() << "the box has no button";
  }
}

// Input given as the new set appears, before its box shows, or as the box
// shows, on a success and on a failure, leaves the box to the user: it
// answers only once it could be read.
TEST_F(Outcome, InputBeforeTheBoxCouldBeReadLeavesItStanding) {
  enum class When { kSetReplaced, kBoxShown };
  const struct {
    When when;
    Given given;
    bool failure;  // a list saved as UTF-16
  } cases[] = {
      {When::kSetReplaced, Given::kEnter, false},  {When::kSetReplaced, Given::kAltF4, false},
      {When::kSetReplaced, Given::kEsc, false},    {When::kBoxShown, Given::kSpace, false},
      {When::kBoxShown, Given::kClickOnOk, false}, {When::kBoxShown, Given::kEnter, false},
      {When::kBoxShown, Given::kEnter, true},      {When::kBoxShown, Given::kClickOnOk, true},
  };
  for (const auto& [when, given, failure] : cases) {
    SCOPED_TRACE(std::to_string(static_cast<int>(when)) + " " +
                 std::to_string(static_cast<int>(given)) + (failure ? " failure" : ""));
    WriteBytes(set_, kOldSet);
    WriteBytes(folder_.path() / "chessfen.txt", failure ? std::string("\xFF\xFE"
                                                                      "1\0\t\0"
                                                                      "1\0",
                                                                      8)
                                                        : std::string(kList));
    const HWND form = Start();
    ASSERT_NE(form, nullptr);
    Type(L"12");
    ASSERT_EQ(TextOnceTyped((*this)[kText1], L"12"), L"12");
    Click((*this)[kCommand1]);
    if (when == When::kSetReplaced) {
      ASSERT_TRUE(SetBecomes(kLevel12));
      Give(given, nullptr);
    }
    const HWND box = program_->WaitForWindow(kMessageBoxClass, 20, /*settle=*/false);
    ASSERT_NE(box, nullptr);
    if (when == When::kBoxShown) {
      Give(given, box);
    }
    ExpectTheBoxStands();
    const std::wstring text = AnswerMessageBox().text;
    EXPECT_EQ(program_->WaitForExit(), failure ? 1u : 0u);
    EXPECT_EQ(text.starts_with(L"文件"), failure) << text.size();
  }
}

// The Enter that pressed the button, held down: its repeats, long after the
// box could be read, and its release answer nothing; a new press does.
TEST_F(Outcome, TheKeyThatPressedHeldDownNeverAnswersTheBox) {
  ASSERT_NE(Start(), nullptr);
  Type(L"12");
  ASSERT_EQ(TextOnceTyped((*this)[kText1], L"12"), L"12");
  PressKey(VK_TAB);  // to the button
  SendKey(VK_RETURN, /*up=*/false);
  const HWND box = program_->WaitForWindow(kMessageBoxClass, 20, /*settle=*/false);
  ASSERT_NE(box, nullptr);
  std::this_thread::sleep_for(std::chrono::milliseconds(runtime::kBoxReadingMs + 200));
  for (int repeat = 0; repeat < 5; ++repeat) {
    SendKey(VK_RETURN, /*up=*/false);
    ::Sleep(40);
  }
  SendKey(VK_RETURN, /*up=*/true);
  ExpectTheBoxStands();
  EXPECT_EQ(AnswerMessageBox().text, L"调整完毕共 3 关");
  EXPECT_EQ(program_->WaitForExit(), 0u);
}

// While a press is worked on (here, held up by a set another program holds
// for a moment), the window is disabled, and what is typed or clicked never
// reaches it: the level box still reads what was typed before, the tick box
// keeps its state.
TEST_F(Outcome, InputDuringThePressNeverReachesTheWindow) {
  const HWND form = Start();
  ASSERT_NE(form, nullptr);
  const HANDLE held = PressWhileTheSetIsHeld();
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(DisabledSoon(form));
  Click((*this)[kCheck1]);
  Click((*this)[kText1]);
  Type(L"99");
  ::Sleep(300);
  ::CloseHandle(held);
  const HWND box = program_->WaitForWindow(kMessageBoxClass);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(TextOf((*this)[kText1]), L"12");
  EXPECT_EQ(::SendMessageW((*this)[kCheck1], BM_GETCHECK, 0, 0), BST_UNCHECKED);
  EXPECT_EQ(AnswerMessageBox().text, L"调整完毕共 3 关");
  EXPECT_EQ(program_->WaitForExit(), 0u);
  EXPECT_EQ(ReadRegistryText(kSettingsKey, L"last"), L"0");
}

// A logoff during a press, in Windows' sequence: the query is refused while
// the press runs; once the session ends all the same, the program answers
// only when the set and the progress are both in place, and is then ended.
TEST_F(Outcome, ALogoffDuringThePressWaitsForIt) {
  const HWND form = Start();
  ASSERT_NE(form, nullptr);
  const HANDLE held = PressWhileTheSetIsHeld();
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  ASSERT_TRUE(DisabledSoon(form));
  DWORD_PTR answer = 1;
  EXPECT_NE(::SendMessageTimeoutW(form, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_NORMAL, 5000,
                                  &answer),
            0);
  EXPECT_EQ(answer, FALSE);
  std::thread release([held] {
    ::Sleep(500);
    ::CloseHandle(held);
  });
  EXPECT_NE(::SendMessageTimeoutW(form, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_NORMAL, 30000,
                                  &answer),
            0);
  release.join();
  program_.reset();  // ended, as Windows ends it
  EXPECT_TRUE(tests::SameBytes(ReadBytes(set_), kLevel12));
  EXPECT_EQ(ReadRegistryText(kSettingsKey, L"curr"), L"0");
  EXPECT_EQ(ReadRegistryText(kSettingsKey, L"last"), L"0");
}

}  // namespace
}  // namespace velkaro::tests
