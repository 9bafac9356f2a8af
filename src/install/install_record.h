// What Install records once its pass has written every file: the stored
// destination, the uninstall entry, the program group and the shortcuts. The
// decisions and texts live here, free of Win32, so that setupkit's plan shows
// exactly what the Win32 steps (install_sequence, uninstall_entry, shortcuts,
// stored_destination) then write.
#pragma once

#include "install/install_decisions.h"
#include "platform/platform.h"

// The maker, as the uninstall entry names it.
extern const char16_t kPublisher[];
extern const char16_t kPublisherAddress[];
// Where the stored folders live, below HKEY_CURRENT_USER.
extern const char16_t kStoredDestinationKey[];
// Below HKEY_LOCAL_MACHINE; the product name completes the key of its entry.
extern const char16_t kUninstallKeyBase[];
// The program group's link to the uninstaller, without ".lnk".
extern const char16_t kUninstallLinkName[];

// Sets productName (ANSI, capacity in bytes) from a product description's name
// while it is empty. The name becomes a folder, link names and a registry key,
// so one that IsUsableProductName refuses counts as no name: productName stays
// empty, and a later description may still set it.
void AdoptProductName(const char* descriptionName, char* productName, int capacity);

// Which record steps Install takes, given the state its pass left. A step needs
// its check box too where it has one (program group, desktop, Quick Launch).
struct InstallRecordSteps {
  bool storeDestination;  // a product code names the stored value
  bool uninstallEntry;    // an uninstaller was written and the product has a name
  bool programGroup;      // a main program and a product name
  bool uninstallLink;     // in the program group: an uninstaller was written
  bool shortcuts;         // desktop and Quick Launch: a main program and a product name
};
void DecideInstallRecord(const InstallState* state, const char16_t* productName, const char16_t* productCode,
                         InstallRecordSteps* steps);

// The values of the uninstall entry, in the order they are written: text
// values (REG_SZ) and numbers (REG_DWORD).
const int kUninstallValueMax = 11;
struct UninstallValue {
  const char16_t* name;
  bool isNumber;
  uint32_t number;
  char16_t text[kPathUnits];
};
// What the entry says beyond the installation's state.
struct UninstallFacts {
  const char16_t* productName;  // DisplayName
  const char16_t* version;      // DisplayVersion; empty or null: no such value
  bool quietUninstall;          // the uninstaller takes /S (it is one setupkit generated)
};
// Fills values for state's installation and returns how many: DisplayName,
// UninstallString (the uninstaller's path in quotes), QuietUninstallString (the
// same and " /S", only with quietUninstall), DisplayIcon (the main program's
// path, empty without one), DisplayVersion (only with a version), Publisher,
// URLInfoAbout, InstallLocation (the destination), EstimatedSize (KiB of the
// bytes the pass wrote, rounded up), NoModify and NoRepair (1).
int UninstallEntryValues(const InstallState* state, const UninstallFacts* facts,
                         UninstallValue values[kUninstallValueMax]);

// The uninstall entry's values that an install writes only in some cases; one
// that this install does not write is deleted, so a stale one never stays.
extern const char16_t* const kUninstallOptionalValues[];

// This build's own version (its version record's), for the log.
extern const char16_t kInstallerVersion[];

// Completes programFiles (in place, capacity in units) into the destination
// proposed on a first run: a trailing backslash and the product name (ANSI).
// An empty buffer stays empty.
void ProposeDestination(char16_t* programFiles, int capacity, const char* productName);

// folder\file into out; empty when file is empty or the path does not fit.
void JoinInstalledPath(const char16_t* folder, const char16_t* file, char16_t* out, int capacity);
