// Helpers of the Win32 shell and install tests: a hidden dialog laid out like the
// setup dialog (shell_test.rc) with a fresh InstallerContext, installers built
// from entries, the built setup.exe, and answers to the modal windows that the
// code under test opens on this thread.
#pragma once

#include <windows.h>

#include <commctrl.h>
#include <string.h>

#include <functional>
#include <string>
#include <vector>

#include "archive/entry_format.h"
#include "archive/lzma_test_util.h"
#include "platform/wide.h"
#include "setupkit/entry_stream_writer.h"
#include "test_files.h"
#include "ui/installer_context.h"
#include "ui/interface_language.h"
#include "ui/language_list.h"

// UTF-16 to UTF-8, so failures print readable text.
inline std::string TestUtf8(const std::u16string& text) {
  std::string out(text.size() * 3 + 1, '\0');
  int n = WideCharToMultiByte(CP_UTF8, 0, AsWide(text.c_str()), -1, &out[0], static_cast<int>(out.size()), nullptr,
                              nullptr);
  out.resize(n > 0 ? n - 1 : 0);
  return out;
}

inline std::string TestWindowText(HWND window) {
  wchar_t text[1100] = {0};
  GetWindowTextW(window, text, 1100);
  return TestUtf8(AsUtf16(text));
}

// An installer of `entries` behind the identity texts {product code, window class,
// main program}, dated 2021-09-14; `cut` bytes taken off the payload's end break it.
inline std::string TestInstaller(const EntryStreamTexts& texts, const std::vector<EntryStreamEntry>& entries,
                                 size_t cut = 0) {
  std::vector<uint8_t> stream = BuildEntryStream(texts, ArchiveDateFromYmd(2021, 9, 14), entries);
  std::vector<uint8_t> container = TestContainer(TestLzmaEncode(stream, false), static_cast<uint32_t>(stream.size()));
  container.resize(container.size() - cut);
  return TestWriteInstaller(kPayloadSearchStart, container, std::vector<uint8_t>(4096, 0));
}

inline INT_PTR CALLBACK TestDialogProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

struct TestDialog {
  InstallerContext context = {};
  HWND dialog = nullptr;

  explicit TestDialog(const char* language = "US") {
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    strcpy(context.languageCode, language);
    InstallerContextSet(&context);
    SelectInterfaceLanguage();
    dialog = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(kSetupDialogId), nullptr, TestDialogProc, 0);
  }
  ~TestDialog() {
    DestroyWindow(dialog);
    InstallerContextSet(nullptr);
  }

  HWND List() const { return GetDlgItem(dialog, kLanguageListId); }
  std::string Text(int id) const { return TestWindowText(GetDlgItem(dialog, id)); }

  // The list's items top to bottom as "text[x]" (checked) or "text[ ]", separated by blanks.
  std::string Items() const {
    std::string out;
    for (int i = 0; i < ListView_GetItemCount(List()); ++i) {
      wchar_t text[256] = {0};
      LVITEMW item = {};
      item.pszText = text;
      item.cchTextMax = 256;
      SendMessageW(List(), LVM_GETITEMTEXTW, i, reinterpret_cast<LPARAM>(&item));
      bool checked = LanguageItemCheck(List(), i) == kLanguageChecked;
      out += (i ? " " : "") + TestUtf8(AsUtf16(text)) + (checked ? "[x]" : "[ ]");
    }
    return out;
  }
};

// setup.exe as built, opened as a data file so tests read its resources and
// create its dialog; null when it is missing.
inline HMODULE SetupExeModule() {
  static HMODULE module = [] {
    wchar_t own[1024] = {0};
    GetModuleFileNameW(nullptr, own, 1024);
    std::wstring path(own);
    path = path.substr(0, path.find_last_of(L"\\/") + 1) + SETUP_EXE_FROM_TESTS;
    return LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  }();
  return module;
}

inline std::function<void(HWND)> g_modalAnswer;

inline BOOL CALLBACK FindVisibleDialog(HWND window, LPARAM found) {
  wchar_t name[16] = {0};
  GetClassNameW(window, name, 16);
  if (wcscmp(name, L"#32770") != 0 || !IsWindowVisible(window)) return TRUE;
  *reinterpret_cast<HWND*>(found) = window;
  return FALSE;
}

inline void CALLBACK AnswerModal(HWND, UINT, UINT_PTR, DWORD) {
  HWND found = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), FindVisibleDialog, reinterpret_cast<LPARAM>(&found));
  if (found == nullptr || !g_modalAnswer) return;
  std::function<void(HWND)> once = g_modalAnswer;
  g_modalAnswer = nullptr;
  once(found);
}

// Runs show() while `answer` gets the modal window (message box, folder browser) it opens on
// this thread, from a timer that the modal loop itself runs; answer must close the window.
template <typename Show>
auto WithModalAnswer(std::function<void(HWND)> answer, Show show) -> decltype(show()) {
  g_modalAnswer = answer;
  UINT_PTR timer = SetTimer(nullptr, 0, 100, AnswerModal);
  auto result = show();
  KillTimer(nullptr, timer);
  g_modalAnswer = nullptr;
  return result;
}
