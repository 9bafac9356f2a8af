// Helpers of the install tests: registry values and environment variables put
// back as they were, COM and special folders, and a record of the message boxes
// the code under test asks for.
#pragma once

#include <windows.h>

#include <shlobj.h>

#include <filesystem>
#include <string>
#include <vector>

#include "shell/messages.h"
#include "shell/shell_test_util.h"

namespace fs = std::filesystem;

const wchar_t kTestUninstallKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Zq Test Tool";

// A REG_SZ value stored with its terminator as its text, "(none)", or "(type, bytes)" for anything else.
inline std::string TestRegistry(HKEY root, const wchar_t* key, const wchar_t* name) {
  wchar_t value[1100] = {0};
  DWORD type = 0, size = sizeof(value);
  if (RegGetValueW(root, key, name, RRF_RT_ANY | RRF_NOEXPAND, &type, value, &size)) return "(none)";
  if (type == REG_SZ && size == (wcslen(value) + 1) * 2) return TestUtf8(AsUtf16(value));
  return "(" + std::to_string(type) + ", " + std::to_string(size) + ")";
}

// Puts a registry value back, or removes it, at the end of the scope.
struct SavedRegistryValue {
  HKEY root;
  const wchar_t *key, *name;
  DWORD type = 0, size = 4096;
  BYTE data[4096];
  LSTATUS saved;
  SavedRegistryValue(HKEY root, const wchar_t* key, const wchar_t* name) : root(root), key(key), name(name) {
    saved = RegGetValueW(root, key, name, RRF_RT_ANY | RRF_NOEXPAND, &type, data, &size);
  }
  ~SavedRegistryValue() {
    Set(nullptr);
    if (saved == ERROR_SUCCESS) RegSetKeyValueW(root, key, name, type, data, size);
  }
  // Sets the value to `bytes` bytes of text (by default all of it with its terminator), or removes it.
  void Set(const wchar_t* text, DWORD bytes = 0) const {
    if (text == nullptr) {
      RegDeleteKeyValueW(root, key, name);
    } else {
      RegSetKeyValueW(root, key, name, REG_SZ, text, bytes ? bytes : DWORD(wcslen(text) + 1) * 2);
    }
  }
};

// Puts an environment variable back at the end of the scope.
struct SavedEnvironment {
  std::wstring name, value;
  bool existed;
  explicit SavedEnvironment(const wchar_t* name) : name(name) {
    wchar_t buffer[2048];
    DWORD length = GetEnvironmentVariableW(name, buffer, 2048);
    existed = length != 0 && length < 2048;
    if (existed) value = buffer;
  }
  ~SavedEnvironment() { SetEnvironmentVariableW(name.c_str(), existed ? value.c_str() : nullptr); }
};

// COM for the scope. Under Wine, saving a link starts a helper that reads it in
// the background and holds it open while a test replaces or removes it; the
// helper is switched off for the programs this one starts.
struct ComScope {
  SavedEnvironment overrides{L"WINEDLLOVERRIDES"};
  ComScope() {
    SetEnvironmentVariableW(L"WINEDLLOVERRIDES", (overrides.value + L";winemenubuilder.exe=d").c_str());
    CoInitialize(nullptr);
  }
  ~ComScope() { CoUninitialize(); }
};

inline fs::path TestSpecialFolder(int csidl) {
  wchar_t path[MAX_PATH] = {0};
  SHGetFolderPathW(nullptr, csidl, nullptr, 0, path);
  return fs::path(path);
}

// The message boxes asked for through a MessageFunction, as "caption: text [type]".
inline std::vector<std::string>& TestBoxes() {
  static std::vector<std::string> boxes;
  return boxes;
}

inline int TestRecordBox(HWND, const char16_t* text, const char16_t* captionPath, UINT type) {
  TestBoxes().push_back(TestUtf8(MessageCaption(captionPath)) + ": " + TestUtf8(text) + " [" + std::to_string(type) + "]");
  return IDOK;
}
