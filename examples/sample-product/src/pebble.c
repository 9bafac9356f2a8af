/* Pebble Notes, the sample product's main program: one window of the class
 * "PebbleNotesWindow" holding a note pad. The installer looks for windows of
 * that class and closes them before it writes files, so the class name here
 * and the --window-class given to setupkit must agree. */
#include <windows.h>

#define PEBBLE_CLASS L"PebbleNotesWindow"
#define NOTE_ID 100

static LRESULT CALLBACK PebbleWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE: {
      wchar_t folder[MAX_PATH];
      wchar_t text[MAX_PATH + 200];
      DWORD length = GetModuleFileNameW(NULL, folder, MAX_PATH);
      HWND note;
      while (length > 0 && folder[length - 1] != L'\\') --length;
      folder[length] = 0;
      wsprintfW(text, L"Pebble Notes 1.2, the sample product of setupkit.\r\n"
                      L"Installed in %s\r\n\r\nType here; nothing is saved.\r\n", folder);
      note = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", text,
                             WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN, 0, 0,
                             0, 0, window, (HMENU)NOTE_ID, NULL, NULL);
      SendMessageW(note, WM_SETFONT, (WPARAM)GetStockObject(DEFAULT_GUI_FONT), 0);
      return 0;
    }
    case WM_SIZE:
      MoveWindow(GetDlgItem(window, NOTE_ID), 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
      return 0;
    case WM_SETFOCUS:
      SetFocus(GetDlgItem(window, NOTE_ID));
      return 0;
    case WM_DESTROY:
      /* Also what the installer sends to close a running copy. */
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show) {
  WNDCLASSW windowClass = {0};
  HWND window;
  MSG message;
  (void)previous;
  (void)commandLine;
  windowClass.lpfnWndProc = PebbleWindowProc;
  windowClass.hInstance = instance;
  windowClass.hIcon = LoadIconW(NULL, (LPCWSTR)IDI_APPLICATION);
  windowClass.hCursor = LoadCursorW(NULL, (LPCWSTR)IDC_ARROW);
  windowClass.hbrBackground = (HBRUSH)(COLOR_WINDOW + 1);
  windowClass.lpszClassName = PEBBLE_CLASS;
  if (!RegisterClassW(&windowClass)) return 1;
  window = CreateWindowExW(0, PEBBLE_CLASS, L"Pebble Notes", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 480,
                           320, NULL, NULL, instance, NULL);
  if (window == NULL) return 1;
  ShowWindow(window, show);
  while (GetMessageW(&message, NULL, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return 0;
}
