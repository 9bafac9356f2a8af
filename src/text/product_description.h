// Readers for the two kinds of payload entries the scan pass looks at: the
// product description "FILE_ID.DIZ" and the language files "<base>_<code>.LNG".
// Each reader takes the first bytes of an entry as the archive pass hands them
// over (at most 1024 are looked at, never terminated) and works on caller-owned
// buffers; none of them touches a window.
//
// Language file names and codes:
//
//   Lang\Tool_DE.LNG     file-name part "Tool_DE.LNG"
//        ^^^^            base: the file-name part less its last 7 characters
//             ^^         code: the two characters before the last four, upper-cased,
//                        carried as a LanguageCode4 ("DE" = 0x00004544)
#pragma once

#include <stdint.h>

// Leading bytes the readers look at.
const uint32_t kLeadingBytesMax = 1024;

// ---- LanguageCode4: up to four single-byte characters, the first in the lowest byte.

// Packs the first (at most four) bytes of a terminated narrow code: "US" -> 0x5355.
uint32_t LanguageCode4FromNarrow(const char* code);

// Writes the code's four bytes and a terminator into out (at least 5 bytes).
void LanguageCode4ToNarrow(uint32_t code, char* out);

// ---- Entries the scan pass looks at.

enum ScanEntryKind {
  kScanEntryOther = 0,
  kScanEntryDescription,   // the whole name is "FILE_ID.DIZ", ASCII case folded
  kScanEntryLanguageFile,  // the name ends in ".LNG", ASCII case folded
};

// Names of 6 characters or fewer are never looked at, so "IT.LNG" is other.
// A description in a sub-folder ("docs\FILE_ID.DIZ") is other.
ScanEntryKind ClassifyScanEntry(const char16_t* name);

// ---- Product description: the first line of FILE_ID.DIZ.

struct ProductDescription {
  char name[128];    // ANSI, at most 127 bytes
  char version[32];  // ANSI, at most 31 bytes
};

// Reads the first line: everything up to the first NUL, LF, CR, "(" or "[", less
// one trailing blank; split at the first " Version " (case-sensitive) into name
// and version. With no marker the whole line is the name and the version is
// empty. Both are reset first and cut to their buffers.
void ParseDescriptionLine(const uint8_t* data, uint32_t count, ProductDescription* out);

// Appends name, a blank and version to text (ANSI, capacity in bytes): the title
// line, or, behind the dialog's title and a blank, the new dialog title. The
// blank is appended even when name or version is empty.
void AppendProductTitle(const ProductDescription* description, char* text, int capacity);

// ---- Language files.

// Reads the display name from a language file's leading bytes, UTF-16 LE when
// they start with FF FE, else ANSI. The text must open with "["; the name is what
// follows the first "Language" and one separator character, cut at the first "(",
// "=", CR and LF in that order, then stripped of trailing blanks. Returns false
// (name empty) when the file is no language file or the name is cut to nothing
// before stripping: a name of blanks only gives true and an empty name.
// name should hold 1024 units; the decoded text is cut to capacity.
bool ReadLanguageFileName(const uint8_t* data, uint32_t count, char16_t* name, int capacity);

// The code of a language file from its entry name: the two characters that start
// 6 from the end, converted to ANSI, ASCII letters upper-cased. "_it.lng" -> "IT".
uint32_t LanguageFileCode(const char16_t* entryName);

// Sets base from a language file's entry name, only while base is empty: the
// file-name part cut to capacity, then, when longer than 7 characters, less its
// last 7. "Lang\Tool_IT.lng" -> "Tool"; "_IT.LNG" stays whole.
void SetLanguageFileBase(const char16_t* entryName, char16_t* base, int capacity);

// Builds destination + "\" (unless it ends in a separator) + base + "_" + code +
// ".LNG" into out, every step bounded by capacity: where an installation keeps a
// language's file. code is narrow.
void BuildLanguageFilePath(const char16_t* destination, const char16_t* base, const char* code, char16_t* out,
                           int capacity);

// Whether a language keeps its check mark over an existing installation in
// destination: English ("US") and German ("DE") always, any other code when its
// file (BuildLanguageFilePath) is there.
bool KeepsLanguageCheck(const char16_t* destination, const char16_t* languageFileBase, uint32_t code);
