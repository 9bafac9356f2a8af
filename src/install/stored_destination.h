// The destination folder proposed when the dialog opens, and the one
// remembered per user and product (a REG_SZ value named by the product code
// under the maker's key in HKCU, "Software\Halvorn" unless the build names
// another) for the next run.
#pragma once

// kStoredDestinationKey: where the stored folders live.
#include "install/install_record.h"

// Fills buffer (capacity in units) with the folder to propose: the stored
// folder of the context's productCode, unchanged, when there is a non-empty
// one; otherwise the Program Files folder ("ProgramFilesDir", else the
// "ProgramFiles" environment variable, else "Programme" or "Program Files"
// beside the Windows folder) with a trailing backslash and the context's
// productName. Empty when no folder can be found. A source whose text does not
// fit in the buffer counts as absent.
void DefaultDestination(char16_t* buffer, int capacity);

// Fills buffer with HKLM "Software\Microsoft\Windows\CurrentVersion"
// "ProgramFilesDir", or leaves it empty.
void ReadProgramFilesDir(char16_t* buffer, int capacity);

// Remembers destination for the context's productCode. Does nothing without a
// product code or destination, and silently when the key cannot be written.
void StoreDestination(const char16_t* destination);

