// The uninstaller's own texts in English, German and Italian: string tables of
// the installer's kind (text/string_tables.h), chosen by the system's default
// language as the installer chooses its own (ui/interface_language.h). "%s" in a
// text stands for a name that ComposeText puts in. Compiles on every target.
#pragma once

#include <stdint.h>

#include "text/string_tables.h"

enum UninstallTextId : int16_t {
  kTextUninstallCaption = 1,     // every box's caption
  kTextUninstallConfirm = 2,     // %s: the product name
  kTextUninstallDone = 3,        // %s: the product name
  kTextUninstallFolderKept = 4,  // %s: the folder
  kTextUninstallAtRestart = 5,   // followed by the names, one a line
  kTextUninstallNotDeleted = 6,  // followed by the names, one a line
  kTextUninstallDamaged = 7,
  kTextUninstallNoRecord = 8,    // the folder's record of installed files is missing or damaged
};

// The table for a language code as LanguageIdToCode writes it ("DE", "IT"):
// English for any other, and for null.
const StringTable* UninstallStringTableFor(const char* code);

// Looks up id in table and writes it into out (capacity in units, always
// terminated, cut to fit) with its first "%s" replaced by insert.
void ComposeText(const StringTable* table, int16_t id, const char16_t* insert, char16_t* out, int capacity);
