// Win32 backend: each primitive is the call it is named after.
#include <windows.h>

#include "platform/platform.h"
#include "platform/wide.h"

uint32_t PlatformGetLastError() { return GetLastError(); }

void PlatformSetLastError(uint32_t error) { SetLastError(error); }

PlatformFile PlatformCreateFile(const char16_t* path, bool forWrite) {
  if (forWrite)
    return CreateFileW(AsWide(path), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
  return CreateFileW(AsWide(path), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}

bool PlatformReadFile(PlatformFile file, void* buffer, uint32_t size, uint32_t* got) {
  DWORD n = 0;
  BOOL ok = ReadFile(file, buffer, size, &n, nullptr);
  *got = n;
  return ok != 0;
}

bool PlatformWriteFile(PlatformFile file, const void* buffer, uint32_t size, uint32_t* put) {
  DWORD n = 0;
  BOOL ok = WriteFile(file, buffer, size, &n, nullptr);
  *put = n;
  return ok != 0;
}

uint32_t PlatformSetFilePointer(PlatformFile file, uint32_t offset) {
  // Offsets at or above 2 GiB need the high word, or SetFilePointer reads them as negative.
  LONG high = 0;
  return SetFilePointer(file, static_cast<LONG>(offset), &high, FILE_BEGIN);
}

uint32_t PlatformGetFileSize(PlatformFile file) { return GetFileSize(file, nullptr); }

bool PlatformCloseHandle(PlatformFile file) { return CloseHandle(file) != 0; }

bool PlatformPathExists(const char16_t* path) {
  return GetFileAttributesW(AsWide(path)) != INVALID_FILE_ATTRIBUTES;
}

int PlatformAnsiToWide(const char* source, char16_t* dest, int destUnits) {
  return MultiByteToWideChar(CP_ACP, 0, source, -1, AsWide(dest), destUnits);
}

int PlatformWideToAnsi(const char16_t* source, char* dest, int destBytes) {
  return WideCharToMultiByte(CP_ACP, 0, AsWide(source), -1, dest, destBytes, nullptr, nullptr);
}

bool PlatformCreateDirectory(const char16_t* path) { return CreateDirectoryW(AsWide(path), nullptr) != 0; }

bool PlatformLocalTimeToFileTime(const PlatformDateTime* local, uint64_t* fileTime) {
  SYSTEMTIME st = {local->year, local->month, local->dayOfWeek, local->day,
                   local->hour, local->minute, local->second, local->milliseconds};
  FILETIME localTime, utc;
  if (!SystemTimeToFileTime(&st, &localTime) || !LocalFileTimeToFileTime(&localTime, &utc)) return false;
  *fileTime = (static_cast<uint64_t>(utc.dwHighDateTime) << 32) | utc.dwLowDateTime;
  return true;
}

bool PlatformSetFileTime(PlatformFile file, uint64_t fileTime) {
  FILETIME t = {static_cast<DWORD>(fileTime), static_cast<DWORD>(fileTime >> 32)};
  return SetFileTime(file, &t, &t, &t) != 0;
}

uint32_t PlatformGetFullPathName(const char16_t* path, char16_t* dest, uint32_t units) {
  return GetFullPathNameW(AsWide(path), units, AsWide(dest), nullptr);
}
