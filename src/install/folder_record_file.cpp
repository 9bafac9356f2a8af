// The record's file, read and replaced with Win32 calls (folder_record.h).
#include <windows.h>

#include "install/folder_record.h"
#include "platform/wide.h"
#include "text/bounded_text.h"

namespace {

bool RecordPath(const char16_t* folder, const char16_t* name, char16_t* path) {
  return SetWide(folder, path, kPathUnits) == 0 && AppendPathComponent(name, path, kPathUnits) == 0;
}

}  // namespace

int RecordLoad(const char16_t* folder, uint8_t** block, RecordView* view) {
  *block = nullptr;
  *view = RecordView{};
  char16_t path[kPathUnits];
  if (!RecordPath(folder, kRecordFileName, path)) return kRecordMissing;
  HANDLE file = CreateFileW(AsWide(path), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? kRecordMissing : kRecordDamaged;
  }
  DWORD size = GetFileSize(file, nullptr), got = 0;
  uint8_t* bytes = size <= kRecordMax ? static_cast<uint8_t*>(HeapAlloc(GetProcessHeap(), 0, size + 1)) : nullptr;
  bool read = bytes != nullptr && ReadFile(file, bytes, size, &got, nullptr) && got == size;
  CloseHandle(file);
  if (!read || RecordParse(bytes, size, view) != kRecordOk) {
    if (bytes != nullptr) HeapFree(GetProcessHeap(), 0, bytes);
    *view = RecordView{};
    return kRecordDamaged;
  }
  *block = bytes;
  return kRecordOk;
}

int RecordStore(const char16_t* folder, const uint8_t* bytes, uint32_t size) {
  char16_t path[kPathUnits], fresh[kPathUnits];
  if (!RecordPath(folder, kRecordFileName, path) || !RecordPath(folder, u"UnInst.dat.new", fresh)) {
    return ERROR_FILENAME_EXCED_RANGE;
  }
  HANDLE file = CreateFileW(AsWide(fresh), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return static_cast<int>(GetLastError());
  DWORD put = 0;
  bool written = WriteFile(file, bytes, size, &put, nullptr) && put == size && FlushFileBuffers(file);
  DWORD error = written ? 0 : GetLastError();
  CloseHandle(file);
  // Only a whole new record replaces the old one.
  if (written && !MoveFileExW(AsWide(fresh), AsWide(path), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    error = GetLastError();
  }
  if (error != 0) DeleteFileW(AsWide(fresh));
  return static_cast<int>(error != 0 || written ? error : ERROR_WRITE_FAULT);
}
