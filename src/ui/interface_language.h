// The interface language: chosen once at start-up from the system's default
// language, then the source of every text of the installer's own.
#pragma once

#include <windows.h>

#include <stdint.h>

#include "text/string_tables.h"

// Writes "DE", "IT" or "US" and a terminator into out (at least 3 bytes) from
// the system default language id.
void SystemLanguageCode(char* out);

// Sets the context's stringTable: the table of its languageCode, filling that
// from SystemLanguageCode first when it is empty; English when no table has
// the code. Does nothing without a context.
void SelectInterfaceLanguage();

// The context's stringTable, or null without a context.
const StringTable* CurrentStringTable();

// ids is a title id, 0 for none, followed by a 0-ended list of control ids:
// sets window's title from the first and the text of each control from its own
// id, so {0, 99, 0} leaves the title alone and sets control 99. An id the table lacks gives its control an empty text.
// Does nothing when table or ids is null.
void ApplyDialogTexts(HWND window, const StringTable* table, const int16_t* ids);

// The same with the context's stringTable.
void ApplyDialogTexts(HWND window, const int16_t* ids);
