#include "install/uninstall_entry.h"

#include <windows.h>

#include <shlobj.h>

#include "archive/file_routines.h"
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
  char16_t name[kNameFieldUnits];
  ProductName(name);
  if (name[0] == 0 || state == nullptr) return;
  char16_t keyPath[kKeyUnits];
  SetWide(kUninstallKeyBase, keyPath, kKeyUnits);
  AppendWide(name, keyPath, kKeyUnits);
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, AsWide(keyPath), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr,
                      &key, nullptr) != ERROR_SUCCESS) {
    return;
  }
  UninstallValue values[kUninstallValueCount];
  UninstallEntryValues(state, name, values);
  for (const UninstallValue& value : values) WriteRegistryText(key, value.name, value.text);
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
