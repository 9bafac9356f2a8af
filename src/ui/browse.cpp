#include "ui/browse.h"

#include "archive/file_routines.h"
#include "platform/wide.h"
#include "text/bounded_text.h"
#include "ui/library_search.h"
#include "ui/shell_memory.h"

namespace {

// The desktop folder's parse of path cut to 259 characters, or null.
LPITEMIDLIST ParseFolder(IShellFolder* desktop, HWND owner, const char16_t* path) {
  char16_t parse[260];
  CopyWide(path, parse, 260);
  ULONG eaten = 0;
  ULONG attributes = 0;
  LPITEMIDLIST item = nullptr;
  if (FAILED(desktop->ParseDisplayName(owner, nullptr, AsWide(parse), &eaten, &item, &attributes))) return nullptr;
  return item;
}

}  // namespace

int CALLBACK BrowseCallback(HWND browser, UINT message, LPARAM, LPARAM data) {
  if (message == BFFM_INITIALIZED) SendMessageW(browser, BFFM_SETSELECTIONW, FALSE, data);
  return 0;
}

LPITEMIDLIST BrowseStartItem(HWND owner, char16_t* path) {
  auto desktopFolder = reinterpret_cast<decltype(&SHGetDesktopFolder)>(ShellProcedure("SHGetDesktopFolder"));
  IShellFolder* desktop = nullptr;
  if (desktopFolder == nullptr || FAILED(desktopFolder(&desktop))) return nullptr;
  MakeFullPath(path);
  LPITEMIDLIST start = ParseFolder(desktop, owner, path);
  if (start == nullptr) {
    StripFileName(path);
    start = ParseFolder(desktop, owner, path);
  }
  desktop->Release();
  return start;
}

void BrowseForDestination(HWND dialog, int editId) {
  char16_t path[kPathUnits];
  path[0] = 0;
  GetDlgItemTextW(dialog, editId, AsWide(path), kPathUnits);

  BROWSEINFOW browse = {};
  browse.hwndOwner = dialog;
  browse.ulFlags = BIF_RETURNONLYFSDIRS;

  ShellItemIds start;
  if (path[0] != 0) start.ids = BrowseStartItem(dialog, path);
  if (start.ids != nullptr) {
    browse.lpfn = BrowseCallback;
    browse.lParam = reinterpret_cast<LPARAM>(start.ids);
  }

  auto browseFor = reinterpret_cast<decltype(&SHBrowseForFolderW)>(ShellProcedure("SHBrowseForFolderW"));
  auto pathOf = reinterpret_cast<decltype(&SHGetPathFromIDListW)>(ShellProcedure("SHGetPathFromIDListW"));
  if (browseFor == nullptr || pathOf == nullptr) return;
  ShellItemIds picked(browseFor(&browse));
  if (picked.ids != nullptr && pathOf(picked.ids, AsWide(path))) {
    SetDlgItemTextW(dialog, editId, AsWide(path));
  }
}
