// Shows a newcomer the program at work on a screen nobody watches: starts it in
// the current folder, types a level, ticks "通关", clicks "更换题库", and saves
// pictures of the window and the message into the folder named by the first
// argument.
#include <windows.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "tests/ui/program_window.h"
#include "tests/ui/ui_driver.h"
#include "tools/screenshot.h"

int wmain(int argc, wchar_t** argv) {
  namespace fs = std::filesystem;
  using namespace velkaro::tests;
  using velkaro::tools::SaveScreenshot;
  if (argc < 3) {
    std::fputs("usage: velkaro_demo PICTURE-FOLDER LEVEL\n", stderr);
    return 2;
  }
  const fs::path pictures = argv[1];
  const std::wstring level = argv[2];

  RunningProgram program(ProgramPath(), fs::current_path());
  const HWND form = program.WaitForWindow(kFormClass);
  if (form == nullptr) {
    const HWND box = program.WaitForWindow(kMessageBoxClass, 1);
    if (box != nullptr) {
      SaveScreenshot(box, pictures / L"velkaro-message.png");
      std::fwprintf(stderr, L"the program stopped at start: %ls\n",
                    ReadMessageBox(box).text.c_str());
    }
    return 1;
  }
  Activate(form);
  SaveScreenshot(form, pictures / L"velkaro-window.png");
  const auto controls = ControlsOf(form);
  if (controls.empty()) {
    std::fputs("the window is not the program's\n", stderr);
    return 1;
  }
  Type(level);
  Click(controls[kCheck1]);
  SaveScreenshot(form, pictures / L"velkaro-ready.png");
  Click(controls[kCommand1]);
  const HWND box = program.WaitForWindow(kMessageBoxClass);
  if (box == nullptr) {
    std::fputs("no message appeared\n", stderr);
    return 1;
  }
  Activate(box);
  SaveScreenshot(box, pictures / L"velkaro-message.png");
  PressKey(VK_RETURN);
  const auto exit_code = program.WaitForExit();
  return exit_code ? static_cast<int>(*exit_code) : 1;
}
