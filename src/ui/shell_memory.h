// Memory the shell hands out (item id lists) is owned by one record that frees
// it with the COM task allocator, the shell's own, when it goes out of scope.
#pragma once

#include <windows.h>

#include <objbase.h>
#include <shlobj.h>

struct ShellItemIds {
  LPITEMIDLIST ids = nullptr;

  ShellItemIds() = default;
  explicit ShellItemIds(LPITEMIDLIST owned) : ids(owned) {}
  ShellItemIds(const ShellItemIds&) = delete;
  ShellItemIds& operator=(const ShellItemIds&) = delete;
  ~ShellItemIds() { CoTaskMemFree(ids); }
};
