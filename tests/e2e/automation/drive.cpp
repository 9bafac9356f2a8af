// setup-drive: the automation as a command line, for `make demo` and for
// looking at a dialog by hand. Commands run left to right on one program:
//
//   setup-drive start PROGRAM dialog dump shot C:\dialog.png press 99 message answer wait-exit
//
// Prints what it reads as UTF-8 lines; stops at the first command that fails,
// with exit code 1 (2 for a usage error).
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <wchar.h>

#include <string>
#include <vector>

#include "ui_automation.h"

namespace {

const int kLanguageListId = 1010;
const DWORD kWaitMs = 20000;

const wchar_t kUsage[] =
    L"usage: setup-drive COMMAND...\n"
    L"  start PROGRAM      start the program; the commands after it act on it\n"
    L"  dialog             wait for its setup dialog (the one with the language list)\n"
    L"  dump               print caption, control texts, check marks, list items, fonts\n"
    L"  set ID TEXT        put TEXT into control ID\n"
    L"  toggle ID          click check box ID\n"
    L"  press ID           click button ID (without waiting for what it does)\n"
    L"  key escape|enter   press a key in the dialog\n"
    L"  close              click the caption's close box\n"
    L"  menu INDEX         open the language list's context menu and choose item INDEX (0 = top)\n"
    L"  message            wait for a message box and print it\n"
    L"  answer [ID]        press a button of that message box (default 1, OK)\n"
    L"  shot FILE          save a PNG of the message box (after `message`) or the dialog\n"
    L"  wait-exit          wait for the program to end and print its exit code\n";

void Print(const std::wstring& text) {
  int bytes = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<size_t>(bytes), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &utf8[0], bytes, nullptr, nullptr);
  utf8 += '\n';
  fwrite(utf8.data(), 1, utf8.size(), stdout);
  fflush(stdout);
}

std::wstring CheckMark(int state) {
  return state == BST_CHECKED ? L"[x]" : state == BST_UNCHECKED ? L"[ ]" : L"[?]";
}

std::wstring LanguageCode(LPARAM value) {
  std::wstring code;
  for (int shift = 0; shift < 32; shift += 8) {
    wchar_t c = static_cast<wchar_t>((value >> shift) & 0xFF);
    if (c != 0) code += c;
  }
  return code;
}

