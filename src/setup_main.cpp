// Entry point of setup.exe. The installer takes no command-line arguments and
// always exits with code 0.
#include <windows.h>

#include "shell/startup.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  RestrictLibrarySearch();
  return RunSetup(instance);
}
