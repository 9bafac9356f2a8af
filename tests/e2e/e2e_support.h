// What the end-to-end tests share: their inputs, the sample product they
// install and the texts they expect, one run of an installer driven from
// outside (automation/ui_automation.h), and readers for what an installation
// leaves on the machine: files and their times, registry values, shortcuts.
//
// The tests run inside the Wine prefix they inspect (run-scenario.sh gives
// each scenario a fresh copy), so the registry and the special folders they
// read are the installer's own.
#pragma once

#include <windows.h>

#include <stdint.h>

#include <ostream>
#include <string>
#include <vector>

#include "ui_automation.h"

// Inputs named by the environment (see CMakeLists.txt), as Windows paths.
struct E2eInputs {
  std::wstring sampleInstaller;  // PebbleSetup.exe, the sample product
  std::wstring sampleEntries;    // the list it was packed from: stored name TAB source
  std::wstring tinyInstaller;    // a product of one file holding one byte
  std::wstring classWindow;      // class_window.exe
  std::wstring screenshots;      // folder for the pictures of the dialog
  std::wstring work;             // scratch folder inside the prefix
};
const E2eInputs& E2e();

// A Unix path as Wine's Z: drive shows it; any other path unchanged.
std::wstring E2eWindowsPath(std::wstring path);

// The sample product, as examples/sample-product/CMakeLists.txt packs it.
extern const wchar_t kSampleName[];         // "Pebble Notes"
extern const wchar_t kSampleVersion[];      // "1.2"
extern const wchar_t kSampleCode[];         // product code, the stored destination's value name
extern const wchar_t kSampleMainProgram[];  // "Pebble.exe"
extern const wchar_t kSampleWindowClass[];
extern const wchar_t kSampleUninstaller[];  // "UnInst.exe"

struct SampleEntry {
  std::wstring storedName;  // as in the payload, may hold a folder
  std::wstring source;      // the file it was packed from
  std::wstring installedName() const;  // the last component: the installer drops folders
};
std::vector<SampleEntry> SampleEntries();

// The installer's own texts in one interface language.
struct InterfaceTexts {
  const char* language;  // "en", "de", "it": names the screenshots
  const wchar_t* setup;  // dialog caption before the product name and version
  const wchar_t* install;
  const wchar_t* cancel;
  const wchar_t* listHeader;
  const wchar_t* destination;
  const wchar_t* startMenu;
  const wchar_t* desktop;
  const wchar_t* quickLaunch;
  const wchar_t* english;  // the built-in list items
  const wchar_t* german;
  const wchar_t* broken;   // the broken-file message
  const wchar_t* success;  // appended to the product name
};
extern const InterfaceTexts kEnglish, kGerman, kItalian;

// The setup dialog's controls.
enum SetupControl : int {
  kInstallButton = 99,
  kCancelButton = 2,
  kTitleLine = 1001,
  kLanguageList = 1010,
  kDestinationLabel = 1031,
  kDestinationEdit = 1032,
  kBrowseButton = 1033,
  kStartMenuBox = 1041,
  kDesktopBox = 1042,
  kQuickLaunchBox = 1043,
  kStatusLine = 1047,
};
// The language list's popup menu, top to bottom.
enum LanguageMenuItem : int { kMenuSelectAll = 0, kMenuDeselectAll = 1, kMenuInvert = 2 };

// One run of an installer; a program still running at the end of the scope is
// ended (a failed test must not leave it to the next one).
class InstallerRun {
 public:
  explicit InstallerRun(const std::wstring& installer);
  ~InstallerRun();
  InstallerRun(const InstallerRun&) = delete;
  InstallerRun& operator=(const InstallerRun&) = delete;

  bool started() const { return process_.process != nullptr; }
  bool running() const { return UiWaitExit(process_, 0) == -1; }
  DWORD id() const { return process_.id; }
  HWND WaitDialog();                       // the visible setup dialog, or null
  bool WaitMessage(UiMessageBox* box);     // a message box of the installer
  long WaitExit();                         // exit code, or -1 when it does not end

 private:
  UiProcess process_;
};

// A language list item as the tests compare them: text, code, check mark.
struct LanguageItem {
  std::wstring text;
  std::wstring code;  // the item value's two letters
  bool checked;
  bool operator==(const LanguageItem& other) const {
    return text == other.text && code == other.code && checked == other.checked;
  }
};
void PrintTo(const LanguageItem& item, std::ostream* out);
std::vector<LanguageItem> LanguageItems(HWND dialog);

// Saves a picture of the windows as screenshots\name (a PNG).
void Screenshot(const std::vector<HWND>& windows, const std::string& name);

// Registry: the value's text, or false when the key or value is missing or not REG_SZ.
bool RegistryString(HKEY root, const wchar_t* key, const wchar_t* value, std::wstring* text);
bool RegistryKeyExists(HKEY root, const wchar_t* key);
extern const wchar_t kStoredDestinationKey[];  // under HKEY_CURRENT_USER
std::wstring UninstallKey(const std::wstring& productName);  // under HKEY_LOCAL_MACHINE
std::wstring ProgramFilesDir();

// Special folders and the Quick Launch folder (which Wine does not make).
std::wstring SpecialFolder(int csidl);
std::wstring QuickLaunchFolder();

struct Shortcut {
  bool loaded = false;
  std::wstring target;
  std::wstring workingDirectory;
  std::wstring arguments;
  std::wstring description;
  int showCommand = 0;  // as stored in the file's header
};
Shortcut ReadShortcut(const std::wstring& path);

bool PathPresent(const std::wstring& path);
std::vector<uint8_t> ReadBytes(const std::wstring& path);
void WriteBytes(const std::wstring& path, const std::vector<uint8_t>& bytes);
// Last-write time as 100 ns units since 1601 (UTC); 0 when unreadable.
uint64_t WriteTime(const std::wstring& path);
// The time every installed file gets: the archive date at noon, local time.
uint64_t SampleArchiveTime();

// UTF-8, for failure messages.
std::string Utf8(const std::wstring& text);

// The system's text for a Win32 error code, as FormatMessage gives it.
std::wstring SystemErrorText(DWORD code);

// The offset of the payload's magic in an installer's bytes, or 0.
size_t PayloadOffset(const std::vector<uint8_t>& installer);

// Checks shared by the scenarios (GoogleTest expectations).

// Caption, title line, buttons, label, boxes and list header in that language.
void ExpectDialogTexts(HWND dialog, const InterfaceTexts& texts);
// The title line's letters stand clearly taller than the label's (the title
// font's description cannot be read from another process under Wine).
void ExpectLargeTitleFont(HWND dialog);
// No destination folder, stored destination, uninstall entry, program group or
// desktop shortcut of the sample product.
void ExpectNothingInstalled(const std::wstring& destination);
// Every sample file in destination under its installed name with the packed
// bytes and the archive time, but for those named in `skipped`, which the
// caller checks itself.
void ExpectSampleFiles(const std::wstring& destination, const std::vector<std::wstring>& skipped);
// Presses Install and expects the success message for the product in that
// language (its picture saved as `shot` when given), answers it, and expects
// the installer to end with exit code 0.
void InstallAndExpectSuccess(InstallerRun* run, HWND dialog, const std::wstring& productName,
                             const InterfaceTexts& texts, const std::string& shot = std::string());
