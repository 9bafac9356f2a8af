#include "e2e_support.h"

#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <stdio.h>

#include <gtest/gtest.h>

#include "archive/payload_format.h"

const wchar_t kSampleName[] = L"Pebble Notes";
const wchar_t kSampleVersion[] = L"1.2";
const wchar_t kSampleCode[] = L"PBN";
const wchar_t kSampleMainProgram[] = L"Pebble.exe";
const wchar_t kSampleWindowClass[] = L"PebbleNotesWindow";
const wchar_t kSampleUninstaller[] = L"UnInst.exe";
const wchar_t kStoredDestinationKey[] = L"Software\\Halvorn";

// What a person sees. Letters beyond ASCII are written as escapes, so this
// file's encoding cannot change them.
const InterfaceTexts kEnglish = {
    "en", L"Setup", L"&OK", L"Cancel", L"Language", L"Destination folder", L"Put entry to Start Menu",
    L"Create a Desktop icon", L"Create a Quick Launch icon", L"English", L"German",
    L"Broken file, please download again.", L" has been successfully installed."};
const InterfaceTexts kGerman = {
    "de", L"Installation", L"&OK", L"Abbruch", L"Sprache", L"Zielpfad:", L"Programmgruppe erstellen",
    L"Desktop-Symbol anlegen", L"Symbol in der Schnellstartleiste anlegen", L"Englisch", L"Deutsch",
    L"Die Datei ist besch\u00e4digt, bitte nochmal herunterladen!", L" wurde erfolgreich installiert."};
const InterfaceTexts kItalian = {
    "it", L"Installazione", L"&OK", L"Annulla", L"Lingua", L"Destinazione",
    L"Aggiungi collegamento nel menu Programmi", L"Aggiungi collegamento sul desktop",
    L"Aggiungi collegamento sulla barra di Avvio veloce", L"English", L"German",
    L"File danneggiato, esegui di nuovo il download.", L" \u00e8 stato installato correttamente."};

namespace {

const DWORD kDialogWaitMs = 20000;
const DWORD kExitWaitMs = 20000;

std::wstring EnvironmentPath(const wchar_t* name) {
  wchar_t value[2048] = {0};
  DWORD length = GetEnvironmentVariableW(name, value, 2048);
  if (length == 0 || length >= 2048) return std::wstring();
  return E2eWindowsPath(value);
}

std::wstring Utf8ToWide(const std::string& text) {
  int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &wide[0], length);
  return wide;
}

}  // namespace

std::wstring E2eWindowsPath(std::wstring path) {
  if (path.empty() || path[0] != L'/') return path;  // already a Windows path
  for (wchar_t& c : path) {
    if (c == L'/') c = L'\\';
  }
  return L"Z:" + path;
}

const E2eInputs& E2e() {
  static E2eInputs inputs;
  static bool read = false;
  if (!read) {
    read = true;
    inputs.sampleInstaller = EnvironmentPath(L"E2E_SAMPLE_INSTALLER");
    inputs.sampleEntries = EnvironmentPath(L"E2E_SAMPLE_ENTRIES");
    inputs.tinyInstaller = EnvironmentPath(L"E2E_TINY_INSTALLER");
    inputs.classWindow = EnvironmentPath(L"E2E_CLASS_WINDOW");
    inputs.screenshots = EnvironmentPath(L"E2E_SCREENSHOTS");
    inputs.work = L"C:\\e2e";
    CreateDirectoryW(inputs.work.c_str(), nullptr);
  }
  return inputs;
}

std::wstring SampleEntry::installedName() const {
  size_t slash = storedName.find_last_of(L"\\/");
  return slash == std::wstring::npos ? storedName : storedName.substr(slash + 1);
}

std::vector<SampleEntry> SampleEntries() {
  std::vector<SampleEntry> entries;
  std::vector<uint8_t> bytes = ReadBytes(E2e().sampleEntries);
  std::string text(bytes.begin(), bytes.end());
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    size_t tab = line.find('\t');
    if (tab != std::string::npos) {
      SampleEntry entry;
      entry.storedName = Utf8ToWide(line.substr(0, tab));
      entry.source = E2eWindowsPath(Utf8ToWide(line.substr(tab + 1)));
      entries.push_back(entry);
    }
    start = end + 1;
  }
  return entries;
}

