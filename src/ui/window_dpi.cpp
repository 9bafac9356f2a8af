#include "ui/window_dpi.h"

namespace {

typedef UINT(WINAPI* GetDpiForWindowCall)(HWND window);
typedef int(WINAPI* GetSystemMetricsForDpiCall)(int index, UINT dpi);

// Looked up rather than imported, so the programs still start where user32 lacks it.
FARPROC User32Call(const char* name) { return GetProcAddress(GetModuleHandleW(L"user32.dll"), name); }

}  // namespace

int WindowDpi(HWND window) {
  GetDpiForWindowCall forWindow =
      reinterpret_cast<GetDpiForWindowCall>(reinterpret_cast<void*>(User32Call("GetDpiForWindow")));
  int dpi = 0;
  if (forWindow != nullptr && window != nullptr) dpi = static_cast<int>(forWindow(window));
  if (dpi <= 0) {
    HDC screen = GetDC(nullptr);
    dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
  }
  return dpi > 0 ? dpi : 1;
}

int ScaleToDpi(int pixels, int dpi) { return MulDiv(pixels, dpi, USER_DEFAULT_SCREEN_DPI); }

int SystemMetricForDpi(int index, int dpi) {
  GetSystemMetricsForDpiCall forDpi =
      reinterpret_cast<GetSystemMetricsForDpiCall>(reinterpret_cast<void*>(User32Call("GetSystemMetricsForDpi")));
  return forDpi != nullptr ? forDpi(index, static_cast<UINT>(dpi)) : GetSystemMetrics(index);
}
