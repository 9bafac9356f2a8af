#include "uninstall/uninstall_files.h"

#include "archive/file_routines.h"
#include "platform/wide.h"
#include "text/bounded_text.h"

namespace {

const DWORD kCompareChunk = 4096;

bool InUse(DWORD error) {
  return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION || error == ERROR_ACCESS_DENIED;
}

// Reads up to size bytes; *got is what came.
bool ReadSome(HANDLE file, uint8_t* buffer, DWORD size, DWORD* got) {
  *got = 0;
  return ReadFile(file, buffer, size, got, nullptr) != FALSE;
}

bool SameBytes(const char16_t* path, HANDLE file) {
  HANDLE original = CreateFileW(AsWide(path), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
  if (original == INVALID_HANDLE_VALUE) return false;
  uint8_t a[kCompareChunk], b[kCompareChunk];
  DWORD gotA = 0, gotB = 0;
  bool same = true;
  do {
    same = ReadSome(original, a, kCompareChunk, &gotA) && ReadSome(file, b, kCompareChunk, &gotB) && gotA == gotB;
    for (DWORD i = 0; same && i < gotA; ++i) same = a[i] == b[i];
  } while (same && gotA > 0);
  CloseHandle(original);
  return same;
}

}  // namespace

int RemoveInstalledFile(const char16_t* path) {
  if (DeleteFileW(AsWide(path))) return kFileRemoved;
  DWORD error = GetLastError();
  DWORD attributes = GetFileAttributesW(AsWide(path));
  if (error == ERROR_ACCESS_DENIED && attributes != INVALID_FILE_ATTRIBUTES &&
      (attributes & FILE_ATTRIBUTE_READONLY) != 0 &&
      SetFileAttributesW(AsWide(path), attributes & ~FILE_ATTRIBUTE_READONLY)) {
    if (DeleteFileW(AsWide(path))) return kFileRemoved;
    error = GetLastError();
    SetFileAttributesW(AsWide(path), attributes);
  }
  if (!InUse(error)) return kFileKept;
  char16_t folder[kPathUnits], parked[kPathUnits];
  SetWide(path, folder, kPathUnits);
  StripFileName(folder);
  // GetTempFileName makes the unique name as an empty file, which the rename replaces.
  if (folder[0] == 0 || !GetTempFileNameW(AsWide(folder), L"del", 0, AsWide(parked))) return kFileKept;
  if (!MoveFileExW(AsWide(path), AsWide(parked), MOVEFILE_REPLACE_EXISTING)) {
    DeleteFileW(AsWide(parked));
    return kFileKept;
  }
  return MoveFileExW(AsWide(parked), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) ? kFileAtRestart : kFileKept;
}

HANDLE CopyProgramHeld(const char16_t* program, char16_t* copy) {
  char16_t temp[kPathUnits], folder[kPathUnits];
  copy[0] = 0;
  DWORD length = GetTempPathW(kPathUnits, AsWide(temp));
  // The unique name GetTempFileName makes becomes the folder; CreateDirectory fails when anything took it meanwhile.
  if (length == 0 || length >= kPathUnits - 14 || !GetTempFileNameW(AsWide(temp), L"uni", 0, AsWide(folder)) ||
      !DeleteFileW(AsWide(folder)) || !CreateDirectoryW(AsWide(folder), nullptr)) {
    return INVALID_HANDLE_VALUE;
  }
  HANDLE held = INVALID_HANDLE_VALUE;
  if (SetWide(folder, copy, kPathUnits) == 0 &&
      AppendPathComponent(program + FileNameOffset(program), copy, kPathUnits) == 0 &&
      CopyFileW(AsWide(program), AsWide(copy), TRUE)) {
    held = CreateFileW(AsWide(copy), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (held != INVALID_HANDLE_VALUE && !SameBytes(program, held)) {
      CloseHandle(held);
      held = INVALID_HANDLE_VALUE;
    }
  }
  if (held == INVALID_HANDLE_VALUE) {
    if (copy[0] != 0) DeleteFileW(AsWide(copy));
    RemoveDirectoryW(AsWide(folder));
    copy[0] = 0;
  }
  return held;
}

bool IsOtherProcess(HANDLE process) {
  DWORD id = GetProcessId(process);
  return id != 0 && id != GetCurrentProcessId();
}

HANDLE OpenFolderToDelete(const char16_t* folder) {
  return CreateFileW(AsWide(folder), DELETE | SYNCHRONIZE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                     nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

bool DeleteHeldFolder(HANDLE folder) {
  if (folder == INVALID_HANDLE_VALUE) return false;
  // The system refuses the mark on a folder that is not empty.
  FILE_DISPOSITION_INFO disposition = {TRUE};
  bool marked = SetFileInformationByHandle(folder, FileDispositionInfo, &disposition, sizeof(disposition)) != FALSE;
  CloseHandle(folder);
  return marked;
}
