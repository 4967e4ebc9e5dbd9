#include <windows.h>
// commctrl.h needs windows.h first.
#include <commctrl.h>

#include <exception>
#include <filesystem>

#include "app/form1.h"
#include "app/runtime/message_box.h"

namespace {

int RunProgram(HINSTANCE instance, int show_command) {
  velkaro::app::Form1 form(instance,
                           velkaro::endgame::EndgamePathsIn(std::filesystem::current_path()));
  form.Load();
  form.Show(show_command);
  MSG message;
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (!form.PreTranslate(message)) {
      ::TranslateMessage(&message);
      ::DispatchMessageW(&message);
    }
  }
  return form.exit_code();
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show_command) {
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
  ::InitCommonControlsEx(&controls);
  try {
    return RunProgram(instance, show_command);
  } catch (const std::exception& failure) {
    velkaro::runtime::ShowFailure(nullptr, failure);
    return 1;
  }
}
