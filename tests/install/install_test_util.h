// Helpers of the install tests: registry values, environment variables and the
// Quick Launch folder put back as they were, shortcut files read back through
// the shell, and a record of the message boxes the code under test asks for.
#pragma once

#include <windows.h>

#include <shlobj.h>

#include <filesystem>
#include <string>
#include <vector>

#include "shell/messages.h"
#include "shell/test_dialog.h"
#include "test_files.h"

namespace fs = std::filesystem;

// Puts a registry value back (or removes it, and a key it had to create) at the end of the scope.
struct SavedRegistryValue {
  HKEY root;
  std::wstring key, name;
  bool keyExisted = false, valueExisted = false;
  DWORD type = 0, size = 4096;
  std::vector<BYTE> data = std::vector<BYTE>(4096);
  SavedRegistryValue(HKEY root, const wchar_t* key, const wchar_t* name) : root(root), key(key), name(name) {
    HKEY open = nullptr;
    keyExisted = RegOpenKeyExW(root, key, 0, KEY_READ, &open) == ERROR_SUCCESS;
    if (keyExisted) RegCloseKey(open);
    valueExisted = RegGetValueW(root, key, name, RRF_RT_ANY | RRF_NOEXPAND, &type, data.data(), &size) == ERROR_SUCCESS;
  }
  ~SavedRegistryValue() {
    if (valueExisted) {
      RegSetKeyValueW(root, key.c_str(), name.c_str(), type, data.data(), size);
    } else {
      RegDeleteKeyValueW(root, key.c_str(), name.c_str());
    }
    if (!keyExisted) RegDeleteKeyW(root, key.c_str());
  }
  // Sets the value to `bytes` bytes of text (by default all of it with its terminator), or removes it.
  void Set(const wchar_t* text, DWORD bytes = 0) const {
    if (text == nullptr) {
      RegDeleteKeyValueW(root, key.c_str(), name.c_str());
    } else {
      RegSetKeyValueW(root, key.c_str(), name.c_str(), REG_SZ, text, bytes ? bytes : DWORD(wcslen(text) + 1) * 2);
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

inline std::string TestText(const fs::path& path) { return TestUtf8(path.u16string()); }

// "target | working directory | arguments | description | show command", or
// "(none)". The show command comes from the file's header: on loading, the
// shell turns every value but 1, 3 and 7 into 1.
inline std::string TestReadShortcut(const fs::path& path) {
  IShellLinkW* link = nullptr;
  IPersistFile* file = nullptr;
  std::string out = "(none)";
  CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, reinterpret_cast<void**>(&link));
  if (link == nullptr) return out;
  if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
      SUCCEEDED(file->Load(path.c_str(), STGM_READ))) {
    wchar_t text[4][MAX_PATH] = {};
    link->GetPath(text[0], MAX_PATH, nullptr, SLGP_RAWPATH);
    link->GetWorkingDirectory(text[1], MAX_PATH);
    link->GetArguments(text[2], MAX_PATH);
    link->GetDescription(text[3], MAX_PATH);
    out.clear();
    for (auto& t : text) out += TestUtf8(AsUtf16(t)) + " | ";
    std::vector<uint8_t> bytes = TestReadFile(path.string());
    out += std::to_string(bytes.size() < 0x40 ? -1 : bytes[0x3C] | bytes[0x3D] << 8);
  }
  if (file != nullptr) file->Release();
  link->Release();
  return out;
}

// The Quick Launch folder below the roaming application data, moved away for
// the scope (tests create it as they need) and put back as it was.
struct QuickLaunchScope {
  fs::path folder = TestSpecialFolder(CSIDL_APPDATA) / "Microsoft" / "Internet Explorer" / "Quick Launch";
  fs::path backup = folder.parent_path() / "Quick Launch (saved by test)";
  bool parentExisted = fs::exists(folder.parent_path());
  QuickLaunchScope() {
    if (fs::exists(folder)) fs::rename(folder, backup);
  }
  ~QuickLaunchScope() {
    std::error_code ignored;
    fs::remove_all(folder, ignored);
    if (fs::exists(backup)) fs::rename(backup, folder, ignored);
    if (!parentExisted) fs::remove(folder.parent_path(), ignored);
  }
};

// The status line 1047, which the shell tests' dialog template lacks.
inline void TestAddStatusLine(HWND dialog) {
  if (GetDlgItem(dialog, 1047) != nullptr) return;
  CreateWindowExW(0, L"STATIC", L"", WS_CHILD, 0, 0, 200, 12, dialog, reinterpret_cast<HMENU>(1047), nullptr, nullptr);
}

// The message boxes asked for through a MessageFunction, as "caption: text [type]".
inline std::vector<std::string>& TestBoxes() {
  static std::vector<std::string> boxes;
  return boxes;
}

inline int TestRecordBox(HWND, const char16_t* text, const char16_t* captionPath, UINT type) {
  std::string style = " [" + std::to_string(type) + "]";
  TestBoxes().push_back(TestUtf8(MessageCaption(captionPath)) + ": " + TestUtf8(text) + style);
  return IDOK;
}