InstallerRun::InstallerRun(const std::wstring& installer) { UiStart(installer, L"", &process_); }

InstallerRun::~InstallerRun() { UiRelease(&process_); }

HWND InstallerRun::WaitDialog() { return UiWaitDialog(process_.id, kLanguageList, kDialogWaitMs); }

bool InstallerRun::WaitMessage(UiMessageBox* box) {
  return UiWaitMessageBox(process_.id, kLanguageList, kDialogWaitMs, box);
}

long InstallerRun::WaitExit() { return UiWaitExit(process_, kExitWaitMs); }

void PrintTo(const LanguageItem& item, std::ostream* out) {
  *out << (item.checked ? "[x] " : "[ ] ") << Utf8(item.text + L" (" + item.code + L")");
}

std::vector<LanguageItem> LanguageItems(HWND dialog) {
  std::vector<UiListItem> read;
  std::vector<LanguageItem> items;
  EXPECT_TRUE(UiListItems(GetDlgItem(dialog, kLanguageList), &read)) << "the language list cannot be read";
  for (const UiListItem& item : read) {
    std::wstring code;
    for (int shift = 0; shift < 32; shift += 8) {
      wchar_t c = static_cast<wchar_t>((item.value >> shift) & 0xFF);
      if (c != 0) code += c;
    }
    items.push_back({item.text, code, item.stateImage == 2});
  }
  return items;
}

void Screenshot(const std::vector<HWND>& windows, const std::string& name) {
  std::wstring path = E2e().screenshots + L"\\" + std::wstring(name.begin(), name.end());
  EXPECT_TRUE(UiCaptureWindows(windows, path)) << "screenshot " << name;
}

bool RegistryString(HKEY root, const wchar_t* key, const wchar_t* value, std::wstring* text) {
  text->clear();
  HKEY opened = nullptr;
  if (RegOpenKeyExW(root, key, 0, KEY_READ, &opened) != ERROR_SUCCESS) return false;
  wchar_t buffer[2048] = {0};
  DWORD type = 0, size = sizeof(buffer) - sizeof(wchar_t);
  LONG result = RegQueryValueExW(opened, value, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
  RegCloseKey(opened);
  if (result != ERROR_SUCCESS || type != REG_SZ) return false;
  *text = buffer;
  return true;
}

bool RegistryKeyExists(HKEY root, const wchar_t* key) {
  HKEY opened = nullptr;
  if (RegOpenKeyExW(root, key, 0, KEY_READ, &opened) != ERROR_SUCCESS) return false;
  RegCloseKey(opened);
  return true;
}

std::wstring UninstallKey(const std::wstring& productName) {
  return L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + productName;
}

std::wstring ProgramFilesDir() {
  std::wstring folder;
  RegistryString(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion", L"ProgramFilesDir", &folder);
  return folder;
}

std::wstring SpecialFolder(int csidl) {
  wchar_t path[MAX_PATH] = {0};
  if (FAILED(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path))) return std::wstring();
  return path;
}

std::wstring QuickLaunchFolder() {
  return SpecialFolder(CSIDL_APPDATA) + L"\\Microsoft\\Internet Explorer\\Quick Launch";
}

Shortcut ReadShortcut(const std::wstring& path) {
  Shortcut shortcut;
  if (!PathPresent(path)) return shortcut;
  CoInitialize(nullptr);
  IShellLinkW* link = nullptr;
  if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                 reinterpret_cast<void**>(&link)))) {
    IPersistFile* file = nullptr;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
      if (SUCCEEDED(file->Load(path.c_str(), STGM_READ))) {
        wchar_t text[1024] = {0};
        shortcut.loaded = true;
        if (SUCCEEDED(link->GetPath(text, 1024, nullptr, SLGP_RAWPATH))) shortcut.target = text;
        text[0] = 0;
        if (SUCCEEDED(link->GetWorkingDirectory(text, 1024))) shortcut.workingDirectory = text;
        text[0] = 0;
        if (SUCCEEDED(link->GetArguments(text, 1024))) shortcut.arguments = text;
        text[0] = 0;
        if (SUCCEEDED(link->GetDescription(text, 1024))) shortcut.description = text;
      }
      file->Release();
    }
    link->Release();
  }
  CoUninitialize();
  // The show command as stored: readers of the format (Wine's among them) turn
  // anything but 1, 3 and 7 into 1, so the loaded link cannot tell.
  std::vector<uint8_t> bytes = ReadBytes(path);
  const size_t kShowCommandOffset = 0x3C;
  if (bytes.size() >= kShowCommandOffset + 4) {
    shortcut.showCommand = bytes[kShowCommandOffset] | (bytes[kShowCommandOffset + 1] << 8) |
                           (bytes[kShowCommandOffset + 2] << 16) | (bytes[kShowCommandOffset + 3] << 24);
  }
  return shortcut;
}

