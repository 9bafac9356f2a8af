// Entry point of uninst.exe, the uninstaller that `setupkit pack --uninstaller`
// adds to a product. Exit codes: see uninstall/uninstall_run.h.
#include <windows.h>

#include "platform/wide.h"
#include "ui/library_search.h"
#include "uninstall/uninstall_decisions.h"
#include "uninstall/uninstall_files.h"
#include "uninstall/uninstall_run.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandLine, int) {
  RestrictLibrarySearch();
  UninstallCommand command;
  if (ParseUninstallCommand(AsUtf16(commandLine), &command) != 0) return kUninstallBadCommandLine;
  if (command.original == 0) return RunUninstall(command.silent);
  HANDLE original = reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(command.original));
  return IsOtherProcess(original) ? FinishSelfRemoval(original) : kUninstallBadCommandLine;
}
