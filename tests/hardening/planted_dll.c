// A DLL that must never be loaded into the installer: built under the name of
// a system DLL and planted in the installer's folder by the DLL search test
// (tests/e2e), which looks for it among the modules of a process.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  (void)instance, (void)reason, (void)reserved;
  return TRUE;
}
