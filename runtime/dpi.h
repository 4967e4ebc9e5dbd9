#pragma once

#include <windows.h>

namespace velkaro::runtime {

// Window geometry in twips (1/1440 inch) rendered at a window's own DPI, so the
// window is crisp and rightly sized on every screen. The functions of newer
// Windows are looked up at run time; older systems get the system DPI.

UINT DpiOf(HWND window);
int TwipsToPixels(int twips, UINT dpi);
// The window rectangle that has a client area of the given size.
RECT WindowRectForClient(int width, int height, DWORD style, DWORD ex_style, UINT dpi);
// The system's message font at the given DPI; the caller deletes it.
HFONT CreateMessageFont(UINT dpi);
// The size of a check box's box at the given DPI.
SIZE CheckBoxGlyph(UINT dpi);

}  // namespace velkaro::runtime