void Dump(HWND dialog) {
  Print(L"caption: " + UiText(dialog));
  static const int kTexts[] = {1001, 1031, 1032, 1033, 99, 2, 1047};
  for (int id : kTexts) Print(L"control " + std::to_wstring(id) + L": " + UiControlText(dialog, id));
  for (int id = 1041; id <= 1043; ++id) {
    Print(L"control " + std::to_wstring(id) + L": " + CheckMark(UiCheckState(dialog, id)) + L" " +
          UiControlText(dialog, id) + (UiControlVisible(dialog, id) ? L"" : L" (hidden)"));
  }
  HWND list = GetDlgItem(dialog, kLanguageListId);
  Print(L"list header: " + UiListColumnText(list, 0));
  std::vector<UiListItem> items;
  if (UiListItems(list, &items)) {
    for (const UiListItem& item : items) {
      Print(L"list item: " + std::wstring(item.stateImage == 2 ? L"[x] " : item.stateImage == 1 ? L"[ ] " : L"[-] ") +
            item.text + L" (" + LanguageCode(item.value) + L")");
    }
  } else {
    Print(L"list items: cannot be read");
  }
  UiFont title = UiControlFont(dialog, 1001), label = UiControlFont(dialog, 1031);
  std::wstring font = title.described ? L"height " + std::to_wstring(title.height) + L" \"" + title.face + L"\""
                                      : (title.system ? L"system font" : L"own font (not readable from outside)");
  Print(L"title font: " + font + L", ink " + std::to_wstring(UiInkHeight(dialog, 1001)) + L" px (label " +
        std::to_wstring(UiInkHeight(dialog, 1031)) + L" px" + (label.system ? L", system font)" : L")"));
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) {
    fputws(kUsage, stderr);
    return 2;
  }
  UiProcess process;
  HWND dialog = nullptr;
  UiMessageBox box;
  for (int i = 1; i < argc; ++i) {
    std::wstring command = argv[i];
    auto argument = [&](std::wstring* value) {
      if (i + 1 >= argc) return false;
      *value = argv[++i];
      return true;
    };
    auto usage = [&](const wchar_t* problem) {
      fwprintf(stderr, L"setup-drive: `%ls` %ls\n%ls", command.c_str(), problem, kUsage);
      UiRelease(&process);
      return 2;
    };
    static const wchar_t* const kCommands[] = {L"start", L"dialog", L"dump", L"set", L"toggle", L"press", L"key",
                                               L"close", L"menu", L"message", L"answer", L"shot", L"wait-exit"};
    bool known = false;
    for (const wchar_t* name : kCommands) known = known || command == name;
    if (!known) return usage(L"is unknown");
    std::wstring a, b;
    bool ok = true;
    bool needsDialog = command != L"start" && command != L"dialog" && command != L"message" &&
                       command != L"answer" && command != L"shot" && command != L"wait-exit";
    if (command != L"start" && process.process == nullptr) return usage(L"needs `start` first");
    if (needsDialog && dialog == nullptr) return usage(L"needs `dialog` first");
    if (command == L"start" && argument(&a)) {
      ok = process.process == nullptr && UiStart(a, L"", &process);
    } else if (command == L"dialog") {
      dialog = UiWaitDialog(process.id, kLanguageListId, kWaitMs);
      ok = dialog != nullptr;
    } else if (command == L"dump") {
      Dump(dialog);
    } else if (command == L"set" && argument(&a) && argument(&b)) {
      ok = UiSetText(dialog, _wtoi(a.c_str()), b);
    } else if (command == L"toggle" && argument(&a)) {
      ok = UiToggle(dialog, _wtoi(a.c_str()));
    } else if (command == L"press" && argument(&a)) {
      ok = UiPress(dialog, _wtoi(a.c_str()));
    } else if (command == L"key" && argument(&a)) {
      ok = (a == L"escape" || a == L"enter") && UiPressKey(dialog, a == L"escape" ? VK_ESCAPE : VK_RETURN);
    } else if (command == L"close") {
      ok = UiCloseBox(dialog);
    } else if (command == L"menu" && argument(&a)) {
      HWND menu = UiOpenContextMenu(dialog, GetDlgItem(dialog, kLanguageListId), 5000);
      ok = menu != nullptr && UiChooseMenuItem(menu, _wtoi(a.c_str()), 5000);
    } else if (command == L"message") {
      ok = UiWaitMessageBox(process.id, kLanguageListId, kWaitMs, &box);
      if (ok) Print(L"message: " + box.caption + L" | " + box.text);
    } else if (command == L"answer") {
      int id = IDOK;
      if (i + 1 < argc && iswdigit(argv[i + 1][0])) id = _wtoi(argv[++i]);
      ok = box.window != nullptr && UiAnswerMessageBox(box, id);
      box = UiMessageBox();
    } else if (command == L"shot" && argument(&a)) {
      ok = UiCaptureWindow(box.window != nullptr ? box.window : dialog, a);
      if (ok) Print(L"screenshot: " + a);
    } else if (command == L"wait-exit") {
      long code = UiWaitExit(process, kWaitMs);
      ok = code >= 0;
      if (ok) Print(L"exit code: " + std::to_wstring(code));
    } else {
      return usage(L"lacks its argument");
    }
    if (!ok) {
      fwprintf(stderr, L"setup-drive: `%ls` failed\n", command.c_str());
      UiRelease(&process);
      return 1;
    }
  }
  if (process.process != nullptr) CloseHandle(process.process);
  return 0;
}
