#include "ui/library_search.h"

#include <windows.h>

namespace {

typedef BOOL(WINAPI* SetDefaultDllDirectoriesCall)(DWORD flags);

}  // namespace

void RestrictLibrarySearch() {
  // Looked up rather than imported, so the installer still starts where kernel32 lacks it.
  SetDefaultDllDirectoriesCall setDefaultDirectories = reinterpret_cast<SetDefaultDllDirectoriesCall>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories")));
  if (setDefaultDirectories == nullptr || !setDefaultDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32)) {
    SetDllDirectoryW(L"");
  }
}
