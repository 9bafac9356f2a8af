// Drives the windows of another process from outside, as a person at the
// screen would: finds its dialog and message boxes, reads captions, control
// texts, check marks, list items and fonts, types text, toggles boxes, presses
// buttons and keys, opens a list's context menu and chooses from it, and takes
// a picture of a window.
//
// Messages that carry pointers (the list view's LVM_GETITEMW and LVM_GETCOLUMNW)
// are not copied between processes by the system, so their records and text
// buffers are placed in the target process (VirtualAllocEx) and read back.
// WM_GETTEXT and WM_SETTEXT are copied by the system and are sent directly.
//
// Every wait polls with a timeout in milliseconds and returns what it found, or
// a null window / false when the time ran out. Nothing here throws or aborts:
// callers (tests, the driver) decide what a failure means.
#pragma once

#include <windows.h>

#include <stdint.h>

#include <string>
#include <vector>

// A started program: its process handle (owned) and id. UiRelease ends it.
struct UiProcess {
  HANDLE process = nullptr;
  DWORD id = 0;
};

// Starts program (a full path) with arguments, in the program's own folder.
// False when it cannot be started; out is then left empty.
bool UiStart(const std::wstring& program, const std::wstring& arguments, UiProcess* out);

// Waits for the program to end. Returns its exit code, or -1 when it is still
// running after timeoutMs (it is left running).
long UiWaitExit(const UiProcess& process, DWORD timeoutMs);

// Ends a program that is still running (cleanup after a failed test), then
// releases the handle.
void UiRelease(UiProcess* process);

// Visible top-level windows of the process whose class is className
// ("#32770" dialogs and message boxes, "#32768" popup menus), in z-order.
std::vector<HWND> UiTopWindows(DWORD processId, const wchar_t* className);

// The visible dialog of the process that holds a control markerId, e.g. the
// setup dialog by its language list. Null after timeoutMs.
HWND UiWaitDialog(DWORD processId, int markerId, DWORD timeoutMs);

// A message box of the process: a visible dialog without a control markerId.
struct UiMessageBox {
  HWND window = nullptr;
  std::wstring caption;
  std::wstring text;                  // the message itself
  std::vector<std::wstring> buttons;  // button texts, in tab order
  bool hasIcon = false;
};

// Waits for a message box of the process (see above). False after timeoutMs.
bool UiWaitMessageBox(DWORD processId, int markerId, DWORD timeoutMs, UiMessageBox* out);

// Presses the box's button with the given id (IDOK, IDCANCEL, ...) and waits
// until the box has gone.
bool UiAnswerMessageBox(const UiMessageBox& box, int buttonId);

// Window text through WM_GETTEXT; empty when the window does not answer.
std::wstring UiText(HWND window);
std::wstring UiControlText(HWND dialog, int id);
std::wstring UiClassName(HWND window);

// BST_UNCHECKED, BST_CHECKED, ..., or -1 when the control does not answer.
int UiCheckState(HWND dialog, int id);
bool UiControlVisible(HWND dialog, int id);

// The font a control draws with (WM_GETFONT), as far as it can be read from
// outside. Wine keeps a font's description in the process that made it, so
// GetObject on a foreign handle fails there; height and face then come out
// empty and only `handle` and `system` (no font set: the system font) say
// anything.
struct UiFont {
  HFONT handle = nullptr;
  bool system = false;  // WM_GETFONT gave null
  bool described = false;
  LONG height = 0;  // lfHeight, negative for a character height
  LONG weight = 0;
  std::wstring face;
};
UiFont UiControlFont(HWND dialog, int id);

// Rows of pixels in a control's picture that hold text: the height of its
// ink, from the top of the tallest letter to the bottom of the lowest one.
// Compares fonts where UiControlFont cannot describe them. -1 on failure.
int UiInkHeight(HWND dialog, int id);

// Sets a control's text (WM_SETTEXT, copied across processes by the system).
bool UiSetText(HWND dialog, int id, const std::wstring& text);

// Clicks a check box and returns when the click is handled (BM_CLICK, sent).
bool UiToggle(HWND dialog, int id);

// Clicks a button without waiting for what it does (BM_CLICK, posted): what
// follows may be a modal message box or the end of the program.
bool UiPress(HWND dialog, int id);

// Presses a key on the window that has the keyboard focus in the dialog's
// thread (or the dialog itself): WM_KEYDOWN and WM_KEYUP, posted, so the
// dialog's own message loop turns Escape or Enter into its commands.
bool UiPressKey(HWND dialog, UINT virtualKey);

// The caption's close box: WM_SYSCOMMAND SC_CLOSE, posted.
bool UiCloseBox(HWND window);

// One item of a list view.
struct UiListItem {
  std::wstring text;
  int stateImage = 0;  // 1 unchecked, 2 checked, 0 none
  LPARAM value = 0;
};

// Every item of the list view, top to bottom; false when it cannot be read.
bool UiListItems(HWND list, std::vector<UiListItem>* items);
// The header text of column `column`.
std::wstring UiListColumnText(HWND list, int column);

// Sets or clears the check box of item `index`, as a click on it does
// (LVM_SETITEMSTATE with the state image: 2 checked, 1 unchecked).
bool UiSetListItemCheck(HWND list, int index, bool checked);

// Opens the context menu of `target` (a child of dialog) the way a right click
// on it does: the pointer moves onto the target, the dialog gets WM_CONTEXTMENU.
// Returns the visible popup menu window, or null after timeoutMs.
//
// The menu's items cannot be read from outside under Wine: a menu lives in the
// memory of the process that made it, and GetMenuItemCount on its handle from
// another process fails (ERROR_INVALID_MENU_HANDLE). Choose by position and
// look at the effect, or at a picture of the open menu.
HWND UiOpenContextMenu(HWND dialog, HWND target, DWORD timeoutMs);

// Chooses item `index` (0 = top) of an open popup menu with the keyboard:
// Down index + 1 times, then Enter. Waits until the menu has closed.
bool UiChooseMenuItem(HWND menuWindow, int index, DWORD timeoutMs);

// Dismisses an open popup menu with Escape.
bool UiCancelMenu(HWND menuWindow, DWORD timeoutMs);

// Waits until the window is gone or hidden.
bool UiWaitGone(HWND window, DWORD timeoutMs);

// Saves what the screen shows of the window (frame included) as a PNG file.
bool UiCaptureWindow(HWND window, const std::wstring& pngPath);
// The same for the smallest rectangle that holds all the windows, e.g. a
// dialog and the popup menu open over it. Under Wine a popup menu's part is
// read from the X server (see the .cpp), so it needs ImageMagick's `import`.
bool UiCaptureWindows(const std::vector<HWND>& windows, const std::wstring& pngPath);
