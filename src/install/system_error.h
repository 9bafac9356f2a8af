// The operating system's own wording for a Win32 error code, shown when the
// install pass fails with one.
#pragma once

#include <windows.h>

#include <stdint.h>

// How a message box is shown: ShowMessage (ui/messages.h), or a test's
// stand-in that records the box instead of showing it.
typedef int (*MessageFunction)(HWND owner, const char16_t* text, const char16_t* captionPath, UINT type);

// Fills buffer (capacity in units) with the system's text for code in the
// user's default language, at most capacity - 2 characters and exactly as the
// system formats it (a closing line break stays). Insertion marks such as "%1"
// stay as they are. Empty when the system has no text; nothing is written for
// a null buffer or capacity 0.
void SystemMessageText(uint32_t code, char16_t* buffer, int capacity);

// Shows the system's text for code (0: the thread's last error) in an
// MB_OK | MB_ICONERROR box owned by owner, captioned with the file-name part
// of caption, or of the installer's own path when caption is null. Returns 0
// when there is no code, 2 when the system has no text for it (nothing shown),
// otherwise the box's result.
int ShowSystemError(HWND owner, uint32_t code, const char16_t* caption);

// ShowSystemError through show instead of ShowMessage.
int ShowSystemErrorWith(MessageFunction show, HWND owner, uint32_t code, const char16_t* caption);
