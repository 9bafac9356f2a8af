// Every message box of the installer. The caption is the file-name part of a
// path, in practice the executable's own name.
#pragma once

#include <windows.h>

#include <stdint.h>

// The caption for captionPath: the part after its last backslash or slash, or
// the whole path when that part is empty. Returns a pointer into captionPath.
const char16_t* MessageCaption(const char16_t* captionPath);

// Shows text in a message box of type (MB_ICONERROR, MB_ICONINFORMATION) owned
// by owner, or by the active window when owner is null. Returns the box's
// result, or IDCANCEL (2) without showing anything when text is null or empty.
int ShowMessage(HWND owner, const char16_t* text, const char16_t* captionPath, UINT type);

// The capacity texts of the string tables are looked up with for a message box;
// every text of a box from a table is cut alike.
const int kStringMessageUnits = 510;

// ShowMessage with text textId of the context's stringTable, looked up with
// capacity kStringMessageUnits; an id without text shows nothing and gives IDCANCEL.
int ShowStringMessage(HWND owner, int16_t textId, const char16_t* captionPath, UINT type);

// ShowMessage for the installer's own messages: the text goes to the log too
// (ui/setup_log.h), and in a silent run nothing is shown and the result is IDOK.
int ShowInstallerMessage(HWND owner, const char16_t* text, const char16_t* captionPath, UINT type);
