// A hidden, modeless dialog laid out like the setup dialog (shell_test.rc),
// with a fresh InstallerContext in the interface language asked for.
#pragma once

#include <windows.h>

#include <commctrl.h>
#include <string.h>

#include <string>

#include "platform/wide.h"
#include "shell/installer_context.h"
#include "shell/interface_language.h"
#include "shell/language_list.h"

inline INT_PTR CALLBACK TestDialogProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

// UTF-16 to UTF-8, so failures print readable text.
inline std::string TestUtf8(const std::u16string& text) {
  std::string out;
  for (char16_t u : text) {
    if (u < 0x80) {
      out += static_cast<char>(u);
    } else if (u < 0x800) {
      out += static_cast<char>(0xC0 | (u >> 6));
      out += static_cast<char>(0x80 | (u & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | (u >> 12));
      out += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (u & 0x3F));
    }
  }
  return out;
}

inline std::string TestWindowText(HWND window) {
  wchar_t text[1100];
  text[0] = 0;
  GetWindowTextW(window, text, 1100);
  return TestUtf8(AsUtf16(text));
}

struct TestDialog {
  InstallerContext context = {};
  HWND dialog = nullptr;

  explicit TestDialog(const char* language = "US") {
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    strcpy(context.languageCode, language);
    InstallerContextSet(&context);
    SelectInterfaceLanguage();
    dialog = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1000), nullptr, TestDialogProc, 0);
  }
  ~TestDialog() {
    DestroyWindow(dialog);
    InstallerContextSet(nullptr);
  }
  TestDialog(const TestDialog&) = delete;
  TestDialog& operator=(const TestDialog&) = delete;

  HWND List() const { return GetDlgItem(dialog, kLanguageListId); }

  std::string Text(int id) const { return TestWindowText(GetDlgItem(dialog, id)); }

  // The list's items top to bottom as "text[x]" (checked), "text[ ]" (unchecked)
  // or "text[?]" (no check box), separated by blanks.
  std::string Items() const {
    HWND list = List();
    std::string out;
    int count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
      wchar_t text[256];
      LVITEMW item = {};
      item.iSubItem = 0;
      item.pszText = text;
      item.cchTextMax = 256;
      text[0] = 0;
      SendMessageW(list, LVM_GETITEMTEXTW, i, reinterpret_cast<LPARAM>(&item));
      int check = LanguageItemCheck(list, i);
      if (!out.empty()) out += ' ';
      out += TestUtf8(AsUtf16(text));
      out += check == kLanguageChecked ? "[x]" : check == kLanguageUnchecked ? "[ ]" : "[?]";
    }
    return out;
  }
};
