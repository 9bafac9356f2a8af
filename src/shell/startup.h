// Start-up and tear-down of the installer around its one modal dialog.
#pragma once

#include <windows.h>

#include "ui/library_search.h"

// Fills the InstallerContext before any window exists: registers the common
// controls, zero-fills the record, loads the program icon (icon group 1 of
// instance, standard icon size; null when it cannot be loaded), picks the
// interface language from the system's default language and notes the path of
// the running executable (always terminated; a path cut at 1023 characters is
// left cut, and the scan pass then reports the installer as broken) and opens
// that file as moduleFile, which both archive passes read (PLATFORM_INVALID_FILE
// when it cannot be opened: the scan then fails). Does nothing without a context.
void InitializeContext(HINSTANCE instance);

// The whole program: allocates the context, initialises OLE and the context,
// runs the setup dialog until it ends, closes moduleFile, uninitialises OLE and
// frees the context.
// Returns the exit code, which is 0 whatever happened, a failed allocation included.
int RunSetup(HINSTANCE instance);
