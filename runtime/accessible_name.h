#pragma once

#include <windows.h>

namespace velkaro::runtime {

// Gives a control the name that screen readers announce, where its own caption
// is not what the user sees (a check box whose visible caption is a separate
// label). A system without the accessibility services leaves the control as it
// was: the window works the same without the name.
void SetAccessibleName(HWND control, const wchar_t* name);

}  // namespace velkaro::runtime
