// The decisions of the install steps that need no window: what the install
// handler does with an entry's stored name, where a registry text ends, and
// how the Program Files, Quick Launch and shortcut paths are built. The Win32
// steps beside this file wrap them; this part compiles on every target.
//
// Language filter on a stored name, with languageFileBase "Product" (n = 7):
//
//   Lang\Product_FR.LNG    S: the text after the first backslash ("Product_FR.LNG")
//        ^^^^^^^           n characters, never compared with the base
//               ^          S[n] must be "_"
//                ^^        K: up to the first ".", fewer than 5 characters,
//                          upper-cased (ASCII) and packed as a LanguageCode4
#pragma once

#include <stdint.h>

// Win32 error reported when an entry's destination path does not fit in 1023
// units (ERROR_FILENAME_EXCED_RANGE).
const uint32_t kErrorPathTooLong = 206;

// A product, program or uninstaller name field: 31 characters and the terminator.
const int kNameFieldUnits = 32;

// What the install step renames an older PSAPI.DLL in the destination to.
extern const char16_t kSetAsidePsapiName[];

// The record of one Install command; starts all zero.
struct InstallState {
  char16_t destination[1024];   // the destination folder exactly as typed
  char16_t mainProgram[kNameFieldUnits];  // file name of the main program; empty when none is known
  char16_t uninstaller[kNameFieldUnits];  // file name of the uninstaller as stored; empty when none
  uint32_t pathError;           // kErrorPathTooLong once an entry was refused for its path length
  uint64_t bytesWritten;        // the sizes of the entries the pass wrote, added up
};

// The check state of the language item whose LanguageCode4 is code: 1 unchecked,
// 2 checked, 0 no check box, no such item or no list.
typedef int (*LanguageCheckQuery)(uint32_t code, void* queryContext);

// The languages of a run without a dialog (/S): what the dialog's list would
// hold and check. Items past kLanguageChoiceMax are not kept and so count as
// having no check box: their files are installed.
const int kLanguageChoiceMax = 256;
struct LanguageChoices {
  uint32_t codes[kLanguageChoiceMax];  // LanguageCode4 of each item
  uint8_t checks[kLanguageChoiceMax];  // 1 unchecked, 2 checked, as the list's state images
  int count;
};

// Adds a checked item for code unless there is one already.
void AddLanguageChoice(LanguageChoices* choices, uint32_t code);

// The LanguageCheckQuery over a LanguageChoices (queryContext).
int LanguageChoiceCheckOf(uint32_t code, void* queryContext);

// Whether a language keeps its check mark over an existing installation in
// destination: English ("US") and German ("DE") always, any other code when its
// file destination\<languageFileBase>_<code>.LNG is there.
bool KeepsLanguageCheck(const char16_t* destination, const char16_t* languageFileBase, uint32_t code);

// The shortcut boxes proposed for destination (bits 1 start menu, 2 desktop,
// 4 Quick Launch): all three for a folder that does not exist yet, none over an
// existing one.
int ProposedShortcuts(const char16_t* destination);

// True, with the packed code in *code, when the language filter applies to name
// (see the drawing above); false when the name does not have that shape. At
// most three bytes of K are packed, so only a two-letter K can match an item.
bool InstallLanguageCode(const char16_t* name, const char16_t* languageFileBase, uint32_t* code);

enum InstallEntryAction : int {
  kInstallSkip = 0,   // write nothing; name may have been emptied
  kInstallWrite = 1,  // write the entry to the full path now in name
};

// The decision call of the install handler, without its two side effects
// (deleting an existing file at the path, showing it in the status line):
// - an empty name, or a name whose language item is unchecked (checkOf gives 1),
//   is skipped, the latter with name emptied;
// - otherwise the entry lands in state->destination under the last component of
//   name (folders dropped), and that path replaces name (a 1024-unit buffer).
//   A path that would need more than 1023 units is refused instead: name is
//   emptied and state->pathError set, so the install cannot report success.
// On the way, a last component equal to "UnInst.exe" (ASCII case folded)
// becomes state->uninstaller; otherwise the first component of the pass that
// starts with "E"/"e", ends in ".EXE" (folded), is longer than 4 and fits in 31
// characters becomes state->mainProgram while that is empty.
int DecideInstallEntry(char16_t* name, const char16_t* languageFileBase, LanguageCheckQuery checkOf,
                       void* queryContext, InstallState* state);

// Ends a text value that a registry read put into buffer (capacity in units,
// `bytes` the size the read reported): the stored bytes need not end in a
// terminator. True when the text fits with one, cut at its first terminator or
// behind its last whole unit; false, with buffer empty, when the value fills
// the whole buffer without a terminator.
bool EndRegistryText(char16_t* buffer, int capacity, uint32_t bytes);

// Turns windowsFolder (in place, capacity in units) into the Program Files
// folder beside it: "D:\Windows" gives "D:\Programme" when that exists, else
// "D:\Program Files". A folder without a parent, or a result that does not fit,
// leaves the buffer empty.
void ProgramFilesBesideWindows(char16_t* windowsFolder, int capacity);

// Turns appData (in place) into its Quick Launch folder,
// appData\Microsoft\Internet Explorer\Quick Launch, when that exists and holds
// no "User Pinned\TaskBar" folder (a taskbar that pins instead of launching);
// otherwise, or when a path does not fit, leaves the buffer empty.
void QuickLaunchFolderBelow(char16_t* appData, int capacity);

// Builds folder\name.lnk into out. False, with out empty, when folder or name
// is empty (a bare ".lnk" would land beside the folder) or the path does not fit.
// One leading separator of name is dropped.
bool BuildShortcutPath(const char16_t* folder, const char16_t* name, char16_t* out, int capacity);

// True when the product name may name the program group, the shortcuts and the
// uninstall key: not empty, not only dots and spaces (as "." and ".." are), no
// device name (IsDeviceName) and no character that Windows forbids in a file
// name, so no separator. A name that fails is treated as no name: the install
// steps that need one are skipped.
bool IsUsableProductName(const char16_t* name);

// True when the main program name from the StreamHeader is a file name of the
// destination folder: not empty, no character that Windows forbids in a file
// name, so no separator, and nothing IsUnsafeFileName refuses. A name that fails
// counts as no main program.
bool IsUsableMainProgramName(const char16_t* name);
