// setup-drive: the automation as a command line, for `make demo` and for
// looking at a dialog by hand. Commands run left to right on one program:
//
//   setup-drive start PROGRAM dialog dump shot C:\dialog.bmp press 99 message answer wait-exit
//
// Prints what it reads as UTF-8 lines; stops at the first command that fails,
// with exit code 1 (2 for a usage error).
#include "ui/control_ids.h"
#include "ui_automation.h"  // and with it windows.h, stdio.h, string and vector

namespace {

// The commands: start the program; wait for its setup dialog; print the dialog's texts; click a button; wait
// for a message box and print it; press its OK; save a picture of the message box (after `message`) or of the
// dialog; wait for the program's end and print its exit code.
const char kUsage[] =
    "usage: setup-drive start PROGRAM [dialog] [dump] [press ID] [message] [answer] [shot FILE.bmp] [wait-exit]...\n";

void Print(const std::wstring& text) {
  std::string utf8(text.size() * 3 + 1, '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &utf8[0], static_cast<int>(utf8.size()), nullptr, nullptr);
  printf("%s\n", utf8.c_str());
  fflush(stdout);
}

void Dump(HWND dialog) {
  Print(L"caption: " + UiText(dialog));
  for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
    int id = GetDlgCtrlID(child);
    if (id == 0xFFFF) continue;  // the dialog's unnamed statics: the frame and the icon
    // The check marks of the Start menu, desktop and Quick Launch boxes.
    std::wstring mark = id < 1041 || id > 1043 ? L"" : UiChecked(dialog, id) ? L"[x] " : L"[ ] ";
    Print(L"control " + std::to_wstring(id) + L": " + mark + UiText(child) +
          (IsWindowVisible(child) ? L"" : L" (hidden)"));
  }
  std::vector<UiListItem> items;
  UiListItems(GetDlgItem(dialog, kLanguageListId), &items);
  for (const UiListItem& item : items)
    Print(std::wstring(L"list item: ") + (item.checked ? L"[x] " : L"[ ] ") + item.text);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  UiProcess process;
  HWND dialog = nullptr;
  UiMessageBox box;
  int status = argc > 1 ? 0 : 2;
  for (int i = 1; i < argc && status == 0; ++i) {
    std::wstring command = argv[i];
    const wchar_t* argument = i + 1 < argc ? argv[i + 1] : nullptr;
    bool ok = true;
    if (command == L"start" && argument != nullptr && process.process == nullptr) {
      ok = UiStart(argv[++i], L"", &process);
    } else if (command == L"dialog" && process.process != nullptr) {
      std::wstring why;
      ok = (dialog = UiWaitDialog(process, kLanguageListId, &why)) != nullptr;
      if (!ok) Print(L"no dialog: " + why);
    } else if (command == L"dump" && dialog != nullptr) {
      Dump(dialog);
    } else if (command == L"press" && argument != nullptr && dialog != nullptr) {
      ok = UiPress(dialog, _wtoi(argv[++i]));
    } else if (command == L"message" && process.process != nullptr) {
      box = UiWaitMessageBox(process.id, kLanguageListId);
      ok = box.window != nullptr;
      if (ok) Print(L"message: " + box.caption + L" | " + box.text);
    } else if (command == L"answer" && box.window != nullptr) {
      ok = UiAnswer(box, IDOK);
      box = UiMessageBox();
    } else if (command == L"shot" && argument != nullptr && (box.window != nullptr || dialog != nullptr)) {
      ok = UiCaptureWindow(box.window != nullptr ? box.window : dialog, argv[++i]);
    } else if (command == L"wait-exit" && process.process != nullptr) {
      long code = UiWaitExit(process);
      ok = code >= 0;
      if (ok) Print(L"exit code: " + std::to_wstring(code));
    } else {
      status = 2;
    }
    if (!ok) status = 1;
    if (status != 0)
      fprintf(stderr, "setup-drive: `%ls` %s\n", command.c_str(), ok ? "is unknown or misplaced" : "failed");
  }
  if (status == 2) fputs(kUsage, stderr);
  if (status != 0) UiRelease(&process);  // a program left running ends with the driver
  if (process.process != nullptr) CloseHandle(process.process);
  return status;
}
