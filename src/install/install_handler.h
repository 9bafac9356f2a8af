// The entry handler of the install pass: filters language files by the
// language list's check marks, flattens every entry into the destination
// folder, notes the uninstaller and main program, and shows each path in the
// status line. The decisions themselves are DecideInstallEntry.
#pragma once

#include <windows.h>

#include <stdint.h>

#include "install/folder_record.h"
#include "install/install_decisions.h"

// The install pass's context: the record of the decisions and the window that
// shows them.
struct InstallPassContext {
  InstallState state;
  HWND owner;                  // the setup dialog's status line; null in a silent run
  LanguageCheckQuery checkOf;  // the language check marks
  void* checks;                // checkOf's queryContext
  RecordBuilder record;        // the folder's record, each written file's name added; no bytes: none kept
};

// The EntryHandler of the install pass; context is the InstallPassContext of
// the running install. On the decision call of an
// entry it writes: the entry's full destination path into name, after deleting
// an existing file there, and into the status line and the log, adds its size
// to the state's bytesWritten, and returns 1. Skipped
// entries return 0 and leave the status line alone. Data calls return 0.
int InstallHandler(char16_t* name, const uint8_t* data, uint32_t size, void* context);

// The LanguageCheckQuery over a language list control (queryContext, an HWND):
// the check state of the first item carrying code; 0 without list or item.
int LanguageListCheckOf(uint32_t code, void* queryContext);
