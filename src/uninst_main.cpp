// Entry point of uninst.exe, the uninstaller that `setupkit pack --uninstaller`
// adds to a product. Exit codes: see uninstall/uninstall_run.h.
#include <windows.h>

#include "ui/library_search.h"
#include "uninstall/uninstall_run.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandLine, int) {
  RestrictLibrarySearch();
  bool silent = false;
  HANDLE original = nullptr;
  ParseUninstallCommand(commandLine, &silent, &original);
  if (original != nullptr) return FinishSelfRemoval(original);
  return RunUninstall(silent);
}
