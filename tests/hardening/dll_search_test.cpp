// The installer's search for DLLs, under Wine: a DLL built under the name of a
// system DLL (planted_dll.c) lies in the installer's folder, as a download
// folder might hold one, and Wine is told to prefer a native DLL of that name
// to its own. A program that leaves the search order alone takes the planted
// copy; the installer, asked to load that DLL by name once it runs, takes the
// system folder's, and its folder browser, COM and shortcuts still work.
//
// Wine's own late loads cannot serve as the trigger: its user32 loads
// uxtheme.dll while COMCTL32 starts, before the installer's code runs, and its
// builtin DLLs resolve their delayed imports (uxtheme.dll, msimg32.dll) through
// the search path the process started with, whatever SetDefaultDllDirectories
// said since. So the test makes the late load itself: a thread started in the
// installer's process calls LoadLibraryW with the bare name, as a delayed
// import or a system component does on Windows.
#include <windows.h>

#include <commctrl.h>
#include <psapi.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <gtest/gtest.h>

#include <string>

#include "ui_automation.h"

namespace {

const wchar_t kPlantedName[] = L"dwmapi.dll";
const wchar_t kPlantedOverride[] = L"dwmapi=n,b";
const DWORD kWaitMs = 20000;

// The setup dialog's controls.
const int kInstallButton = 99;
const int kLanguageList = 1010;
const int kDestinationEdit = 1032;
const int kBrowseButton = 1033;

// A path named by the environment, as Wine's Z: drive shows a Unix path.
std::wstring InputPath(const wchar_t* variable) {
  wchar_t value[2048] = {0};
  DWORD length = GetEnvironmentVariableW(variable, value, 2048);
  if (length == 0 || length >= 2048) return std::wstring();
  std::wstring path = value;
  if (path[0] != L'/') return path;
  for (wchar_t& c : path) {
    if (c == L'/') c = L'\\';
  }
  return L"Z:" + path;
}

std::string Utf8(const std::wstring& text) {
  int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &utf8[0], length, nullptr, nullptr);
  return utf8;
}

std::wstring Lower(std::wstring text) {
  if (!text.empty()) CharLowerBuffW(&text[0], static_cast<DWORD>(text.size()));
  return text;
}

bool PathPresent(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Programs started from here prefer a native DLL of the planted name, found
// along their search path, to Wine's builtin one.
void PreferNativePlantedDll() {
  wchar_t overrides[1024] = {0};
  DWORD length = GetEnvironmentVariableW(L"WINEDLLOVERRIDES", overrides, 1024);
  std::wstring value = length > 0 && length < 1024 ? std::wstring(overrides) + L";" : std::wstring();
  if (value.find(kPlantedOverride) == std::wstring::npos) value += kPlantedOverride;
  SetEnvironmentVariableW(L"WINEDLLOVERRIDES", value.c_str());
}

// Makes folder (one level below an existing one) with the planted DLL in it
// and no marker; returns the marker's path.
std::wstring PlantDll(const std::wstring& folder) {
  CreateDirectoryW(folder.c_str(), nullptr);
  std::wstring dll = folder + L"\\" + kPlantedName;
  std::wstring marker = dll + L".loaded";
  DeleteFileW(marker.c_str());
  EXPECT_TRUE(CopyFileW(InputPath(L"HARDENING_PLANTED_DLL").c_str(), dll.c_str(), FALSE))
      << "cannot plant " << Utf8(dll) << " (HARDENING_PLANTED_DLL)";
  return marker;
}

// What the planted DLL wrote when it was loaded: the loading program's path;
// empty when it never was.
std::wstring LoadedBy(const std::wstring& marker) {
  HANDLE file = CreateFileW(marker.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::wstring();
  wchar_t text[MAX_PATH + 1] = {0};
  DWORD read = 0;
  ReadFile(file, text, MAX_PATH * sizeof(wchar_t), &read, nullptr);
  CloseHandle(file);
  return text[0] != 0 ? std::wstring(text) : std::wstring(L"(a program)");
}

// Copies the input named by variable into folder under its own file name.
std::wstring CopyInto(const wchar_t* variable, const std::wstring& folder) {
  std::wstring source = InputPath(variable);
  std::wstring target = folder + source.substr(source.find_last_of(L'\\'));
  EXPECT_TRUE(CopyFileW(source.c_str(), target.c_str(), FALSE)) << "cannot copy " << Utf8(source);
  return target;
}

// A started program, ended at the end of the scope if it still runs.
struct Started {
  UiProcess process;
  ~Started() { UiRelease(&process); }
};

// Loads the DLL `name` by name inside another process, from a thread started
// there, and gives the path it was loaded from; false when the thread could
// not run or nothing was loaded.
bool LoadByNameInside(HANDLE process, const wchar_t* name, std::wstring* path) {
  path->clear();
  const SIZE_T bytes = (wcslen(name) + 1) * sizeof(wchar_t);
  void* remote = VirtualAllocEx(process, nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  if (remote == nullptr) return false;
  // kernel32 lies at the same address in every process of the session.
  LPTHREAD_START_ROUTINE loadLibrary = reinterpret_cast<LPTHREAD_START_ROUTINE>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "LoadLibraryW")));
  DWORD module = 0;
  HANDLE thread = nullptr;
  if (WriteProcessMemory(process, remote, name, bytes, nullptr)) {
    thread = CreateRemoteThread(process, nullptr, 0, loadLibrary, remote, 0, nullptr);
  }
  if (thread != nullptr) {
    if (WaitForSingleObject(thread, kWaitMs) == WAIT_OBJECT_0) GetExitCodeThread(thread, &module);
    CloseHandle(thread);
  }
  VirtualFreeEx(process, remote, 0, MEM_RELEASE);
  wchar_t loaded[MAX_PATH] = {0};
  if (module == 0 || !GetModuleFileNameExW(process, reinterpret_cast<HMODULE>(static_cast<uintptr_t>(module)), loaded,
                                           MAX_PATH)) {
    return false;
  }
  *path = loaded;
  return true;
}

