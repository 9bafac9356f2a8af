// The installer's command line, for deployment tools that run it without a
// person: which switches there are and what each asks for. Switches start with
// "/" in any case; a switch may be quoted whole ("/D=C:\Program Files\Tool").
//
//   /S                  silent: no window; does what Install on the proposed dialog does
//   /D=<folder>         the destination; unquoted it is the last switch and takes
//                       the rest of the line, spaces included; or /D="<folder>"
//   /LOG=<file>         a UTF-8 log of the run (quoted when it holds spaces)
//   /SHORTCUTS=<list>   the shortcut boxes: startmenu,desktop,quicklaunch, or none
//   /ALLOWDOWNGRADE     silent: install over a newer version without refusing
//   /?                  the switches in a message box; nothing is installed
//
// This part only parses; it compiles on every target.
#pragma once

#include <stdint.h>

#include "platform/platform.h"

// The shortcut boxes /SHORTCUTS= sets, as bits of SetupOptions::shortcuts.
enum SetupShortcutBits : int {
  kShortcutStartMenu = 1,
  kShortcutDesktop = 2,
  kShortcutQuickLaunch = 4,
  kShortcutsAsProposed = -1,  // no /SHORTCUTS=: the boxes as the dialog proposes them
};

struct SetupOptions {
  bool silent;                        // /S
  bool help;                          // /?
  bool allowDowngrade;                // /ALLOWDOWNGRADE
  int shortcuts;                      // SetupShortcutBits, or kShortcutsAsProposed
  char16_t destination[kPathUnits];   // /D=, empty when absent; always fully qualified
  char16_t logPath[kPathUnits];       // /LOG=, empty when absent
  char16_t rejected[64];              // the first word not understood (cut), when the result is 1
};

// Parses arguments (the command line without the program's name; null is an
// empty line) into *options, which is reset first. Returns 0, or 1 when a word
// is not understood: an unknown switch, a value that is empty, unterminated,
// too long or unknown, or a /D= folder that IsFullyQualifiedPath refuses. The
// words before and after the one refused are still read, so options->silent
// says whether a window may tell the user.
int ParseSetupOptions(const char16_t* arguments, SetupOptions* options);
