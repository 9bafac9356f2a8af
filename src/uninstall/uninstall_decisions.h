// The uninstaller's decisions that need no system: its command line, which
// names of its trailer it may act on, and whose uninstall entry it owns. The
// Win32 run (uninstall_run.h) wraps them; this part compiles on every target.
#pragma once

#include <stdint.h>

// The switches of uninst.exe; the record starts all zero.
//
//   /S          silent (any case): no window
//   /X=<n>      the temporary copy's run: n is the inherited handle, in decimal,
//               to the process of the uninstaller that started it
struct UninstallCommand {
  bool silent;
  uint32_t original;  // /X=, 0 when absent
};

// Parses arguments (the command line without the program's name; null is an
// empty line) into *command, which is reset first. Returns 0, or 1 when a word
// is not understood: anything but /S and /X=, a second /X=, or a /X= value that
// is not a decimal handle value (1 to 0xFFFFFFFC, a multiple of 4, as the
// system gives them; the pseudo handles -1 and -2 are not).
int ParseUninstallCommand(const char16_t* arguments, UninstallCommand* command);

// The program an uninstall entry's "UninstallString" (or "QuietUninstallString")
// starts: the quoted first word, or an unquoted value whole (older installers
// wrote the bare path, spaces and all). Copies its folder, the path without the
// file name, into folder (capacity in units). False, with folder empty, when
// there is no program path: empty, an unterminated quote, no folder part, or
// too long.
bool UninstallCommandFolder(const char16_t* command, char16_t* folder, int capacity);

// The product name from the trailer (ANSI) as the uninstaller may use it for
// the program group, the shortcuts and the uninstall key: converted into out
// (capacity in units), and emptied when IsUsableProductName refuses it, so that
// none of those is touched.
void TrailerProductName(const char* name, char16_t* out, int capacity);

// A file name from the trailer's list (ANSI) converted into out (capacity in
// units). True when it names a file of the installed folder as the installer
// writes them: one name component that IsUsableMainProgramName's rule accepts
// (no separator, drive, stream or device; not "." or ".."). False, out empty,
// otherwise: that name is not deleted.
bool TrailerFileName(const char* name, char16_t* out, int capacity);