bool PathPresent(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::vector<uint8_t> ReadBytes(const std::wstring& path) {
  std::vector<uint8_t> bytes;
  FILE* file = _wfopen(path.c_str(), L"rb");
  if (file == nullptr) return bytes;
  uint8_t chunk[65536];
  size_t count;
  while ((count = fread(chunk, 1, sizeof(chunk), file)) > 0) bytes.insert(bytes.end(), chunk, chunk + count);
  fclose(file);
  return bytes;
}

void WriteBytes(const std::wstring& path, const std::vector<uint8_t>& bytes) {
  FILE* file = _wfopen(path.c_str(), L"wb");
  ASSERT_NE(file, nullptr) << "cannot write a test file";
  EXPECT_EQ(bytes.size(), fwrite(bytes.data(), 1, bytes.size(), file));
  fclose(file);
}

uint64_t WriteTime(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
  return (static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime;
}

uint64_t SampleArchiveTime() {
  SYSTEMTIME noon = {2021, 6, 0, 15, 12, 0, 0, 0};  // --date of the sample's pack
  FILETIME local, utc;
  if (!SystemTimeToFileTime(&noon, &local) || !LocalFileTimeToFileTime(&local, &utc)) return 0;
  return (static_cast<uint64_t>(utc.dwHighDateTime) << 32) | utc.dwLowDateTime;
}

std::string Utf8(const std::wstring& text) {
  int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &utf8[0], length, nullptr, nullptr);
  return utf8;
}

std::wstring SystemErrorText(DWORD code) {
  wchar_t* text = nullptr;
  DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM, nullptr, code,
                                MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<wchar_t*>(&text), 0,
                                nullptr);
  std::wstring result = length != 0 && text != nullptr ? std::wstring(text, length) : std::wstring();
  if (text != nullptr) LocalFree(text);
  return result;
}

size_t PayloadOffset(const std::vector<uint8_t>& installer) {
  for (size_t i = kPayloadSearchStart; i + kPayloadMagicSize <= installer.size(); ++i) {
    bool match = true;
    for (uint32_t k = 0; k < kPayloadMagicSize && match; ++k) match = installer[i + k] == PayloadMagicByte(k);
    if (match) return i;
  }
  return 0;
}

void ExpectDialogTexts(HWND dialog, const InterfaceTexts& texts) {
  EXPECT_EQ(std::wstring(texts.setup) + L" " + kSampleName + L" " + kSampleVersion, UiText(dialog));
  EXPECT_EQ(std::wstring(kSampleName) + L" " + kSampleVersion, UiControlText(dialog, kTitleLine));
  EXPECT_EQ(texts.install, UiControlText(dialog, kInstallButton));
  EXPECT_EQ(texts.cancel, UiControlText(dialog, kCancelButton));
  EXPECT_EQ(texts.destination, UiControlText(dialog, kDestinationLabel));
  EXPECT_EQ(L"...", UiControlText(dialog, kBrowseButton));
  EXPECT_EQ(texts.startMenu, UiControlText(dialog, kStartMenuBox));
  EXPECT_EQ(texts.desktop, UiControlText(dialog, kDesktopBox));
  EXPECT_EQ(texts.quickLaunch, UiControlText(dialog, kQuickLaunchBox));
  EXPECT_EQ(texts.listHeader, UiListColumnText(GetDlgItem(dialog, kLanguageList), 0));
  EXPECT_EQ(L"", UiControlText(dialog, kStatusLine));
}

