// What uninst.exe does: removes, from the folder it was installed into, what
// the installer put there and on the machine for the product its trailer
// (archive/uninstall_trailer.h) names, and then itself.
#pragma once

#include <windows.h>

#include "ui/exit_codes.h"

// Exit codes of uninst.exe, from the table both programs share.
enum UninstallExit : int {
  kUninstallRemoved = kExitSuccess,         // everything is gone or on its way (its own file, through its copy)
  kUninstallDeclined = kExitDeclined,       // the user answered No: nothing changed
  kUninstallDamaged = kExitDamaged,         // no whole trailer (missing, cut, checksum): nothing changed
  kUninstallIncomplete = kExitRestartNeeded,  // removed, but a file stays until the next restart or could not be deleted
};

// The whole removal, steps in this order: read the trailer (a damaged one ends
// here with a message), ask (unless silent; No ends here), close the running
// product and wait for its processes, delete the listed files found in the
// program's own folder (a file in use is scheduled for deletion at restart),
// remove the shortcuts that point into that folder and then the program group
// folder when empty, remove the uninstall key and the stored destination when
// it names that folder, start the copy that removes the program and its folder,
// and say what was done (unless silent). Returns an UninstallExit.
int RunUninstall(bool silent);

// The part of the temporary copy: waits for the process `original` (an
// inherited handle) to end, then deletes its program file, provided that file
// carries this program's own trailer, and the folder that held it when empty.
// The copy's own file goes at the next restart. Returns 0, or 1 when the
// original could not be identified or deleted.
int FinishSelfRemoval(HANDLE original);

// The switches of a command line (without the program's name): /S (any case)
// sets *silent; /X=<number> is the copy's inherited process handle, null when
// absent. Other words are ignored.
void ParseUninstallCommand(const wchar_t* commandLine, bool* silent, HANDLE* original);
