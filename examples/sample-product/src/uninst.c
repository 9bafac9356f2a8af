/* UnInst.exe of the sample product: a placeholder. The installer records it as
 * the product's uninstaller and links it from the program group; a real
 * product ships its own. This one only says what it is. */
#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show) {
  wchar_t folder[MAX_PATH];
  wchar_t text[MAX_PATH + 400];
  DWORD length = GetModuleFileNameW(NULL, folder, MAX_PATH);
  (void)instance;
  (void)previous;
  (void)commandLine;
  (void)show;
  while (length > 0 && folder[length - 1] != L'\\') --length;
  if (length > 0) --length; /* keep the folder without its last backslash */
  folder[length] = 0;
  wsprintfW(text, L"This is the placeholder uninstaller of the Pebble Notes sample product.\n\n"
                  L"It removes nothing. To remove Pebble Notes, delete the folder\n%s\n"
                  L"and the Pebble Notes shortcuts by hand.", folder);
  MessageBoxW(NULL, text, L"Pebble Notes Uninstall", MB_OK | MB_ICONINFORMATION);
  return 0;
}
