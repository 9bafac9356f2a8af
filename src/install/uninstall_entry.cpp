#include "install/uninstall_entry.h"

#include <windows.h>

#include <shlobj.h>

#include "archive/file_routines.h"
#include "install/registry_text.h"
#include "install/shortcuts.h"
#include "platform/wide.h"
#include "text/bounded_text.h"
#include "ui/installer_context.h"

#if !defined(SETUP_PUBLISHER) || !defined(SETUP_URL_INFO_ABOUT)
#error "SETUP_PUBLISHER and SETUP_URL_INFO_ABOUT (the maker's identity) come from cmake/maker-identity.cmake"
#endif

const char16_t kPublisher[] = u"" SETUP_PUBLISHER;
const char16_t kPublisherAddress[] = u"" SETUP_URL_INFO_ABOUT;

namespace {

const int kKeyUnits = 512;
const int kProductNameUnits = 32;

void ProductName(char16_t* name) {
  InstallerContext* context = InstallerContextGet();
  NarrowToWide(context != nullptr ? context->productName : nullptr, name, kProductNameUnits);
}

}  // namespace

void WriteUninstallEntry(const char16_t* uninstallerPath, const char16_t* mainProgramPath) {
  char16_t name[kProductNameUnits];
  ProductName(name);
  if (name[0] == 0) return;
  char16_t keyPath[kKeyUnits];
  SetWide(u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\", keyPath, kKeyUnits);
  AppendWide(name, keyPath, kKeyUnits);
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, AsWide(keyPath), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr,
                      &key, nullptr) != ERROR_SUCCESS) {
    return;
  }
  WriteRegistryText(key, u"DisplayName", name);
  WriteRegistryText(key, u"UninstallString", uninstallerPath);
  WriteRegistryText(key, u"DisplayIcon", mainProgramPath);
  WriteRegistryText(key, u"Publisher", kPublisher);
  WriteRegistryText(key, u"URLInfoAbout", kPublisherAddress);
  RegCloseKey(key);
}

void CreateProgramGroup(const InstallState* state) {
  char16_t name[kProductNameUnits];
  ProductName(name);
  if (name[0] == 0 || state == nullptr) return;
  char16_t group[kPathUnits];
  FindSpecialFolder(CSIDL_COMMON_PROGRAMS, group);
  if (group[0] == 0) FindSpecialFolder(CSIDL_PROGRAMS, group);
  if (group[0] == 0 || AppendPathComponent(name, group, kPathUnits) != 0) return;
  if (CreateDirectoryTree(group) != kTreeCreated) return;
  CreateGroupLink(name, state->destination, state->mainProgram, group);
  CreateGroupLink(u"Uninstall", state->destination, state->uninstaller, group);
}

void CreateGroupLink(const char16_t* name, const char16_t* folder, const char16_t* file, const char16_t* group) {
  if (name == nullptr || name[0] == 0 || file == nullptr || file[0] == 0) return;
  char16_t target[kPathUnits];
  char16_t link[kPathUnits];
  if (SetWide(folder, target, kPathUnits) != 0 || AppendPathComponent(file, target, kPathUnits) != 0) return;
  if (!BuildShortcutPath(group, name, link, kPathUnits)) return;
  CreateShellLink(link, target, folder);
}
