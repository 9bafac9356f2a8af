// Answers a modal window (message box, folder browser) that the code under
// test opens on this thread: a thread timer, run by the modal loop itself,
// looks for the first visible dialog of the thread and hands it to `answer`.
#pragma once

#include <windows.h>

#include <wchar.h>

#include <functional>

namespace test_modal {

inline std::function<void(HWND)>*& Answer() {
  static std::function<void(HWND)>* answer = nullptr;
  return answer;
}

inline BOOL CALLBACK FindVisibleDialog(HWND window, LPARAM found) {
  wchar_t name[16] = {0};
  GetClassNameW(window, name, 16);
  if (wcscmp(name, L"#32770") == 0 && IsWindowVisible(window)) {
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
  }
  return TRUE;
}

inline void CALLBACK Tick(HWND, UINT, UINT_PTR timer, DWORD) {
  HWND dialog = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), FindVisibleDialog, reinterpret_cast<LPARAM>(&dialog));
  if (dialog == nullptr || Answer() == nullptr) return;
  KillTimer(nullptr, timer);
  std::function<void(HWND)>* answer = Answer();
  Answer() = nullptr;
  (*answer)(dialog);
}

}  // namespace test_modal

// Runs show() while `answer` gets the modal dialog it opens; answer must close it.
template <typename Show>
auto WithModalAnswer(std::function<void(HWND)> answer, Show show) -> decltype(show()) {
  test_modal::Answer() = &answer;
  UINT_PTR timer = SetTimer(nullptr, 0, 100, test_modal::Tick);
  auto result = show();
  KillTimer(nullptr, timer);
  test_modal::Answer() = nullptr;
  return result;
}
