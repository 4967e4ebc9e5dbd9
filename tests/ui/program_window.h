#pragma once

#include <windows.h>

#include <vector>

#include "tests/ui/ui_driver.h"

namespace velkaro::tests {

// What the driver knows of velkaro.exe's windows, for the window tests, the
// demo and the benchmark's timer alike.

// The class of the main window, as the program registers it.
inline constexpr wchar_t kFormClass[] = L"VelkaroForm1";
// The system's class of a message box.
inline constexpr wchar_t kMessageBoxClass[] = L"#32770";

// The controls, in tab order, which is the order the program creates them in.
enum Control { kLabel1, kText1, kCommand1, kCheck1, kLabel2, kControlCount };

// The controls of the main window, indexed by Control; empty when the window
// does not have exactly these many.
inline std::vector<HWND> ControlsOf(HWND form) {
  std::vector<HWND> controls = ChildrenOf(form);
  if (controls.size() != kControlCount) {
    controls.clear();
  }
  return controls;
}

}  // namespace velkaro::tests
