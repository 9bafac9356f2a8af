// The installer's one process-wide record. Start-up creates it zero-filled,
// the scan pass and the dialog fill it in stages, every other module reads it
// through InstallerContextGet(). No field owns heap memory; every text field
// always holds a terminated string.
//
// Only the dialog's thread touches the record; the closer thread works on its
// own copy of productWindowClass, so the record needs no lock.
#pragma once

#include <stdint.h>

#include "platform/platform.h"

struct StringTable;

struct InstallerContext {
  void* icon;                       // HICON of icon resource 1, standard icon size
  char languageCode[4];             // interface language: "US", "DE" or "IT"
  const StringTable* stringTable;   // active table of interface texts
  char productCode[4];              // StreamHeader text 1, at most 3 characters (ANSI)
  char productName[32];             // from the product description (ANSI)
  char productVersion[32];          // the same description's version, empty without one (ANSI)
  char productWindowClass[32];      // StreamHeader text 2, or productName (ANSI)
  char mainProgramName[32];         // StreamHeader text 3 (ANSI)
  char16_t languageFileBase[32];    // common base name of the language files
  char16_t modulePath[kPathUnits];  // full path of the running executable
  PlatformFile moduleFile;          // that file, open from start-up to exit, shared for reading only
  bool silent;                      // /S: no window is shown, messages go to the log only
  PlatformFile logFile;             // the /LOG file, or PLATFORM_INVALID_FILE
  bool logFailed;                   // a line could not be written to logFile
  void* closer;                     // HANDLE of the closer thread, null when none was started
  int exitCode;                     // what the program returns once the dialog has ended (ui/exit_codes.h)
};

// The process-wide reference: set by start-up before anything else runs and
// cleared when the dialog has ended. Returns null while none is set.
InstallerContext* InstallerContextGet();
void InstallerContextSet(InstallerContext* context);
