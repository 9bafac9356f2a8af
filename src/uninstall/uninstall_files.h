// The uninstaller's file steps that another process may try to steer while
// they run: deleting an installed file, the temporary copy of the program,
// the folder deleted at the end, and the handle the copy is given.
#pragma once

#include <windows.h>

enum FileRemoval : int {
  kFileRemoved = 0,    // deleted, a read-only file after its attribute was cleared
  kFileAtRestart = 1,  // in use: renamed in its folder, and that name goes at the next restart
  kFileKept = 2,       // neither: it stays under its name
};

// Deletes the file at path, clearing a read-only attribute first when that is
// what refuses it. A file in use (a sharing or lock violation, or a program
// image, which refuses deletion but not renaming) is renamed to a unique name
// in its folder and that name scheduled for deletion at the next restart, so
// that the restart can never hit a file installed at path since. A file that
// cannot be renamed either (access denied, or held without delete sharing) is
// kept, nothing scheduled. Returns a FileRemoval.
int RemoveInstalledFile(const char16_t* path);

// Copies program into a new folder of the temporary folder and returns the
// copy, opened shared for reading only and found equal to program byte for
// byte: while the handle is open nobody can change, replace or rename the copy,
// and a change made before it was opened is caught. Its path goes into copy
// (capacity kPathUnits). INVALID_HANDLE_VALUE, with nothing left behind, on
// any failure.
HANDLE CopyProgramHeld(const char16_t* program, char16_t* copy);

// True when process is a handle to a running or ended process other than this
// one: what /X= must name before the copy waits on it.
bool IsOtherProcess(HANDLE process);

// Opens folder so that it can be deleted through the handle later, sharing
// everything (it may be renamed meanwhile); INVALID_HANDLE_VALUE on failure.
HANDLE OpenFolderToDelete(const char16_t* folder);

// Deletes the folder held by folder, wherever it has been moved, when it is
// empty, and closes the handle. False when it stays (not empty, or refused).
bool DeleteHeldFolder(HANDLE folder);
