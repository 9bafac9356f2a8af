// The installer's own interface texts in English, German and Italian, fetched
// by a 16-bit string id from the table chosen at start-up.
//
// A table is constant data, never copied or freed:
//
//   +---------------+------------------------------------+---------+
//   | language code | rows: {id, text} ...               | {0, -}  |
//   | "US"/"DE"/"IT"| searched from the top, first wins  | end row |
//   +---------------+------------------------------------+---------+
//
// The three built-in tables hold Windows-1252 bytes and are converted
// through the ANSI code page on lookup. Ids reuse the number of the control or
// resource that shows the text, so id 0 can never be looked up.
#pragma once

#include <stdint.h>

struct StringRow {
  int16_t id;        // 0 ends the table
  const char* text;  // ANSI
};

struct StringTable {
  char languageCode[4];    // two upper-case letters
  const StringRow* rows;   // borrowed, ended by a row with id 0
};

// String ids of the interface texts.
enum StringId : int16_t {
  kTextCancel = 2,
  kTextInstall = 99,
  kTextMenuCheckAll = 136,
  kTextMenuUncheckAll = 137,
  kTextMenuInvert = 138,
  kTextDialogTitle = 1000,
  kTextLanguageColumn = 1010,
  kTextDestinationLabel = 1031,
  kTextStartMenuEntry = 1041,
  kTextDesktopIcon = 1042,
  kTextQuickLaunchIcon = 1043,
  kTextLanguageEnglish = 2001,
  kTextLanguageGerman = 2002,
  kTextInstalled = 3000,     // appended directly behind the product name; begins with a blank
  kTextBrokenFile = 3001,
  kTextFolderNotFull = 3002,  // the destination is no full path
  kTextUsage = 3003,          // the command-line switches, for /?
  kTextBadSwitch = 3004,      // a word of the command line not understood; the usage text follows
  kTextDowngrade = 3005,      // %1 the installed version, %2 the product, %3 the older version
};

extern const StringTable kStringTableEnglish;
extern const StringTable kStringTableGerman;
extern const StringTable kStringTableItalian;

// Every table, English first (the default), ended by null.
extern const StringTable* const kStringTables[];

// The ids the main dialog takes from the table when it opens: its title first,
// then its controls, each control carrying the id of its text; ended by 0.
extern const int16_t kDialogTextIds[];

// Writes "DE", "IT" or "US" and a terminator into out (at least 3 bytes) for a
// Windows language id, compared whole (primary language and sublanguage).
void LanguageIdToCode(uint16_t languageId, char* out);

// The first table of kStringTables whose language code equals code, folding
// ASCII letters only; English when none does or code is null.
const StringTable* FindStringTable(const char* code);

// Copies the text of id from table into out, converting a narrow table through
// the ANSI code page, then turns each backslash-"t" into a TAB. The text keeps
// at most capacity - 2 characters and out always ends terminated; out is empty
// when table is null or has no row for id. With capacity 0 or less nothing at
// all is written.
void LookupString(const StringTable* table, int16_t id, char16_t* out, int capacity);

// In place, turns each backslash followed by a lower-case "t" into one TAB; the
// search goes on behind the TAB, so "\\t" (two backslashes) gives a backslash and a TAB.
void ExpandTabEscapes(char16_t* text);

// Copies pattern into out, each "%1" to "%9" replaced by args[n - 1] (when
// n <= count; otherwise kept as it is). Cut to capacity and terminated.
void FormatString(const char16_t* pattern, const char16_t* const* args, int count, char16_t* out, int capacity);
