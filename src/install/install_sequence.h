// What the Install button does: the install pass over the installer's own
// payload into the destination folder, then everything that records the
// installation on the machine, then the success message.
#pragma once

#include <windows.h>

#include "archive/archive_pass.h"
#include "install/install_decisions.h"
#include "install/setup_options.h"
#include "install/system_error.h"

// Runs one Install command for the setup dialog, which must hold the
// destination edit 1032, the check boxes 1041-1043, the language list 1010 and
// the status line 1047, on a thread with COM initialised. Returns
//   0    installed; the success box (product name + text 3000, captioned with
//        the dialog's title) has been shown and the dialog should close
//   -1   the destination is empty (nothing shown, nothing touched), or there
//        is no InstallerContext
//   kErrorFolderNotFull  the destination is not a full path (IsFullyQualifiedPath):
//        text 3002 has been shown, nothing touched
//   kErrorNewerInstalled  the folder's record (install/folder_record.h) names
//        a newer version and the question (text 3005) was answered No, or a
//        silent run has no allowDowngrade: nothing touched
//   < 0  otherwise: the payload is broken; text 3001 has been shown
//   > 0  a Win32 error creating or writing a file, or reading the installer;
//        the system's text for it has been shown
// Messages go through ShowInstallerMessage: logged, and not shown in a silent
// run. After a failure the files written so far stay, and only the folder's
// record (install/folder_record.h: every file written into the folder, merged
// with what earlier installs recorded there) is written. The
// destination, each file written, a file set aside and each value and shortcut
// recorded go to the log (ui/setup_log.h).
int RunInstall(HWND dialog);

// Win32's ERROR_BAD_PATHNAME: what a destination that is no full path gives.
const int kErrorFolderNotFull = 161;

// RunInstall with its message boxes shown through show.
int RunInstallWith(HWND dialog, MessageFunction show);

// What an Install command installs, the dialog's controls or a silent run's
// proposal: the destination (at most 1021 units are used), the shortcut boxes
// (SetupShortcutBits) and the language check marks.
struct InstallChoices {
  char16_t destination[kPathUnits];
  int shortcuts;
  LanguageCheckQuery checkOf;
  void* checks;          // checkOf's queryContext
  bool allowDowngrade;   // install over a newer version without asking
  KeptStream* kept;      // the scan's decoded stream, parsed instead of the file when whole; may be null
};

// Win32's ERROR_PRODUCT_VERSION: what RunInstallChoices gives when a newer
// version is installed in the destination and the user (or, silent, the
// missing /ALLOWDOWNGRADE) said no. Nothing was written.
const int kErrorNewerInstalled = 1638;

// RunInstallWith for choices instead of a dialog's controls; owner (may be
// null) owns the message boxes and shows the status line.
int RunInstallChoices(HWND owner, const InstallChoices* choices, MessageFunction show);

// Renames destination\PSAPI.DLL to destination\HVPSAPI.DLL where there is one
// and no HVPSAPI.DLL yet, so a product file of that name replaces an old copy;
// the new name goes to the log.
void SetAsidePsapi(const char16_t* destination);
