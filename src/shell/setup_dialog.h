// The setup dialog: template 1000, the installer's only window, run modally by
// start-up. Initialisation reads the payload once (the scan pass), proposes the
// destination and the shortcut choices and starts the instance closer; the
// commands run the installation, the folder browser and the language menu.
// The dialog keeps no state beyond its controls.
#pragma once

#include <windows.h>

#include "install/setup_options.h"
#include "ui/control_ids.h"
#include "ui/product_closer.h"

// The dialog procedure for DialogBoxParamW. Returns TRUE for the messages it
// handles (so the dialog manager adds nothing of its own) and FALSE otherwise,
// WM_INITDIALOG included: the system then leaves the focus where activation puts it.
//   WM_INITDIALOG   InitDialog, its lParam the SetupOptions (or 0 for none)
//   WM_CLOSE        EndDialog(dialog, 0); every way of closing arrives here
//   WM_CONTEXTMENU  the language menu, when the click names the language list
//   WM_DPICHANGED   FALSE, so the system scales the dialog to the new screen;
//                   kFitToDpiMessage posted to fit what it does not scale
//   kFitToDpiMessage  FitToDpi
//   WM_COMMAND      by id (the notification code is not looked at):
//                   99 RunInstall, WM_CLOSE posted when it returns 0;
//                   2 (Cancel, Escape) WM_CLOSE posted;
//                   136/137/138 check all / uncheck all / invert the languages;
//                   1033 the folder browser for the destination.
INT_PTR CALLBACK SetupDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Posted by the dialog to itself after the system has moved it to a screen of
// another DPI.
const UINT kFitToDpiMessage = WM_APP + 1;

// What the system does not scale when a per-monitor aware dialog changes DPI:
// the title line's own font (when it has one) and the language list's column
// widths, which are in pixels, set again for the dialog's present DPI.
void FitToDpi(HWND dialog);

// Centres the dialog, sets the class icon and the texts, prepares the language
// list and runs the scan pass. Then starts the closer, only when the scan pass succeeded (a
// broken installer installs nothing, so it leaves the product running), keeping
// its handle in the context, and applies the defaults for options' destination
// and its shortcut choice (options may be null). When the scan pass fails it
// sets the context's exitCode to kExitDamaged, logs it, shows the broken-file
// message unless silent (before the hidden dialog was ever shown) and posts
// WM_CLOSE. Stops after the texts when the dialog has no language list. Needs
// the InstallerContext.
void InitDialog(HWND dialog, const SetupOptions* options);

// Where a window of rectangle window sits centred on desktop: each edge is
// half the difference of the sizes, halved by an arithmetic shift (rounding
// toward minus infinity), so a window larger than the desktop gets a negative
// position.
POINT CenteredPosition(const RECT& desktop, const RECT& window);

// Moves the window to CenteredPosition on the desktop window; size, Z order and
// activation stay.
void CenterOnDesktop(HWND window);

// Puts destinationGiven, or DefaultDestination when that is null or empty, into
// edit 1032 and hides box 1043 when the system has no Quick Launch folder. An
// existing destination marks the languages installed there and leaves the
// three boxes unchecked; a new one checks all three (1043 too when hidden).
void ApplyDefaults(HWND dialog, const char16_t* destinationGiven);

// Sets the three shortcut boxes from SetupShortcutBits; kShortcutsAsProposed
// leaves them as they are.
void ApplyShortcutChoice(HWND dialog, int shortcuts);
