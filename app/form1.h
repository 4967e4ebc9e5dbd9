#pragma once

#include <windows.h>

#include <string>

#include "endgame/endgame_paths.h"

namespace velkaro::app {

// The main window: a level box, a cleared box and the set-change button. It
// acts once: a click rebuilds the endgame set, shows the message and ends the
// program.
class Form1 {
 public:
  Form1(HINSTANCE instance, endgame::EndgamePaths paths);
  ~Form1();
  Form1(const Form1&) = delete;
  Form1& operator=(const Form1&) = delete;

  // Creates the window and its controls, hidden, and runs Form_Load; throws
  // runtime::Failure when the current level cannot be read.
  void Load();
  void Show(int show_command);
  // Handles keys the way the window wants them before they are dispatched.
  bool PreTranslate(MSG& message);

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM w, LPARAM l);
  LRESULT Handle(UINT message, WPARAM w, LPARAM l);

  void CreateControls();
  void Layout(UINT dpi);
  void Form_Load();
  void Command1_Click();
  // Ends the wait: the window takes input again, through the box shown next.
  void ReadyForTheOutcome();
  // Closes the window; the message loop then ends with `exit_code`.
  void End(int exit_code);
  void OnDpiChanged(UINT dpi, const RECT& suggested);
  HWND Control(int id) const { return ::GetDlgItem(window_, id); }

  HINSTANCE instance_;
  endgame::EndgamePaths paths_;
  HWND window_ = nullptr;
  HFONT font_ = nullptr;
  int exit_code_ = 0;
  // Set by the first press, which is the only one that acts.
  bool pressed_ = false;
  // While the press is worked on: the wait cursor, and input is dropped.
  bool busy_ = false;
};

}  // namespace velkaro::app
