// Drives the windows of another process from outside, as a person at the
// screen would: finds its dialog and message boxes, reads captions, control
// texts, check marks and list items, types text, checks list items, presses
// buttons and keys, chooses from the language list's popup menu, and takes a
// picture of a window. Used by the end-to-end tests and by setup-drive.
//
// List view messages carry pointers, which the system does not copy between
// processes, so their records and text buffers are placed in the target
// process (VirtualAllocEx) and read back. WM_GETTEXT and WM_SETTEXT are copied
// by the system and are sent directly.
//
// Every wait polls with a timeout and returns what it found, or a null window
// / false when the time ran out: callers decide what a failure means.
#pragma once

#include <windows.h>

#include <commctrl.h>
#include <stdint.h>
#include <stdio.h>

#include <string>
#include <vector>

const DWORD kUiWaitMs = 20000;
// A program's first window waits for Wine to start it and for the payload scan,
// which a loaded 32-bit host has been seen to take over 20 s for. The wait ends
// early when the program ends or shows a message instead (UiWaitDialog).
const DWORD kUiStartWaitMs = 60000;

// SendMessage that gives up after 5 s: the result, or 0.
inline LRESULT UiSend(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  DWORD_PTR result = 0;
  return SendMessageTimeoutW(window, message, wParam, lParam, SMTO_NORMAL, 5000, &result) ? result : 0;
}

// Polls `found` until it gives a window, or null when the time runs out.
template <typename Find>
HWND UiWaitFor(DWORD timeoutMs, Find found) {
  for (DWORD start = GetTickCount();; Sleep(40)) {
    if (HWND window = found()) return window;
    if (GetTickCount() - start >= timeoutMs) return nullptr;
  }
}

// A started program: its process handle (owned) and id.
struct UiProcess {
  HANDLE process = nullptr;
  DWORD id = 0;
  DWORD startError = 0;  // GetLastError of a failed start
};

// Starts program (a full path) with arguments.
inline bool UiStart(const std::wstring& program, const std::wstring& arguments, UiProcess* out) {
  std::wstring commandLine = L"\"" + program + L"\" " + arguments;
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info = {};
  if (!CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &info)) {
    out->startError = GetLastError();
    return false;
  }
  CloseHandle(info.hThread);
  *out = {info.hProcess, info.dwProcessId};
  return true;
}

// A command line as the system runs a registered one: the program is its first
// word, quoted when it holds spaces.
struct UiCommand {
  std::wstring line;
};
inline bool UiStartCommand(std::wstring commandLine, UiProcess* out) {
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info = {};
  if (!CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
    out->startError = GetLastError();
    return false;
  }
  CloseHandle(info.hThread);
  *out = {info.hProcess, info.dwProcessId};
  return true;
}

// The exit code, or -1 while the program still runs after timeoutMs.
inline long UiWaitExit(const UiProcess& process, DWORD timeoutMs = kUiWaitMs) {
  DWORD code = 0;
  if (process.process == nullptr || WaitForSingleObject(process.process, timeoutMs) != WAIT_OBJECT_0) return -1;
  GetExitCodeProcess(process.process, &code);
  return static_cast<long>(code);
}

// Ends a program that still runs (cleanup after a failed test) and releases it.
inline void UiRelease(UiProcess* process) {
  if (process->process != nullptr && UiWaitExit(*process, 0) == -1 && TerminateProcess(process->process, 99)) {
    WaitForSingleObject(process->process, 5000);
  }
  if (process->process != nullptr) CloseHandle(process->process);
  *process = UiProcess();
}

// Visible top-level windows of the process whose class is className
// ("#32770" dialogs and message boxes, "#32768" popup menus), in z-order.
inline std::vector<HWND> UiTopWindows(DWORD processId, const wchar_t* className) {
  std::vector<HWND> found;
  for (HWND window = nullptr; (window = FindWindowExW(nullptr, window, className, nullptr)) != nullptr;) {
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == processId && IsWindowVisible(window)) found.push_back(window);
  }
  return found;
}

// The first visible top-level window of the process of that class that `accept`s.
template <typename Accept>
HWND UiWaitTop(DWORD processId, const wchar_t* className, DWORD timeoutMs, Accept accept) {
  return UiWaitFor(timeoutMs, [&]() -> HWND {
    for (HWND window : UiTopWindows(processId, className)) {
      if (accept(window)) return window;
    }
    return nullptr;
  });
}

