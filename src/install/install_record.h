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

// The five REG_SZ values of the uninstall entry, in the order they are written.
const int kUninstallValueCount = 5;
struct UninstallValue {
  const char16_t* name;
  char16_t text[kPathUnits];
};
// Fills the values for state's installation: DisplayName, UninstallString (the
// uninstaller's path, unquoted), DisplayIcon (the main program's path, empty
// without one), Publisher and URLInfoAbout.
void UninstallEntryValues(const InstallState* state, const char16_t* productName,
                          UninstallValue values[kUninstallValueCount]);

// Completes programFiles (in place, capacity in units) into the destination
// proposed on a first run: a trailing backslash and the product name (ANSI).
// An empty buffer stays empty.
void ProposeDestination(char16_t* programFiles, int capacity, const char* productName);

// folder\file into out; empty when file is empty or the path does not fit.
void JoinInstalledPath(const char16_t* folder, const char16_t* file, char16_t* out, int capacity);
