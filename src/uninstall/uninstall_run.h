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
  kUninstallBadCommandLine = kExitBadCommandLine,  // a switch not understood, or a /X= handle that is no other
                                                   // process: nothing changed
};

// Switches: uninstall/uninstall_decisions.h.
//
// The whole removal, steps in this order: read the trailer (a damaged one ends
// here with a message), ask (unless silent; No ends here), close the running
// product and wait for its processes, delete the listed files found in the
// program's own folder (a file in use is scheduled for deletion at restart),
// remove the shortcuts that point into that folder and then the program group
// folder when empty, remove the uninstall key whose UninstallString starts a
// program of that folder and the stored destination when it names that folder
// (a product name that IsUsableProductName refuses touches no group, shortcut
// or key), start the copy that removes the program and its folder,
// and say what was done (unless silent). Returns an UninstallExit.
int RunUninstall(bool silent);

// The part of the temporary copy: holds the program file of the process
// `original` (an inherited handle, IsOtherProcess) and its folder open, waits
// for the process to end, then deletes that file through its handle, provided
// it carries this program's own trailer, and the folder that held it when
// empty. The copy's own file and folder go at the next restart. Returns 0, or 1
// when the original could not be identified or deleted.
int FinishSelfRemoval(HANDLE original);