inline HWND UiWaitWindow(DWORD processId, const wchar_t* className, DWORD timeoutMs = kUiWaitMs) {
  return UiWaitTop(processId, className, timeoutMs, [](HWND) { return true; });
}

inline bool UiWaitGone(HWND window, DWORD timeoutMs = kUiWaitMs) {
  auto gone = [&]() { return IsWindow(window) && IsWindowVisible(window) ? nullptr : window; };
  return UiWaitFor(timeoutMs, gone) != nullptr;
}

inline std::wstring UiText(HWND window) {
  wchar_t text[1024] = {0};
  UiSend(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text));
  return text;
}

inline std::wstring UiControlText(HWND dialog, int id) { return UiText(GetDlgItem(dialog, id)); }

// A message box of the process: a visible dialog without a control markerId.
struct UiMessageBox {
  HWND window = nullptr;  // null when none came
  std::wstring caption;
  std::wstring text;
  bool hasIcon = false;
};

inline UiMessageBox UiWaitMessageBox(DWORD processId, int markerId, DWORD timeoutMs = kUiWaitMs) {
  const int kTextId = 0xFFFF;  // the message's static: the same id on Windows and on Wine
  UiMessageBox box;
  box.window = UiWaitTop(processId, L"#32770", timeoutMs, [&](HWND window) {
    return GetDlgItem(window, markerId) == nullptr && GetDlgItem(window, kTextId) != nullptr;
  });
  box.caption = UiText(box.window);
  box.text = UiControlText(box.window, kTextId);
  // The icon is a static with SS_ICON that holds one (Wine keeps an empty one in a box without an icon).
  for (HWND child = nullptr; box.window != nullptr && (child = FindWindowExW(box.window, child, L"Static", nullptr));) {
    LONG_PTR type = GetWindowLongPtrW(child, GWL_STYLE) & SS_TYPEMASK;
    box.hasIcon = box.hasIcon || (type == SS_ICON && IsWindowVisible(child) && UiSend(child, STM_GETICON, 0, 0) != 0);
  }
  return box;
}

// The visible dialog of the process that holds a control markerId, e.g. the
// setup dialog by its language list. Null as soon as it cannot come: the
// program did not start, has ended, or shows a message box instead; *why then
// says which (with the exit code, or the message), or, when the time ran out,
// how much processor time the program has used, which tells a slow start from
// a hung one.
inline HWND UiWaitDialog(const UiProcess& process, int markerId, std::wstring* why = nullptr,
                         DWORD timeoutMs = kUiStartWaitMs) {
  std::wstring reason;
  HWND dialog = nullptr;
  if (process.process == nullptr) {
    reason = L"the program did not start (error " + std::to_wstring(process.startError) + L")";
  } else {
    DWORD start = GetTickCount();
    dialog = UiWaitFor(timeoutMs, [&]() -> HWND {
      if (HWND found = UiWaitTop(process.id, L"#32770", 0, [&](HWND w) { return GetDlgItem(w, markerId); })) return found;
      DWORD code = 0;
      if (WaitForSingleObject(process.process, 0) == WAIT_OBJECT_0 && GetExitCodeProcess(process.process, &code)) {
        reason = L"the program ended with exit code " + std::to_wstring(code);
        return HWND_MESSAGE;
      }
      UiMessageBox box = UiWaitMessageBox(process.id, markerId, 0);
      if (box.window == nullptr) return nullptr;
      reason = L"a message instead: " + box.caption + L": " + box.text;
      return HWND_MESSAGE;
    });
    if (dialog == HWND_MESSAGE) dialog = nullptr;
    if (dialog == nullptr && reason.empty()) {
      FILETIME created, ended, kernel, user;
      ULONGLONG used = 0;
      if (GetProcessTimes(process.process, &created, &ended, &kernel, &user)) {
        used = ((ULONGLONG(kernel.dwHighDateTime) << 32 | kernel.dwLowDateTime) +
                (ULONGLONG(user.dwHighDateTime) << 32 | user.dwLowDateTime)) / 10000;
      }
      reason = L"still running after " + std::to_wstring(GetTickCount() - start) + L" ms without it, " +
               std::to_wstring(used) + L" ms of processor time used";
    }
  }
  if (why != nullptr) *why = reason;
  return dialog;
}

inline bool UiChecked(HWND dialog, int id) { return UiSend(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0) == BST_CHECKED; }

inline bool UiSetText(HWND dialog, int id, const std::wstring& text) {
  return UiSend(GetDlgItem(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str())) != 0;
}

