// The language list: control 1010 of the setup dialog, a report-style list view
// with one column and a check box per item. Each item is one language of the
// product; its item value is the language's LanguageCode4 and its check mark is
// the choice, read by the install handler. Items stay sorted by their text.
//
// Check state is the item's state image index (state bits 0xF000 >> 12):
// 1 unchecked, 2 checked, 0 none. Only unchecked means "do not install".
#pragma once

#include <windows.h>

#include <stdint.h>

#include "ui/control_ids.h"


const uint32_t kLanguageCodeEnglish = 0x5355;  // "US"
const uint32_t kLanguageCodeGerman = 0x4544;   // "DE"

enum LanguageCheck : int {
  kLanguageNoCheck = 0,
  kLanguageUnchecked = 1,
  kLanguageChecked = 2,
};

// Commands of the list's popup menu, each also the id of its text.
enum LanguageCommand : int {
  kCommandCheckAll = 136,
  kCommandUncheckAll = 137,
  kCommandInvertChecks = 138,
};

// One column of a list: its header text id, its width in pixels at 96 DPI
// (negative: fill what the other columns leave) and its format (low two bits:
// 0 left, 1 right, 2 centre). A table of columns ends with text id 0.
struct ListColumn {
  int16_t textId;
  int32_t width;
  uint32_t format;
};

extern const ListColumn kLanguageColumns[];

// The width column index of columns gets at dpi in a list whose client area is
// clientWidth wide (both in pixels at dpi): a positive width scaled from 96 DPI;
// a filling column takes what the scaled positive widths and a vertical scroll
// bar of scrollBarWidth (plus 4 at 96 DPI) leave, but never less than 100 at 96 DPI.
int ListColumnWidth(const ListColumn* columns, int index, int clientWidth, int scrollBarWidth, int dpi);

// Column, extended styles (check boxes, full-row select, info tips) and the two
// built-in items English "US" and German "DE", both checked. Called once before
// the scan pass.
void PrepareLanguageList(HWND list);

// Sets the widths of kLanguageColumns for the list's present size and DPI (at
// preparation and again when the dialog moves to a screen of another DPI).
void FitLanguageColumns(HWND list);

// Inserts a checked item; returns its index (sorted by text), or -1 when the list
// refuses it.
int AddLanguageItem(HWND list, const char16_t* text, uint32_t code);

// Index of the first item whose value is code, or -1 (also without a list).
int FindLanguageItem(HWND list, uint32_t code);

// The item value at index, or 0 when the item cannot be read.
uint32_t LanguageItemCode(HWND list, int index);

// The state image index of the item at index (a LanguageCheck).
int LanguageItemCheck(HWND list, int index);

// Sets the item at index to kLanguageChecked or kLanguageUnchecked; index -1
// sets every item.
void SetLanguageItemCheck(HWND list, int index, int check);

// For an existing installation in destination: unchecks every item that
// KeepsLanguageCheck refuses.
void MarkInstalledLanguages(HWND dialog, const char16_t* destination);

// The popup menu of the list: one item per command whose text is not empty.
// The caller destroys it. Null when it cannot be created.
HMENU CreateLanguageMenu();

// Shows the popup menu at the mouse pointer, owned by dialog; the choice comes
// back to dialog as WM_COMMAND with a LanguageCommand.
void LanguageMenu(HWND dialog);

// The menu commands; each does nothing without a list.
void CheckAll(HWND list);
void UncheckAll(HWND list);
void InvertChecks(HWND list);
