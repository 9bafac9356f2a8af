// What `pack` may store: the identity texts and the entry names, checked and
// converted from UTF-8 to their Windows-1252 form before anything is written.
// What `extract` may write: the names it finds in an installer.
//
// Each check returns an empty string when the text is fine, otherwise the
// problem as a phrase that follows the text's name ("is empty", "contains ...").
#pragma once

#include <string>

namespace stored {

// The rules of the three identity texts.
enum class Identity { kProductCode, kWindowClass, kMainProgram };

// Converts an identity text. The product code needs 1 to 3 bytes; the window
// class and the main program may be empty (the installer then uses the product
// name as window class and finds the main program among the entries), at most
// 31 bytes; the main program is a file name without folders.
std::string CheckIdentity(Identity which, const std::string& utf8, std::string* ansi);

// Converts an entry name, taking '/' as '\'. A name is a relative Windows path
// of 1 to 1019 bytes whose every component is a name Windows can create.
std::string CheckEntryName(const std::string& utf8, std::string* ansi);

// Two stored names that give the same key name the same file on Windows
// (Windows-1252 letters folded to upper case).
std::string FoldKey(const std::string& ansi);

// The last component of a stored name: where the installer puts the file.
std::string LastComponent(const std::string& ansi);

// Whether Windows opens a file of this name (one path component) as a device:
// CON, PRN, AUX, NUL, CONIN$, CONOUT$, COM1-COM9 and LPT1-LPT9, in any case, with
// or without an extension.
bool IsWindowsDeviceName(const std::u16string& component);

// Why an entry name read from an installer must not be written below the
// extraction folder, or null when it stays inside: absolute, with a drive or a
// stream (any ':'), with a component that Windows reads as "..", or with a
// component that names a Windows device.
const char* ExtractRefusal(const std::u16string& name);

}  // namespace stored
