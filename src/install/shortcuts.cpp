#include "install/shortcuts.h"

#include <shlobj.h>

#include "install/install_decisions.h"
#include "platform/wide.h"
#include "text/bounded_text.h"

namespace {

const int kPathUnits = 1024;

void CreateShortcutIn(const char16_t* folder, const char16_t* target, const char16_t* name) {
  char16_t link[kPathUnits];
  if (!BuildShortcutPath(folder, name, link, kPathUnits)) return;
  char16_t workingDirectory[kPathUnits];
  SetWide(target, workingDirectory, kPathUnits);
  StripFileName(workingDirectory);
  CreateShellLink(link, target, workingDirectory);
}

}  // namespace

void FindSpecialFolder(int csidl, char16_t* buffer) {
  buffer[0] = 0;
  LPITEMIDLIST items = nullptr;
  if (FAILED(SHGetSpecialFolderLocation(nullptr, csidl, &items)) || items == nullptr) return;
  if (!SHGetPathFromIDListW(items, AsWide(buffer))) buffer[0] = 0;
  IMalloc* allocator = nullptr;
  if (SUCCEEDED(SHGetMalloc(&allocator))) {
    allocator->Free(items);
    allocator->Release();
  }
}

void FindQuickLaunchFolder(char16_t* buffer, int capacity) {
  if (buffer == nullptr || capacity <= 0) return;
  char16_t appData[MAX_PATH];
  FindSpecialFolder(CSIDL_APPDATA, appData);
  if (SetWide(appData, buffer, capacity) != 0) buffer[0] = 0;
  QuickLaunchFolderBelow(buffer, capacity);
}

bool HasQuickLaunch() {
  char16_t folder[kPathUnits + 2];
  FindQuickLaunchFolder(folder, kPathUnits);
  return folder[0] != 0;
}

HRESULT CreateShellLink(const char16_t* link, const char16_t* target, const char16_t* workingDirectory) {
  IShellLinkW* shellLink = nullptr;
  HRESULT result = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                    reinterpret_cast<void**>(&shellLink));
  if (FAILED(result)) return result;
  shellLink->SetPath(AsWide(target));
  shellLink->SetWorkingDirectory(AsWide(workingDirectory));
  shellLink->SetShowCmd(SW_SHOW);
  IPersistFile* file = nullptr;
  result = shellLink->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));
  if (FAILED(result)) {
    shellLink->Release();
    return result;
  }
  char16_t path[kPathUnits];
  CopyWide(link, path, kPathUnits);
  result = file->Save(AsWide(path), TRUE);
  file->Release();
  shellLink->Release();
  return result;
}

void CreateDesktopShortcut(const char16_t* target, const char16_t* name) {
  char16_t folder[kPathUnits];
  FindSpecialFolder(CSIDL_DESKTOP, folder);
  CreateShortcutIn(folder, target, name);
}

void CreateQuickLaunchShortcut(const char16_t* target, const char16_t* name) {
  char16_t folder[kPathUnits];
  FindQuickLaunchFolder(folder, kPathUnits);
  CreateShortcutIn(folder, target, name);
}
