// What Windows makes of a file name, for names that arrive in a payload: the
// entries' names and the product and main program names. Only ASCII characters
// matter to these rules.
#pragma once

// Control characters (below 32) and \ / : * ? " < > |, which no file name may hold.
bool IsForbiddenInFileName(char16_t c);

// True when the `length` units at `name`, one path component, name a device:
// CON, PRN, AUX, NUL, CONIN$, CONOUT$, COM1 to COM9 or LPT1 to LPT9 (the
// superscripts ¹²³ count as digits) in any ASCII case, alone or before an
// extension, also with spaces before the extension ("con .txt").
bool IsDeviceName(const char16_t* name, int length);

// True when a file created under the component at `name` (`length` units, no
// separator) would not be a file of that name in its folder: an empty name, "."
// or "..", a device name, a name ending in a dot or a space (Windows drops
// them, so "a." lands on "a"), or one holding a colon (a drive or a stream).
bool IsUnsafeFileName(const char16_t* name, int length);

// True when path names a folder the same way from any working folder and
// drive: a drive letter, a colon and a separator ("C:\Apps"), or a share
// ("\\server\share"). "dir", "relative\dir", "\dir" and "C:dir" are not: they
// depend on the current folder or drive, so a path stored from them later
// names some other place.
bool IsFullyQualifiedPath(const char16_t* path);
