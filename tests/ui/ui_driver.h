#pragma once

#include <windows.h>

#include <filesystem>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

namespace velkaro::tests {

// Drives velkaro.exe the way a user does: finds its windows, types, clicks,
// reads message boxes. Input goes through SendInput, as from the keyboard and
// the mouse.

// velkaro.exe, in the driver's folder or one above it.
std::filesystem::path ProgramPath();

class RunningProgram {
 public:
  // Starts the program with `folder` as its working folder.
  RunningProgram(const std::filesystem::path& program, const std::filesystem::path& folder);
  ~RunningProgram();
  RunningProgram(const RunningProgram&) = delete;
  RunningProgram& operator=(const RunningProgram&) = delete;

  // The first visible top-level window of the program with this class
  // ("#32770" for a message box), waiting up to `seconds` for it, and then,
  // when `settle`, a moment more for it to be ready for input (for a message
  // box, past the moments in which it answers no input).
  HWND WaitForWindow(const wchar_t* window_class, double seconds = 20, bool settle = true);
  // Every visible top-level window of the program with this class, now.
  std::vector<HWND> Windows(const wchar_t* window_class) const;
  // Whether such a window appears within `seconds`.
  bool ShowsWindow(const wchar_t* window_class, double seconds);
  // The exit code, waiting up to `seconds`; nothing if it still runs.
  std::optional<DWORD> WaitForExit(double seconds = 20);

 private:
  PROCESS_INFORMATION process_{};
};

// The children of a window, in Z order (the order they were created in).
std::vector<HWND> ChildrenOf(HWND window);
std::wstring TextOf(HWND window);
// The window's text once it reads `expected`, or after `seconds` whatever it reads.
std::wstring TextOnceTyped(HWND window, std::wstring_view expected, double seconds = 10);
std::wstring ClassOf(HWND window);
// A child's rectangle in its parent's client coordinates.
RECT RectIn(HWND parent, HWND child);
RECT ClientRect(HWND window);
HWND FocusOf(HWND window);

// Brings the window to the front, for input to reach it.
void Activate(HWND window);
void Type(std::wstring_view text);
void PressKey(WORD virtual_key);
// One key going down (again, while held: a repeat) or up.
void SendKey(WORD virtual_key, bool up);
// Keys held down together in this order, then let go (Alt+F4: VK_MENU, VK_F4).
void PressKeys(std::initializer_list<WORD> chord);
// A left click at the centre of the window.
void Click(HWND window);

struct MessageBoxContent {
  std::wstring caption;
  std::wstring text;
  bool has_icon = false;
  std::vector<std::wstring> buttons;
};
MessageBoxContent ReadMessageBox(HWND box);

}  // namespace velkaro::tests
