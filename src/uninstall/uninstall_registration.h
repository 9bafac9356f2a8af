// The uninstaller's registry steps. What the installer registered for a product
// goes only when it belongs to the folder being removed: a copy of the product
// installed in another folder keeps its uninstall entry and its stored folder.
#pragma once

#include <windows.h>

// Compares two folders as the file system names them: absolute, without a
// trailing separator, letters folded by the system. False when either is empty.
bool SameFolder(const char16_t* a, const char16_t* b);

// Deletes the uninstall key named productName (HKEY_LOCAL_MACHINE) when its
// UninstallString starts a program of folder, and the stored destination of
// productCode (HKEY_CURRENT_USER) when it names folder, then the maker's key
// when that was its last value. An empty name or code skips its step. A key or
// value that is there but cannot be deleted is added to notDeleted (capacity
// in units) on a line of its own, behind a line break.
void RemoveRegistration(const char16_t* productName, const char* productCode, const char16_t* folder,
                        char16_t* notDeleted, int capacity);
