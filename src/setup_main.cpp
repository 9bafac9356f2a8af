// Entry point of setup.exe. Switches: install/setup_options.h; exit codes:
// ui/exit_codes.h.
#include <windows.h>

#include "platform/wide.h"
#include "shell/startup.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int) {
  RestrictLibrarySearch();
  return RunSetup(instance, AsUtf16(commandLine));
}
