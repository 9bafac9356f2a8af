// The closer: ends every running copy of the product, found by the window
// class of its main window, before files of it are replaced or removed. The
// installer runs it on a thread beside its dialog; the uninstaller waits for it.
#pragma once

#include <windows.h>

// Capacity of a window class: the context's productWindowClass and the closer's copy of it.
const int kWindowClassCapacity = 32;

// Starts the closer thread for windowClass (narrow, ANSI; at most 31
// characters are used), which works on its own copy of the text. Returns the
// thread's handle for the caller to close, or null when the class is empty or
// the thread could not be started.
HANDLE StartInstanceCloser(const char* windowClass);

// The closer thread's body. parameter is a copy of the window class made by
// StartInstanceCloser, which the thread owns and frees. Returns 0.
DWORD WINAPI InstanceCloser(void* parameter);

// Sends WM_DESTROY (SendMessageW, both parameters 0) to a top-level window of
// windowClass, pausing pauseMs after each, until no window of the class is
// found. Returns the number of messages sent. An empty class finds nothing.
int CloseInstances(const char* windowClass, DWORD pauseMs);
