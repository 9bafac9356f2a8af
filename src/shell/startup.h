// Start-up and tear-down of the installer around its one dialog: shown and
// modal for a person, hidden and driven here for a silent run (/S).
#pragma once

#include <windows.h>

#include "install/setup_options.h"
#include "ui/library_search.h"

// Fills the InstallerContext before any window exists: registers the common
// controls, zero-fills the record, loads the program icon (icon group 1 of
// instance, standard icon size; null when it cannot be loaded), picks the
// interface language from the system's default language and notes the path of
// the running executable (always terminated; a path cut at 1023 characters is
// left cut, and the scan pass then reports the installer as broken) and opens
// that file as moduleFile, which both archive passes read (PLATFORM_INVALID_FILE
// when it cannot be opened or IsRunningImageFile refuses it: the scan then
// fails). Does nothing without a context.
void InitializeContext(HINSTANCE instance);

// True when file is the very file the running program was started from, as the
// system compares its mappings (NtAreMappedFilesTheSame), not a file put at the
// program's path since, however alike. False when that cannot be established.
bool IsRunningImageFile(PlatformFile file);

// The whole program for the command line arguments (without the program's
// name; see install/setup_options.h): allocates the context, initialises OLE
// and the context, opens the log, runs the setup dialog (or, silent, installs
// through the hidden dialog), closes everything and frees the context.
// Returns an ExitCode (ui/exit_codes.h).
int RunSetup(HINSTANCE instance, const char16_t* arguments);

// The most of the decoded payload a silent run keeps from its scan for its
// install, rather than decode it twice; a larger product is decoded again.
const uint32_t kSilentKeptMax = 256u << 20;

// A silent run's wait for the running product to close; after it the install
// fails rather than wait without a window.
const DWORD kSilentCloseWaitMs = 15000;
