// The window's wait for a press: what is given meanwhile never reaches the
// window, what the system sends or posts does, with a thread to work on and
// without one.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/busy_window.h"
#include "tests/support/redirect_import.h"

namespace velkaro::app {
namespace {

std::vector<UINT> reached;  // what the window's procedure was given

LRESULT CALLBACK Note(HWND window, UINT message, WPARAM w, LPARAM l) {
  if (message == WM_USER || (message >= WM_KEYFIRST && message <= WM_KEYLAST) ||
      (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST)) {
    reached.push_back(message);
  }
  return ::DefWindowProcW(window, message, w, l);
}

HANDLE WINAPI NoEvent(LPSECURITY_ATTRIBUTES, BOOL, BOOL, LPCWSTR) {
  ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return nullptr;
}

// Input posted while the work runs, the last of it as the work ends, is
// dropped, and so is a quit; a message of the program's own is answered.
TEST(BusyWindow, InputGivenDuringTheWorkNeverReachesTheWindow) {
  WNDCLASSW window_class{};
  window_class.lpfnWndProc = &Note;
  window_class.hInstance = ::GetModuleHandleW(nullptr);
  window_class.lpszClassName = L"VelkaroBusyTest";
  ::RegisterClassW(&window_class);
  // A message-only window: no screen needed.
  const HWND window = ::CreateWindowW(L"VelkaroBusyTest", L"", 0, 0, 0, 10, 10, HWND_MESSAGE,
                                      nullptr, window_class.hInstance, nullptr);
  ASSERT_NE(window, nullptr);
  for (const bool with_thread : {true, false}) {
    SCOPED_TRACE(with_thread ? "with a thread" : "without one");
    void* create_event = nullptr;
    if (!with_thread) {
      create_event =
          tests::RedirectImport("kernel32.dll", "CreateEventW", reinterpret_cast<void*>(&NoEvent));
      ASSERT_NE(create_event, nullptr);
    }
    reached.clear();
    const std::string result = RunWhileWindowWaits([&] {
      ::PostMessageW(window, WM_KEYDOWN, VK_RETURN, 0);
      ::PostMessageW(window, WM_LBUTTONDOWN, 0, 0);
      ::PostMessageW(window, WM_USER, 0, 0);
      ::Sleep(100);  // the window wakes for them meanwhile
      ::PostMessageW(window, WM_CHAR, L' ', 0);
      ::PostMessageW(window, WM_LBUTTONUP, 0, 0);
      ::PostThreadMessageW(::GetWindowThreadProcessId(window, nullptr), WM_QUIT, 0, 0);
      return std::string("done");
    });
    if (!with_thread) {
      tests::RedirectImport("kernel32.dll", "CreateEventW", create_event);
    }
    EXPECT_EQ(result, "done");
    MSG left{};
    while (::PeekMessageW(&left, nullptr, 0, 0, PM_REMOVE)) {
      EXPECT_FALSE(left.message == WM_QUIT || left.message == WM_CHAR ||
                   left.message == WM_LBUTTONUP || left.message == WM_KEYDOWN)
          << left.message;
      ::DispatchMessageW(&left);
    }
    EXPECT_EQ(reached, std::vector<UINT>{WM_USER});
  }
  ::DestroyWindow(window);
}

}  // namespace
}  // namespace velkaro::app
