// Shortcut files (".lnk" shell links) and the special folders they go into.
// Best effort throughout: nothing here reports an error to the user. COM must
// be initialised on the calling thread.
#pragma once

#include <windows.h>

#include <shlobj.h>

// Writes the file-system path of the special folder csidl into buffer (at
// least MAX_PATH units), or leaves it empty when the folder has none.
void FindSpecialFolder(int csidl, char16_t* buffer);

// Writes the Quick Launch folder below the roaming application data into buffer
// (capacity in units) when it exists and no pinned-taskbar folder sits below
// it; otherwise leaves buffer empty.
void FindQuickLaunchFolder(char16_t* buffer, int capacity);

// True when FindQuickLaunchFolder finds a folder.
bool HasQuickLaunch();

// Writes the shortcut file link pointing at target, with workingDirectory and
// show command SW_SHOW, and nothing else (no arguments, description, icon or
// hot key). An existing file is replaced. Returns the result of the last shell
// step taken: CoCreateInstance, QueryInterface for IPersistFile, or Save; 0
// when a fault inside the shell objects ended the steps (RunGuarded), the
// objects then left unreleased.
HRESULT CreateShellLink(const char16_t* link, const char16_t* target, const char16_t* workingDirectory);

// Where CreateShellLink gets its link object: CoCreateInstance of the shell's
// link class, unless a test sets a factory of its own (null restores that).
typedef HRESULT (*ShellLinkFactory)(IShellLinkW** link);
void SetShellLinkFactory(ShellLinkFactory factory);

// Writes "<name>.lnk" on the user's desktop / into the Quick Launch folder,
// pointing at target, working directory the folder that holds target. Nothing
// is written when the folder is missing or name is empty.
void CreateDesktopShortcut(const char16_t* target, const char16_t* name);
void CreateQuickLaunchShortcut(const char16_t* target, const char16_t* name);
