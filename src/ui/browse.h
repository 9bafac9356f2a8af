// The folder browser behind the destination's "..." button.
#pragma once

#include <windows.h>

#include <shlobj.h>

// Opens the shell's folder browser owned by dialog, with the folder that edit
// editId names selected, or its parent when that cannot be parsed (a folder not
// created yet), or nothing. A relative text is made absolute for the selection
// only. The edit box changes only when the user picks a file-system folder.
// COM must be initialised on the calling thread.
void BrowseForDestination(HWND dialog, int editId);

// The item the browser opens at for path (a buffer of 1024 units): path is made
// absolute in place and parsed by the desktop folder, cut to 259 characters; if
// that fails, path is cut to its parent folder and parsed again. Returns the
// item id list (for a ShellItemIds to own) or null when neither parses.
LPITEMIDLIST BrowseStartItem(HWND owner, char16_t* path);

// The browser's callback: on BFFM_INITIALIZED selects the item id list passed
// as data. Returns 0.
int CALLBACK BrowseCallback(HWND browser, UINT message, LPARAM parameter, LPARAM data);
