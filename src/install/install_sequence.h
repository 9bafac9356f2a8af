// What the Install button does: the install pass over the installer's own
// payload into the destination folder, then everything that records the
// installation on the machine, then the success message.
#pragma once

#include <windows.h>

#include "install/system_error.h"

// Runs one Install command for the setup dialog, which must hold the
// destination edit 1032, the check boxes 1041-1043, the language list 1010 and
// the status line 1047, on a thread with COM initialised. Returns
//   0    installed; the success box (product name + text 3000, captioned with
//        the dialog's title) has been shown and the dialog should close
//   -1   the destination is empty (nothing shown, nothing touched), or there
//        is no InstallerContext
//   < 0  otherwise: the payload is broken; text 3001 has been shown
//   > 0  a Win32 error creating or writing a file, or reading the installer;
//        the system's text for it has been shown
// After a failure the files written so far stay; nothing is recorded.
int RunInstall(HWND dialog);

// RunInstall with its message boxes shown through show.
int RunInstallWith(HWND dialog, MessageFunction show);

// Renames destination\PSAPI.DLL to destination\HVPSAPI.DLL where there is one
// and no HVPSAPI.DLL yet, so a product file of that name replaces an old copy.
void SetAsidePsapi(const char16_t* destination);
