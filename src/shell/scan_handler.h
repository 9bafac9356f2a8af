// The scan pass: one archive pass over the installer's own payload, run while
// the setup dialog initialises, that writes no file. It reads the product
// description "FILE_ID.DIZ" into the dialog's title, the title line (control
// 1001) and the context's productName, and adds one language list item per
// language code of the product's ".LNG" files; the first language file sets
// the context's languageFileBase.
#pragma once

#include <windows.h>

#include <stdint.h>

#include "archive/archive_pass.h"
#include "install/install_decisions.h"
#include "ui/control_ids.h"

// ArchivePass over the context's moduleFile with ScanHandler and dialog as its
// context; returns the pass's result (0 success, positive a Win32 error,
// negative a broken payload). On success the payload's three identity texts
// replace the context's productCode, productWindowClass and mainProgramName;
// an empty window class becomes the product name.
// Without a context it returns -1.
int ScanPass(HWND dialog);

// The scan pass of a run without a dialog: the same reading of the product
// description and the identity texts into the context, the languages into
// *choices (reset first; English and German, then one checked item per
// language file, as the dialog's list would hold them). Same results as
// ScanPass. The decoded stream is kept in *kept as ArchivePassKeeping keeps it,
// so the install can parse it again instead of decoding the payload twice.
int ScanPassForChoices(LanguageChoices* choices, KeptStream* kept);

// The EntryHandler of the scan pass; context is the dialog. Looks only at data
// calls and always returns 0, so nothing is written.
int ScanHandler(char16_t* name, const uint8_t* data, uint32_t size, void* context);

// Appends " <name> <version>" of the description's first line to the dialog's
// title, shows "<name> <version>" in the title line in ProductNameFont, and
// sets the context's productName while it is empty.
void ParseProductDescription(HWND dialog, const uint8_t* data, uint32_t count);

// Adds a checked item for the language file named name (display name from its
// leading bytes, code from its name) unless the list already has that code or
// the file is no language file.
void AddLanguageEntry(HWND dialog, const uint8_t* data, uint32_t count, const char16_t* name);

// Fills font with the title line's font: "Microsoft Sans Serif" (the scalable
// face of the dialog's own design, sharp at any DPI), 18 points at
// pixelsPerInchY (height -24 at 96), normal weight, ANSI character set, variable
// pitch, Swiss family.
void ProductNameFont(LOGFONTW* font, int pixelsPerInchY);

// Gives the title line ProductNameFont at the dialog's WindowDpi, deleting the
// title line's previous font unless that is the dialog's own. Does nothing when
// the font cannot be created.
void SetTitleFont(HWND dialog);
