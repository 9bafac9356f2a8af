#include "install/shortcuts.h"

#include <shlobj.h>

#include "install/install_decisions.h"
#include "install/shell_guard.h"
#include "platform/platform.h"
#include "platform/wide.h"
#include "text/bounded_text.h"
#include "ui/library_search.h"
#include "ui/setup_log.h"
#include "ui/shell_memory.h"

namespace {

HRESULT CreateShellLinkObject(IShellLinkW** link) {
  return CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, reinterpret_cast<void**>(link));
}

ShellLinkFactory g_linkFactory = CreateShellLinkObject;

struct ShellLinkCall {
  const char16_t* link;
  const char16_t* target;
  const char16_t* workingDirectory;
  HRESULT result;
};

void WriteShellLink(void* argument) {
  ShellLinkCall* call = static_cast<ShellLinkCall*>(argument);
  IShellLinkW* shellLink = nullptr;
  call->result = g_linkFactory(&shellLink);
  if (FAILED(call->result)) return;
  shellLink->SetPath(AsWide(call->target));
  shellLink->SetWorkingDirectory(AsWide(call->workingDirectory));
  shellLink->SetShowCmd(SW_SHOW);
  IPersistFile* file = nullptr;
  call->result = shellLink->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));
  if (FAILED(call->result)) {
    shellLink->Release();
    return;
  }
  char16_t path[kPathUnits];
  CopyWide(call->link, path, kPathUnits);
  call->result = file->Save(AsWide(path), TRUE);
  file->Release();
  shellLink->Release();
}

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
  auto location = reinterpret_cast<decltype(&SHGetSpecialFolderLocation)>(ShellProcedure("SHGetSpecialFolderLocation"));
  auto pathOf = reinterpret_cast<decltype(&SHGetPathFromIDListW)>(ShellProcedure("SHGetPathFromIDListW"));
  ShellItemIds items;
  if (location == nullptr || pathOf == nullptr || FAILED(location(nullptr, csidl, &items.ids)) || items.ids == nullptr) {
    return;
  }
  if (!pathOf(items.ids, AsWide(buffer))) buffer[0] = 0;
}

void FindQuickLaunchFolder(char16_t* buffer, int capacity) {
  if (buffer == nullptr || capacity <= 0) return;
  char16_t appData[MAX_PATH];
  FindSpecialFolder(CSIDL_APPDATA, appData);
  if (SetWide(appData, buffer, capacity) != 0) buffer[0] = 0;
  QuickLaunchFolderBelow(buffer, capacity);
}

bool HasQuickLaunch() {
  char16_t folder[kPathUnits];
  FindQuickLaunchFolder(folder, kPathUnits);
  return folder[0] != 0;
}

HRESULT CreateShellLink(const char16_t* link, const char16_t* target, const char16_t* workingDirectory) {
  ShellLinkCall call = {link, target, workingDirectory, S_OK};
  // A shell extension that faults costs this shortcut only; the install goes on.
  bool ran = RunGuarded(WriteShellLink, &call);
  char16_t line[2 * kPathUnits];
  SetWide(link, line, 2 * kPathUnits);
  AppendWide(u" -> ", line, 2 * kPathUnits);
  AppendWide(target, line, 2 * kPathUnits);
  SetupLog(ran && SUCCEEDED(call.result) ? u"shortcut" : u"shortcut not written", line);
  return ran ? call.result : 0;
}

void SetShellLinkFactory(ShellLinkFactory factory) {
  g_linkFactory = factory != nullptr ? factory : CreateShellLinkObject;
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
