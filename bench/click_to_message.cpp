// Times velkaro.exe as a user meets it: started in the current folder, it is
// given a level, and the time from the press of "更换题库" to the message box
// is printed in seconds.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "tests/ui/program_window.h"
#include "tests/ui/ui_driver.h"

int wmain(int argc, wchar_t** argv) {
  using namespace velkaro::tests;
  if (argc != 2) {
    std::fputs("usage: click_to_message LEVEL\n", stderr);
    return 2;
  }
  RunningProgram program(ProgramPath(), std::filesystem::current_path());
  const HWND form = program.WaitForWindow(kFormClass);
  if (form == nullptr) {
    std::fputs("the window did not appear\n", stderr);
    return 1;
  }
  Activate(form);
  const auto controls = ControlsOf(form);
  if (controls.empty()) {
    std::fputs("the window is not the program's\n", stderr);
    return 1;
  }
  ::SetWindowTextW(controls[kText1], argv[1]);
  const auto start = std::chrono::steady_clock::now();
  ::PostMessageW(controls[kCommand1], BM_CLICK, 0, 0);
  const HWND box = program.WaitForWindow(kMessageBoxClass, 600, /*settle=*/false);
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  if (box == nullptr) {
    std::fputs("no message appeared\n", stderr);
    return 1;
  }
  std::printf("seconds=%.6f message=%ls\n", took.count(), ReadMessageBox(box).text.c_str());
  ::PostMessageW(box, WM_COMMAND, IDOK, 0);
  program.WaitForExit();
  return 0;
}
