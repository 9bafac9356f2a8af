// The system primitives the portable layers (src/text, src/archive) need, with
// one Win32 backend (platform_win32.cpp) and one POSIX backend (platform_posix.cpp).
//
// Every primitive behaves like the Win32 call it is named after: the same
// success flag, the same partial results, and on failure the same Win32 error
// number in PlatformGetLastError(). The POSIX backend maps errno onto those
// numbers (2 file not found, 3 path not found, 5 access denied, 183 already
// exists, 112 disk full) and treats the backslash as a path separator.
#pragma once

#include <stdint.h>

// An open file: a Win32 HANDLE, or a POSIX descriptor carried in the same
// pointer-sized value. PLATFORM_INVALID_FILE is INVALID_HANDLE_VALUE (and fd -1).
typedef void* PlatformFile;
#define PLATFORM_INVALID_FILE ((PlatformFile)(intptr_t)-1)

// A path buffer: at most 1023 units and the terminator, the limit of every path
// the installer and the tool build.
const int kPathUnits = 1024;

// The backslash and the slash both end a path component, on every platform.
inline bool IsSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

// Win32 error numbers used by the portable code.
enum PlatformError : uint32_t {
  kErrorFileNotFound = 2,
  kErrorPathNotFound = 3,
  kErrorAccessDenied = 5,
  kErrorInvalidHandle = 6,
  kErrorNotEnoughMemory = 8,
  kErrorDiskFull = 112,
  kErrorInsufficientBuffer = 122,
  kErrorAlreadyExists = 183,
};

// GetLastError / SetLastError for the calling thread.
uint32_t PlatformGetLastError();
void PlatformSetLastError(uint32_t error);

// CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, 0, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, 0)
// or, when forWrite, (GENERIC_WRITE, FILE_SHARE_READ, 0, CREATE_ALWAYS, ...).
// Returns PLATFORM_INVALID_FILE on failure, with the last error set. The POSIX
// backend writes through no symbolic link: one in the file's place fails with 5.
PlatformFile PlatformCreateFile(const char16_t* path, bool forWrite);

// ReadFile: reads up to `size` bytes at the current position. Returns true on
// success with *got = bytes read (0 at the end of the file); false on failure.
bool PlatformReadFile(PlatformFile file, void* buffer, uint32_t size, uint32_t* got);

// WriteFile: returns true on success with *put = bytes written.
bool PlatformWriteFile(PlatformFile file, const void* buffer, uint32_t size, uint32_t* put);

// SetFilePointer(file, offset, 0, FILE_BEGIN) for offsets below 4 GiB.
// Returns the new position, or 0xFFFFFFFF on failure.
uint32_t PlatformSetFilePointer(PlatformFile file, uint32_t offset);

// GetFileSize(file, 0): the low 32 bits of the size, 0xFFFFFFFF (INVALID_FILE_SIZE) on failure.
uint32_t PlatformGetFileSize(PlatformFile file);

// CloseHandle.
bool PlatformCloseHandle(PlatformFile file);

// GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES: the path names an existing file or folder.
bool PlatformPathExists(const char16_t* path);

// MultiByteToWideChar(CP_ACP, 0, source, -1, dest, destUnits): converts the
// terminated narrow source, terminator included. When the result does not fit,
// the first destUnits units are written and 0 is returned (ERROR_INSUFFICIENT_BUFFER);
// otherwise returns the units written. destUnits 0 writes nothing.
// Off Windows the ANSI code page is Windows-1252.
int PlatformAnsiToWide(const char* source, char16_t* dest, int destUnits);

// WideCharToMultiByte(CP_ACP, 0, source, -1, dest, destBytes, 0, 0), with the
// same fill-then-fail rule. Characters the code page cannot hold become '?'.
int PlatformWideToAnsi(const char16_t* source, char* dest, int destBytes);

// CreateDirectoryW(path, 0): true when the folder was created. Fails with 183
// when it exists, 3 when its parent is missing.
bool PlatformCreateDirectory(const char16_t* path);

// A calendar time as SYSTEMTIME holds it (month 1-12, day 1-31).
struct PlatformDateTime {
  uint16_t year, month, dayOfWeek, day, hour, minute, second, milliseconds;
};

// SystemTimeToFileTime followed by LocalFileTimeToFileTime: the local time as a
// FILETIME (100 ns units since 1601-01-01 UTC). False for a date that does not exist.
bool PlatformLocalTimeToFileTime(const PlatformDateTime* local, uint64_t* fileTime);

// SetFileTime(file, t, t, t): creation (where the file system keeps one),
// last-access and last-write time.
bool PlatformSetFileTime(PlatformFile file, uint64_t fileTime);

// GetFullPathNameW(path, units, dest, 0): the absolute form of path. Returns its
// length without the terminator; when it needs more than `units`, returns the
// units needed (terminator included) and leaves dest alone; 0 on failure.
uint32_t PlatformGetFullPathName(const char16_t* path, char16_t* dest, uint32_t units);
