/* A DLL that must never be loaded into the installer: built under the name of a
 * system DLL and planted in the installer's folder by the search-order test.
 * Loaded, it writes the path of the program that loaded it into a file beside
 * itself, named after the DLL with ".loaded" appended. It exports nothing. */
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  wchar_t marker[MAX_PATH + 8], program[MAX_PATH];
  DWORD length, programLength, written;
  HANDLE file;
  (void)reserved;
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  length = GetModuleFileNameW(instance, marker, MAX_PATH);
  programLength = GetModuleFileNameW(NULL, program, MAX_PATH);
  if (length == 0 || length >= MAX_PATH || programLength >= MAX_PATH) return TRUE;
  lstrcatW(marker, L".loaded");
  file = CreateFileW(marker, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
  if (file == INVALID_HANDLE_VALUE) return TRUE;
  WriteFile(file, program, programLength * sizeof(wchar_t), &written, NULL);
  CloseHandle(file);
  return TRUE;
}
