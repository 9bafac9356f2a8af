#include "uninstall/uninstall_registration.h"

#include "archive/file_routines.h"
#include "install/install_record.h"
#include "install/registry_text.h"
#include "platform/wide.h"
#include "text/bounded_text.h"
#include "uninstall/uninstall_decisions.h"

namespace {

const int kKeyUnits = 512;

struct Notes {
  char16_t* list;
  int capacity;
};

// A key or value that is there but cannot be deleted is named in the final message.
void NoteRegistryResult(const Notes& notes, LONG result, const char16_t* name) {
  if (result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND || notes.list == nullptr) return;
  AppendWide(u"\n", notes.list, notes.capacity);
  AppendWide(name, notes.list, notes.capacity);
}

void RemoveUninstallKey(const char16_t* productName, const char16_t* folder, const Notes& notes) {
  char16_t key[kKeyUnits], command[kPathUnits], owner[kPathUnits];
  SetWide(u"HKEY_LOCAL_MACHINE\\", key, kKeyUnits);
  const char16_t* subKey = key + WideLength(key);
  AppendWide(kUninstallKeyBase, key, kKeyUnits);
  if (productName[0] == 0 || AppendWide(productName, key, kKeyUnits) != 0 ||
      !ReadRegistryText(HKEY_LOCAL_MACHINE, subKey, u"UninstallString", command, kPathUnits) ||
      !UninstallCommandFolder(command, owner, kPathUnits) || !SameFolder(owner, folder)) {
    return;
  }
  NoteRegistryResult(notes, RegDeleteKeyW(HKEY_LOCAL_MACHINE, AsWide(subKey)), key);
}

}  // namespace

bool SameFolder(const char16_t* a, const char16_t* b) {
  char16_t x[kPathUnits], y[kPathUnits];
  if (SetWide(a, x, kPathUnits) != 0 || SetWide(b, y, kPathUnits) != 0 || x[0] == 0 || y[0] == 0) return false;
  MakeFullPath(x);
  MakeFullPath(y);
  char16_t* paths[2] = {x, y};
  for (char16_t* path : paths) {
    int length = WideLength(path);
    if (length > 0 && IsSeparator(path[length - 1])) path[length - 1] = 0;
  }
  return lstrcmpiW(AsWide(x), AsWide(y)) == 0;
}

void RemoveRegistration(const char16_t* productName, const char* productCode, const char16_t* folder,
                        char16_t* notDeleted, int capacity) {
  const Notes notes = {notDeleted, capacity};
  RemoveUninstallKey(productName, folder, notes);
  char16_t code[4], stored[kPathUnits];
  NarrowToWide(productCode, code, 4);
  if (code[0] == 0 || !ReadRegistryText(HKEY_CURRENT_USER, kStoredDestinationKey, code, stored, kPathUnits) ||
      !SameFolder(stored, folder)) {
    return;
  }
  HKEY key = nullptr;
  LONG opened =
      RegOpenKeyExW(HKEY_CURRENT_USER, AsWide(kStoredDestinationKey), 0, KEY_SET_VALUE | KEY_QUERY_VALUE, &key);
  if (opened != ERROR_SUCCESS) {
    NoteRegistryResult(notes, opened, kStoredDestinationKey);
    return;
  }
  char16_t value[kKeyUnits];
  SetWide(u"HKEY_CURRENT_USER\\", value, kKeyUnits);
  AppendWide(kStoredDestinationKey, value, kKeyUnits);
  AppendPathComponent(code, value, kKeyUnits);
  NoteRegistryResult(notes, RegDeleteValueW(key, AsWide(code)), value);
  DWORD subKeys = 1, values = 1;
  RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, &values, nullptr, nullptr, nullptr,
                   nullptr);
  RegCloseKey(key);
  // The maker's key goes with its last product.
  if (subKeys == 0 && values == 0) RegDeleteKeyW(HKEY_CURRENT_USER, AsWide(kStoredDestinationKey));
}