// Clicks a button without waiting for what it does (BM_CLICK, posted): what
// follows may be a modal message box or the end of the program.
inline bool UiPress(HWND dialog, int id) {
  HWND control = GetDlgItem(dialog, id);
  return control != nullptr && PostMessageW(control, BM_CLICK, 0, 0);
}

// Presses the box's button (IDOK, ...) and waits until the box has gone.
inline bool UiAnswer(const UiMessageBox& box, int buttonId) {
  return UiPress(box.window, buttonId) && UiWaitGone(box.window);
}

// WM_KEYDOWN and WM_KEYUP, posted to the window: a dialog's own loop turns
// Escape or Enter into its commands, a popup menu's loop reads them too.
inline void UiPressKey(HWND window, UINT virtualKey) {
  LPARAM scan = static_cast<LPARAM>(MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC)) << 16;
  PostMessageW(window, WM_KEYDOWN, virtualKey, scan | 1);
  PostMessageW(window, WM_KEYUP, virtualKey, scan | 1 | (3u << 30));
}

// Sends a list view message whose record (LVITEMW, LVCOLUMNW) lives in the
// list's process, with room for a text behind it; the record comes back in
// `record`, its text (wherever the list put it) in `text`.
template <typename Record>
bool UiSendRemote(HWND list, UINT message, WPARAM wParam, Record* record, std::wstring* text) {
  DWORD processId = 0;
  GetWindowThreadProcessId(list, &processId);
  HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId);
  if (process == nullptr) return false;
  wchar_t buffer[260] = {0};
  auto* remote = static_cast<uint8_t*>(
      VirtualAllocEx(process, nullptr, sizeof(*record) + sizeof(buffer), MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
  record->pszText = reinterpret_cast<wchar_t*>(reinterpret_cast<uintptr_t>(remote) + sizeof(*record));
  record->cchTextMax = 259;
  bool ok = remote != nullptr && WriteProcessMemory(process, remote, record, sizeof(*record), nullptr) &&
            WriteProcessMemory(process, remote + sizeof(*record), buffer, sizeof(buffer), nullptr) &&
            UiSend(list, message, wParam, reinterpret_cast<LPARAM>(remote)) &&
            ReadProcessMemory(process, remote, record, sizeof(*record), nullptr) &&
            (text == nullptr || ReadProcessMemory(process, record->pszText, buffer, sizeof(buffer) - 2, nullptr));
  if (ok && text != nullptr) *text = buffer;
  if (remote != nullptr) VirtualFreeEx(process, remote, 0, MEM_RELEASE);
  CloseHandle(process);
  return ok;
}

struct UiListItem {
  std::wstring text;
  bool checked = false;  // the check box's state image
};

// Every item of the list view, top to bottom; false when it cannot be read.
inline bool UiListItems(HWND list, std::vector<UiListItem>* items) {
  bool ok = list != nullptr;
  LRESULT count = UiSend(list, LVM_GETITEMCOUNT, 0, 0);
  for (int index = 0; ok && index < count; ++index) {
    LVITEMW record = {};
    record.mask = LVIF_TEXT | LVIF_STATE;
    record.iItem = index;
    record.stateMask = LVIS_STATEIMAGEMASK;
    UiListItem item;
    ok = UiSendRemote(list, LVM_GETITEMW, 0, &record, &item.text);
    item.checked = (record.state & LVIS_STATEIMAGEMASK) == INDEXTOSTATEIMAGEMASK(2);
    items->push_back(item);
  }
  return ok;
}

// The text of the list view's column header.
inline std::wstring UiListHeader(HWND list) {
  LVCOLUMNW column = {};
  column.mask = LVCF_TEXT;
  std::wstring text;
  UiSendRemote(list, LVM_GETCOLUMNW, 0, &column, &text);
  return text;
}

// Sets or clears an item's check box, as a click on it does.
inline bool UiSetListItemCheck(HWND list, int index, bool checked) {
  LVITEMW record = {};
  record.stateMask = LVIS_STATEIMAGEMASK;
  record.state = INDEXTOSTATEIMAGEMASK(checked ? 2 : 1);
  return UiSendRemote(list, LVM_SETITEMSTATE, index, &record, nullptr);
}

// Opens the list's context menu in the dialog (of process processId) as a
// right click inside the list does, chooses item `index` (0 = top) with the
// keyboard and waits until the menu has closed. The menu cannot be read from
// another process under Wine. `atPointer` tells whether it opened with its top
// left corner at the pointer.
inline bool UiChooseFromContextMenu(DWORD processId, HWND dialog, HWND list, int index, bool* atPointer) {
  RECT rect = {};
  GetWindowRect(list, &rect);
  POINT point = {rect.left + 20, rect.top + 30};
  SetCursorPos(point.x, point.y);
  // Posted: the menu's own loop runs inside the handler until a choice is made.
  PostMessageW(dialog, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(list), MAKELPARAM(point.x, point.y));
  HWND menu = UiWaitWindow(processId, L"#32768", 5000);
  if (menu == nullptr || !GetWindowRect(menu, &rect)) return false;
  *atPointer = rect.left == point.x && rect.top == point.y;
  for (int i = 0; i <= index; ++i) UiPressKey(menu, VK_DOWN);
  UiPressKey(menu, VK_RETURN);
  return UiWaitGone(menu, 5000);
}

// What the screen shows of the rectangle (screen coordinates), as a top-down
// 32-bit DIB: info describes it, pixels holds its BGRA values, alpha opaque.
inline bool UiScreenPixels(const RECT& rect, BITMAPINFOHEADER* info, std::vector<uint8_t>* pixels) {
  *info = {sizeof(*info), rect.right - rect.left, rect.top - rect.bottom, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  pixels->assign(static_cast<size_t>(info->biWidth) * -info->biHeight * 4, 0);
  HDC screen = GetDC(nullptr), memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, info->biWidth, -info->biHeight);
  HGDIOBJ old = SelectObject(memory, bitmap);
  bool ok = BitBlt(memory, 0, 0, info->biWidth, -info->biHeight, screen, rect.left, rect.top, SRCCOPY) != 0;
  SelectObject(memory, old);
  ok = ok && !pixels->empty() &&
       GetDIBits(memory, bitmap, 0, -info->biHeight, pixels->data(), reinterpret_cast<BITMAPINFO*>(info),
                 DIB_RGB_COLORS) != 0;
  for (size_t i = 3; i < pixels->size(); i += 4) (*pixels)[i] = 0xFF;  // viewers take the fourth byte as alpha
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return ok;
}

// The box around the dark pixels (every channel below 0x80) that the screen
// shows inside the window, as its width and height: the ink of a control's text.
inline SIZE UiInkSize(HWND window) {
  RECT rect = {};
  GetWindowRect(window, &rect);
  BITMAPINFOHEADER info;
  std::vector<uint8_t> pixels;
  SIZE ink = {0, 0};
  if (!UiScreenPixels(rect, &info, &pixels)) return ink;
  LONG left = info.biWidth, top = -info.biHeight, right = -1, bottom = -1;
  for (LONG y = 0; y < -info.biHeight; ++y) {
    for (LONG x = 0; x < info.biWidth; ++x) {
      const uint8_t* pixel = &pixels[(static_cast<size_t>(y) * info.biWidth + x) * 4];
      if (pixel[0] >= 0x80 || pixel[1] >= 0x80 || pixel[2] >= 0x80) continue;
      left = x < left ? x : left;
      right = x > right ? x : right;
      top = y < top ? y : top;
      bottom = y > bottom ? y : bottom;
    }
  }
  if (right >= left) ink = {right - left + 1, bottom - top + 1};
  return ink;
}

// Saves what the screen shows of the window (frame included) as a 32-bit BMP.
inline bool UiCaptureWindow(HWND window, const std::wstring& bmpPath) {
  RECT rect = {};
  GetWindowRect(window, &rect);
  UiSend(window, WM_NULL, 0, 0);  // lets the window finish painting
  Sleep(150);
  BITMAPINFOHEADER info;
  std::vector<uint8_t> pixels;
  bool ok = UiScreenPixels(rect, &info, &pixels);
  DWORD offset = sizeof(BITMAPFILEHEADER) + sizeof(info);
  BITMAPFILEHEADER header = {0x4D42, static_cast<DWORD>(offset + pixels.size()), 0, 0, offset};
  FILE* file = ok ? _wfopen(bmpPath.c_str(), L"wb") : nullptr;
  ok = file != nullptr && fwrite(&header, sizeof(header), 1, file) == 1 && fwrite(&info, sizeof(info), 1, file) == 1 &&
       fwrite(pixels.data(), 1, pixels.size(), file) == pixels.size();
  return file != nullptr && fclose(file) == 0 && ok;
}
