#include "install/uninstall_entry.h"

#include <windows.h>

#include <shlobj.h>

#include "archive/file_routines.h"
#include "archive/uninstall_trailer.h"
#include "install/install_record.h"
#include "install/registry_text.h"
#include "install/shortcuts.h"
#include "platform/wide.h"
#include "text/bounded_text.h"
#include "ui/installer_context.h"

namespace {

const int kKeyUnits = 512;

void ProductName(char16_t* name) {
  InstallerContext* context = InstallerContextGet();
  NarrowToWide(context != nullptr ? context->productName : nullptr, name, kNameFieldUnits);
}

}  // namespace

void WriteUninstallEntry(const InstallState* state) {
  InstallerContext* context = InstallerContextGet();
  char16_t name[kNameFieldUnits];
  ProductName(name);
  if (name[0] == 0 || state == nullptr || context == nullptr) return;
  char16_t keyPath[kKeyUnits];
  SetWide(kUninstallKeyBase, keyPath, kKeyUnits);
  AppendWide(name, keyPath, kKeyUnits);
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, AsWide(keyPath), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr,
                      &key, nullptr) != ERROR_SUCCESS) {
    return;
  }
  char16_t version[kNameFieldUnits];
  NarrowToWide(context->productVersion, version, kNameFieldUnits);
  char16_t uninstaller[kPathUnits];
  JoinInstalledPath(state->destination, state->uninstaller, uninstaller, kPathUnits);
  UninstallFacts facts = {name, version, uninstaller[0] != 0 && FileHasTrailer(uninstaller)};
  UninstallValue values[kUninstallValueMax];
  int count = UninstallEntryValues(state, &facts, values);
  for (const char16_t* const* optional = kUninstallOptionalValues; *optional != nullptr; ++optional) {
    bool written = false;
    for (int i = 0; i < count; ++i) written = written || SameTextFolded(values[i].name, *optional);
    if (!written) RegDeleteValueW(key, AsWide(*optional));
  }
  for (int i = 0; i < count; ++i) {
    if (values[i].isNumber) {
      if (WriteRegistryNumber(key, values[i].name, values[i].number) == ERROR_SUCCESS) {
        LogRegistryNumber(u"HKLM", keyPath, values[i].name, values[i].number);
      }
    } else if (WriteRegistryText(key, values[i].name, values[i].text) == ERROR_SUCCESS) {
      LogRegistryText(u"HKLM", keyPath, values[i].name, values[i].text);
    }
  }
  RegCloseKey(key);
}

void CreateProgramGroup(const InstallState* state) {
  char16_t name[kNameFieldUnits];
  ProductName(name);
  if (name[0] == 0 || state == nullptr) return;
  char16_t group[kPathUnits];
  FindSpecialFolder(CSIDL_COMMON_PROGRAMS, group);
  if (group[0] == 0) FindSpecialFolder(CSIDL_PROGRAMS, group);
  if (group[0] == 0 || AppendPathComponent(name, group, kPathUnits) != 0) return;
  if (CreateDirectoryTree(group) != kTreeCreated) return;
  CreateGroupLink(name, state->destination, state->mainProgram, group);
  CreateGroupLink(kUninstallLinkName, state->destination, state->uninstaller, group);
}

void CreateGroupLink(const char16_t* name, const char16_t* folder, const char16_t* file, const char16_t* group) {
  if (name == nullptr || name[0] == 0 || file == nullptr || file[0] == 0) return;
  char16_t target[kPathUnits];
  char16_t link[kPathUnits];
  if (SetWide(folder, target, kPathUnits) != 0 || AppendPathComponent(file, target, kPathUnits) != 0) return;
  if (!BuildShortcutPath(group, name, link, kPathUnits)) return;
  CreateShellLink(link, target, folder);
}
