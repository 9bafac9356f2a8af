#include "ui/library_search.h"

#include <windows.h>

#include <stddef.h>

// The image's load configuration (cmake/set-load-config.sh points the directory
// entry here). The fields before DependentLoadFlags (Reserved1 in these headers)
// are the loader's defaults; its size ends behind that field, so that a 32-bit
// loader finds no (empty) table of exception handlers in it.
extern "C" const IMAGE_LOAD_CONFIG_DIRECTORY _load_config_used = {
    offsetof(IMAGE_LOAD_CONFIG_DIRECTORY, EditList), 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    LOAD_LIBRARY_SEARCH_SYSTEM32, 0, 0, 0, 0};

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

void* ShellProcedure(const char* name) {
  wchar_t path[MAX_PATH + 16];
  UINT length = GetSystemDirectoryW(path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return nullptr;
  lstrcpyW(path + length, L"\\shell32.dll");
  // With the altered search path, shell32's own imports are looked for in its folder first.
  HMODULE shell = LoadLibraryExW(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  return shell != nullptr ? reinterpret_cast<void*>(GetProcAddress(shell, name)) : nullptr;
}
