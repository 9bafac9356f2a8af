// Small file and folder routines shared by the archive pass, the install steps
// and the shell. Results are ints, 0 for success, Win32 error numbers otherwise.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <new>

#include "platform/platform.h"

// Opens `path` for reading (an existing file, shared for reading) or, with
// forWrite, creates it or empties an existing one for writing. Returns 0 and
// stores the handle in *file, or returns LastErrorOr(5) and leaves *file as it was.
int OpenFileHandle(const char16_t* path, bool forWrite, PlatformFile* file);

// Closes `file` unless it is PLATFORM_INVALID_FILE.
void CloseFileHandle(PlatformFile file);

// The low 32 bits of the file's size; 0 when the size cannot be read.
uint32_t FileSizeOrZero(PlatformFile file);

// True when path names an existing file or folder; false also for null.
bool PathExists(const char16_t* path);

// The calling thread's last Win32 error, or `fallback` when that is 0.
int LastErrorOr(int fallback);

// The results of CreateDirectoryTree.
enum DirectoryTreeResult : int {
  kTreeCreated = 0,       // the folder was created
  kTreeNotCreated = 2,    // it exists already, it failed for a reason other than a
                          // missing parent, or no parent was left to create
  kTreeParentsOnly = 3,   // the missing parents were created, then the folder itself failed
};

// Creates the folder `path`, and its missing parents on the way, up to a drive
// root such as "C:\" or the path's first component (a one-letter folder too);
// returns a DirectoryTreeResult.
// The parents are found in the first 1023 units of `path`.
int CreateDirectoryTree(const char16_t* path);

// Replaces `path`, a buffer of 1024 units, by its absolute form. Leaves it
// unchanged when that cannot be determined or needs more than 1023 units.
void MakeFullPath(char16_t* path);

// A zero-filled block of `size` bytes from operator new, or null for size 0 and
// when the memory is not available (no exception is thrown). Release with FreeAndClear.
void* AllocZeroed(size_t size);

// Releases the block that `block` holds (nothing when null) and clears the variable.
template <typename T>
inline void FreeAndClear(T*& block) {
  ::operator delete(static_cast<void*>(block));
  block = nullptr;
}