// The folder browser the installer opened: its dialog with the folder tree.
HWND WaitFolderBrowser(DWORD processId) {
  for (DWORD waited = 0; waited < kWaitMs; waited += 50) {
    for (HWND window : UiTopWindows(processId, L"#32770")) {
      if (FindWindowExW(window, nullptr, WC_TREEVIEWW, nullptr) != nullptr) return window;
    }
    Sleep(50);
  }
  return nullptr;
}

std::wstring ShortcutTarget(const std::wstring& path) {
  std::wstring target;
  IShellLinkW* link = nullptr;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                              reinterpret_cast<void**>(&link)))) {
    return target;
  }
  IPersistFile* file = nullptr;
  if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
    wchar_t text[MAX_PATH] = {0};
    if (SUCCEEDED(file->Load(path.c_str(), STGM_READ)) && SUCCEEDED(link->GetPath(text, MAX_PATH, nullptr, 0))) {
      target = text;
    }
    file->Release();
  }
  link->Release();
  return target;
}

}  // namespace

// The premise: in this Wine, with this override, a program whose search order
// is the system's takes a DLL of that name from its own folder. Without it the
// installer's test below would pass whatever the installer did.
TEST(DllSearchOrder, ProgramThatKeepsTheSearchOrderTakesThePlantedDll) {
  PreferNativePlantedDll();
  const std::wstring folder = L"C:\\planted-beside-a-program";
  std::wstring marker = PlantDll(folder);
  std::wstring loader = CopyInto(L"HARDENING_LOADER", folder);
  Started run;
  ASSERT_TRUE(UiStart(loader, kPlantedName, &run.process));
  EXPECT_EQ(0, UiWaitExit(run.process, kWaitMs)) << "load-by-name loaded no " << Utf8(kPlantedName);
  EXPECT_EQ(Lower(loader), Lower(LoadedBy(marker)))
      << "Wine did not take the planted DLL from the program's folder: the premise of the installer's test is gone";
}

TEST(DllSearchOrder, InstallerLoadsByNameFromTheSystemFolderOnly) {
  PreferNativePlantedDll();
  const std::wstring folder = L"C:\\downloads";
  std::wstring marker = PlantDll(folder);
  std::wstring installer = CopyInto(L"HARDENING_INSTALLER", folder);
  Started run;
  ASSERT_TRUE(UiStart(installer, L"", &run.process));
  HWND dialog = UiWaitDialog(run.process.id, kLanguageList, kWaitMs);
  ASSERT_NE(nullptr, dialog) << "no setup dialog";

  std::wstring loaded;
  ASSERT_TRUE(LoadByNameInside(run.process.process, kPlantedName, &loaded)) << "no DLL loaded inside the installer";
  wchar_t system[MAX_PATH] = {0};
  GetSystemDirectoryW(system, MAX_PATH);
  EXPECT_EQ(Lower(std::wstring(system) + L"\\" + kPlantedName), Lower(loaded));
  EXPECT_EQ("", Utf8(LoadedBy(marker))) << "the planted DLL was loaded";

  // The folder browser opens at the destination's nearest existing folder
  // (found through the shell's COM objects) and hands back the folder picked.
  const std::wstring destination = L"C:\\hardening";
  CreateDirectoryW(destination.c_str(), nullptr);
  ASSERT_TRUE(UiSetText(dialog, kDestinationEdit, destination + L"\\Pebble Notes"));
  ASSERT_TRUE(UiPress(dialog, kBrowseButton));
  HWND browser = WaitFolderBrowser(run.process.id);
  ASSERT_NE(nullptr, browser) << "no folder browser";
  EXPECT_GT(SendMessageW(FindWindowExW(browser, nullptr, WC_TREEVIEWW, nullptr), TVM_GETCOUNT, 0, 0), 0)
      << "the folder tree is empty";
  ASSERT_TRUE(UiPress(browser, IDOK));
  ASSERT_TRUE(UiWaitGone(browser, 5000));
  EXPECT_EQ(Utf8(destination), Utf8(UiControlText(dialog, kDestinationEdit)));

  // The installation makes its shortcuts through COM.
  ASSERT_TRUE(UiPress(dialog, kInstallButton));
  UiMessageBox box;
  ASSERT_TRUE(UiWaitMessageBox(run.process.id, kLanguageList, kWaitMs, &box)) << "no message after Install";
  EXPECT_EQ("Pebble Notes has been successfully installed.", Utf8(box.text));
  ASSERT_TRUE(UiAnswerMessageBox(box, IDOK));
  EXPECT_EQ(0, UiWaitExit(run.process, kWaitMs));
  EXPECT_TRUE(PathPresent(destination + L"\\Pebble.exe"));
  wchar_t programs[MAX_PATH] = {0};
  ASSERT_TRUE(SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_COMMON_PROGRAMS, nullptr, SHGFP_TYPE_CURRENT, programs)));
  CoInitialize(nullptr);
  EXPECT_EQ(Utf8(destination + L"\\Pebble.exe"),
            Utf8(ShortcutTarget(std::wstring(programs) + L"\\Pebble Notes\\Pebble Notes.lnk")));
  CoUninitialize();
  EXPECT_EQ("", Utf8(LoadedBy(marker))) << "the planted DLL was loaded";
}
