#include "runtime/dpi.h"

namespace velkaro::runtime {

namespace {

template <typename Function>
Function UserFunction(const char* name) {
  return reinterpret_cast<Function>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"user32.dll"), name)));
}

UINT SystemDpi() {
  const HDC screen = ::GetDC(nullptr);
  const int dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
  ::ReleaseDC(nullptr, screen);
  return dpi > 0 ? static_cast<UINT>(dpi) : 96u;
}

int SystemMetric(int index, UINT dpi) {
  using GetSystemMetricsForDpiFn = int(WINAPI*)(int, UINT);
  static const auto for_dpi = UserFunction<GetSystemMetricsForDpiFn>("GetSystemMetricsForDpi");
  if (for_dpi != nullptr) {
    return for_dpi(index, dpi);
  }
  return ::MulDiv(::GetSystemMetrics(index), static_cast<int>(dpi), static_cast<int>(SystemDpi()));
}

}  // namespace

UINT DpiOf(HWND window) {
  using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
  static const auto for_window = UserFunction<GetDpiForWindowFn>("GetDpiForWindow");
  if (for_window != nullptr) {
    const UINT dpi = for_window(window);
    if (dpi != 0) {
      return dpi;
    }
  }
  return SystemDpi();
}

int TwipsToPixels(int twips, UINT dpi) {
  return ::MulDiv(twips, static_cast<int>(dpi), 1440);
}

RECT WindowRectForClient(int width, int height, DWORD style, DWORD ex_style, UINT dpi) {
  using AdjustForDpiFn = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
  static const auto for_dpi = UserFunction<AdjustForDpiFn>("AdjustWindowRectExForDpi");
  RECT rect{0, 0, width, height};
  if (for_dpi != nullptr) {
    for_dpi(&rect, style, FALSE, ex_style, dpi);
  } else {
    ::AdjustWindowRectEx(&rect, style, FALSE, ex_style);
  }
  return rect;
}

HFONT CreateMessageFont(UINT dpi) {
  using ParametersForDpiFn = BOOL(WINAPI*)(UINT, UINT, PVOID, UINT, UINT);
  static const auto for_dpi = UserFunction<ParametersForDpiFn>("SystemParametersInfoForDpi");
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  if (for_dpi != nullptr && for_dpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, dpi)) {
    return ::CreateFontIndirectW(&metrics.lfMessageFont);
  }
  ::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
  metrics.lfMessageFont.lfHeight = ::MulDiv(metrics.lfMessageFont.lfHeight, static_cast<int>(dpi),
                                            static_cast<int>(SystemDpi()));
  return ::CreateFontIndirectW(&metrics.lfMessageFont);
}

SIZE CheckBoxGlyph(UINT dpi) {
  return SIZE{SystemMetric(SM_CXMENUCHECK, dpi), SystemMetric(SM_CYMENUCHECK, dpi)};
}

}  // namespace velkaro::runtime
