#include "runtime/message_box.h"

#include <string>

#include "runtime/failure.h"
#include "runtime/texts.h"
#include "runtime/wide_text.h"

namespace velkaro::runtime {

void ShowMessage(HWND owner, std::string_view text) {
  ::MessageBoxW(owner, Utf8ToWide(text).c_str(), kProgramTitle, MB_OK);
}

void ShowFailure(HWND owner, const std::exception& failure) {
  std::string text = failure.what();
  if (dynamic_cast<const Failure*>(&failure) == nullptr) {
    text = texts::Unexpected(text);
  }
  ::MessageBoxW(owner, Utf8ToWide(text).c_str(), kProgramTitle, MB_OK | MB_ICONERROR);
}

}  // namespace velkaro::runtime
