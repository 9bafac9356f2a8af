#include "ui/product_closer.h"

#include "text/bounded_text.h"

namespace {

// The closer looks again this long after each WM_DESTROY, so a program that is
// slow to go away costs a few searches, not a busy core.
const DWORD kCloserPauseMs = 50;

}  // namespace

HANDLE StartInstanceCloser(const char* windowClass) {
  if (windowClass == nullptr || windowClass[0] == 0) return nullptr;
  // The thread owns this copy: the dialog's thread may rewrite the context's
  // field meanwhile, and start-up frees the context without waiting for it.
  char* copy = static_cast<char*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, kWindowClassCapacity));
  if (copy == nullptr) return nullptr;
  AppendNarrow(windowClass, copy, kWindowClassCapacity);
  HANDLE thread = CreateThread(nullptr, 0, InstanceCloser, copy, 0, nullptr);
  if (thread == nullptr) HeapFree(GetProcessHeap(), 0, copy);
  return thread;
}

DWORD WINAPI InstanceCloser(void* parameter) {
  char* windowClass = static_cast<char*>(parameter);
  CloseInstances(windowClass, kCloserPauseMs);
  HeapFree(GetProcessHeap(), 0, windowClass);
  return 0;
}

int CloseInstances(const char* windowClass, DWORD pauseMs) {
  if (windowClass == nullptr || windowClass[0] == 0) return 0;
  int sent = 0;
  for (HWND window = FindWindowA(windowClass, nullptr); window != nullptr; window = FindWindowA(windowClass, nullptr)) {
    SendMessageW(window, WM_DESTROY, 0, 0);
    ++sent;
    Sleep(pauseMs);
  }
  return sent;
}
