/* A stand-in for a running copy of a product: class_window CLASS [COUNT] opens
 * COUNT (default 1) top-level windows of window class CLASS and runs until one
 * of them is sent WM_DESTROY, which is how the installer closes a product.
 * Exit code 0 then; 3 when nobody closed it within a minute. */
#include <windows.h>

#include <shellapi.h>

#include <stdlib.h>

static LRESULT CALLBACK ClassWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  if (message == WM_TIMER) {
    PostQuitMessage(3);
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previous, LPWSTR commandLine, int show) {
  int argc = 0, count, i;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  WNDCLASSW windowClass = {0};
  HWND first = NULL;
  MSG message;
  (void)previous;
  (void)commandLine;
  (void)show;
  if (argv == NULL || argc < 2) return 2;
  count = argc > 2 ? _wtoi(argv[2]) : 1;
  windowClass.lpfnWndProc = ClassWindowProc;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = argv[1];
  if (!RegisterClassW(&windowClass)) return 2;
  for (i = 0; i < count; ++i) {
    HWND window = CreateWindowExW(0, argv[1], argv[1], WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10 + 30 * i, 10 + 30 * i, 200,
                                  80, NULL, NULL, instance, NULL);
    if (window == NULL) return 2;
    if (first == NULL) first = window;
  }
  SetTimer(first, 1, 60000, NULL);
  while (GetMessageW(&message, NULL, 0, 0) > 0) DispatchMessageW(&message);
  return (int)message.wParam;
}