void ExpectLargeTitleFont(HWND dialog) {
  UiFont title = UiControlFont(dialog, kTitleLine);
  EXPECT_FALSE(title.system) << "the title line has no font of its own";
  if (title.described) {  // on Windows the description can be read
    EXPECT_EQ(L"MS Sans Serif", title.face);
    EXPECT_LT(title.height, -20);
  }
  // 18 points against the dialog's 8: about twice as tall, whatever the face.
  int titleInk = UiInkHeight(dialog, kTitleLine), labelInk = UiInkHeight(dialog, kDestinationLabel);
  EXPECT_GT(labelInk, 4);
  EXPECT_GE(titleInk * 10, labelInk * 16) << "title letters " << titleInk << " px, label letters " << labelInk
                                          << " px";
}

void ExpectNothingInstalled(const std::wstring& destination) {
  std::wstring stored;
  EXPECT_FALSE(PathPresent(destination)) << "the destination folder was made";
  EXPECT_FALSE(RegistryString(HKEY_CURRENT_USER, kStoredDestinationKey, kSampleCode, &stored))
      << "a destination was stored";
  EXPECT_FALSE(RegistryKeyExists(HKEY_LOCAL_MACHINE, UninstallKey(kSampleName).c_str())) << "uninstall entry";
  EXPECT_FALSE(PathPresent(SpecialFolder(CSIDL_COMMON_PROGRAMS) + L"\\" + kSampleName)) << "program group";
  EXPECT_FALSE(PathPresent(SpecialFolder(CSIDL_DESKTOPDIRECTORY) + L"\\" + kSampleName + L".lnk"))
      << "desktop shortcut";
}

void ExpectSampleFiles(const std::wstring& destination, const std::vector<std::wstring>& skipped) {
  std::vector<SampleEntry> entries = SampleEntries();
  ASSERT_EQ(7u, entries.size()) << "entries.txt of the sample product";
  uint64_t archiveTime = SampleArchiveTime();
  for (const SampleEntry& entry : entries) {
    std::wstring path = destination + L"\\" + entry.installedName();
    SCOPED_TRACE(Utf8(path));
    bool skip = false;
    for (const std::wstring& name : skipped) skip = skip || name == entry.installedName();
    if (skip) continue;
    ASSERT_TRUE(PathPresent(path)) << "not installed";
    EXPECT_TRUE(ReadBytes(entry.source) == ReadBytes(path)) << "installed bytes differ from the packed file";
    EXPECT_EQ(archiveTime, WriteTime(path)) << "file time is not the archive date at noon";
  }
  // Folders inside stored names are dropped.
  EXPECT_FALSE(PathPresent(destination + L"\\Docs"));
}

void InstallAndExpectSuccess(InstallerRun* run, HWND dialog, const std::wstring& productName,
                             const InterfaceTexts& texts, const std::string& shot) {
  std::wstring caption = UiText(dialog);
  ASSERT_TRUE(UiPress(dialog, kInstallButton));
  UiMessageBox box;
  ASSERT_TRUE(run->WaitMessage(&box)) << "no message after Install";
  EXPECT_EQ(productName + texts.success, box.text);
  EXPECT_EQ(caption, box.caption);
  EXPECT_TRUE(box.hasIcon);
  if (!shot.empty()) Screenshot({box.window}, shot);
  EXPECT_TRUE(UiAnswerMessageBox(box, IDOK));
  EXPECT_EQ(0, run->WaitExit());
}

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  const E2eInputs& inputs = E2e();
  if (inputs.sampleInstaller.empty() || inputs.sampleEntries.empty() || inputs.tinyInstaller.empty() ||
      inputs.classWindow.empty() || inputs.screenshots.empty()) {
    fprintf(stderr, "e2e_tests: run through run-scenario.sh, which names the inputs (E2E_* variables)\n");
    return 2;
  }
  return RUN_ALL_TESTS();
}
