// The dots per inch a window is drawn at, and pixel sizes scaled to it. Both
// programs declare themselves per-monitor aware in their manifests, so sizes
// that the code gives in pixels (rather than dialog units) follow the window's
// screen through these. Costs about 340 bytes of code and texts in the 32-bit stub.
#pragma once

#include <windows.h>

// The window's DPI from GetDpiForWindow, looked up in user32 by name (Windows 10
// 1607 on); before that, and for a null window, the screen's LOGPIXELSY, which
// is the DPI every window has there. Never less than 1.
int WindowDpi(HWND window);

// pixels, a size at 96 DPI, at dpi: rounded to the nearest pixel.
int ScaleToDpi(int pixels, int dpi);

// GetSystemMetricsForDpi(index, dpi) where user32 has it (Windows 10 1607 on),
// else GetSystemMetrics(index), which is at the one DPI such a system has.
int SystemMetricForDpi(int index, int dpi);
