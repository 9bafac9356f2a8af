// Making the installed product known: its entry in the system's list of
// installed programs (HKLM "SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\"
// plus the product name) and its program group in the Start menu. Best
// effort: nothing here reports a failure.
#pragma once

#include "install/install_decisions.h"


// Writes the values of UninstallEntryValues for state, the context's
// productName and productVersion, and QuietUninstallString when the installed
// uninstaller carries a trailer, into the product's key, creating it; an
// optional value this install does not write is deleted, other values of the
// key stay. Each value written goes to the log. Nothing is written when the
// product name is empty, which would name the Uninstall key itself.
void WriteUninstallEntry(const InstallState* state);

// Creates the folder named after the product in the all-users Programs folder
// (the user's own where that has no path) and in it the links
// "<productName>.lnk" to state's main program and "Uninstall.lnk" to its
// uninstaller, both working in the destination. Nothing is made when the
// product name is empty or the group folder cannot be created, an existing one
// included: the links of an earlier installation stay as they were.
void CreateProgramGroup(const InstallState* state);

// Writes group\name.lnk pointing at folder\file, working directory folder.
// Nothing when name or file is empty or a path does not fit in 1023 units.
void CreateGroupLink(const char16_t* name, const char16_t* folder, const char16_t* file, const char16_t* group);
