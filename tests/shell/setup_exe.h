// The built setup.exe, opened as a data file so tests read its real resources
// and create its real dialog. CMake puts it at SETUP_EXE_FROM_TESTS relative to
// the folder of the test program.
#pragma once

#include <windows.h>

#include <string>

#include "platform/wide.h"
#include "text/bounded_text.h"

inline std::u16string SetupExePath() {
  wchar_t path[1024];
  GetModuleFileNameW(nullptr, path, 1024);
  char16_t* text = AsUtf16(path);
  StripFileName(text);
  AppendPathComponent(AsUtf16(SETUP_EXE_FROM_TESTS), text, 1024);
  return text;
}

// Loaded once; null when setup.exe is missing.
inline HMODULE SetupExeModule() {
  static HMODULE module = LoadLibraryExW(AsWide(SetupExePath().c_str()), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  return module;
}
