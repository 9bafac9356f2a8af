#include "install/stored_destination.h"

#include <windows.h>

#include "install/install_decisions.h"
#include "install/install_record.h"
#include "install/registry_text.h"
#include "platform/wide.h"
#include "text/bounded_text.h"
#include "ui/installer_context.h"

namespace {

// The product code as a value name; empty without a context.
void ProductValueName(char16_t* name) {
  InstallerContext* context = InstallerContextGet();
  NarrowToWide(context != nullptr ? context->productCode : nullptr, name, 4);
}

// A length of capacity or more is the size the call needed: it wrote nothing usable.
bool Fits(DWORD length, int capacity) { return length != 0 && length < static_cast<DWORD>(capacity); }

}  // namespace

void DefaultDestination(char16_t* buffer, int capacity) {
  if (buffer == nullptr || capacity <= 0) return;
  buffer[0] = 0;
  char16_t valueName[4];
  ProductValueName(valueName);
  if (valueName[0] != 0 && ReadRegistryText(HKEY_CURRENT_USER, kStoredDestinationKey, valueName, buffer, capacity) &&
      buffer[0] != 0) {
    return;
  }

  ReadProgramFilesDir(buffer, capacity);
  if (buffer[0] == 0 && !Fits(GetEnvironmentVariableW(L"ProgramFiles", AsWide(buffer), capacity), capacity)) {
    buffer[0] = 0;
  }
  if (buffer[0] == 0) {
    if (Fits(GetWindowsDirectoryW(AsWide(buffer), capacity), capacity)) {
      ProgramFilesBesideWindows(buffer, capacity);
    } else {
      buffer[0] = 0;
    }
  }
  InstallerContext* context = InstallerContextGet();
  ProposeDestination(buffer, capacity, context != nullptr ? context->productName : "");
}

void ReadProgramFilesDir(char16_t* buffer, int capacity) {
  ReadRegistryText(HKEY_LOCAL_MACHINE, u"Software\\Microsoft\\Windows\\CurrentVersion", u"ProgramFilesDir", buffer,
                   capacity);
}

void StoreDestination(const char16_t* destination) {
  char16_t valueName[4];
  ProductValueName(valueName);
  if (valueName[0] == 0 || destination == nullptr || destination[0] == 0) return;
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, AsWide(kStoredDestinationKey), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE,
                      nullptr, &key, nullptr) != ERROR_SUCCESS) {
    return;
  }
  if (WriteRegistryText(key, valueName, destination) == ERROR_SUCCESS) {
    LogRegistryText(u"HKCU", kStoredDestinationKey, valueName, destination);
  }
  RegCloseKey(key);
}
