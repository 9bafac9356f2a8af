// The install steps against the registry, special folders and shell links of
// this system: what an install writes and records, where it proposes to install,
// and how it shows a system error.
#include "install/install_sequence.h"

#include <gtest/gtest.h>
#include <shlobj.h>
#include <string.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "install/shortcuts.h"
#include "install/stored_destination.h"
#include "install/system_error.h"
#include "shell/scan_handler.h"
#include "shell/shell_test_util.h"
#include "text/bounded_text.h"
#include "text/product_description.h"
#include "ui/messages.h"

namespace fs = std::filesystem;

namespace {

const wchar_t kUninstallKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Zq Test Tool";
const wchar_t kMakerKey[] = L"" SETUP_MAKER_KEY;  // as the build configured it

// A REG_SZ value stored with its terminator as its text, "(none)", or "(type, bytes)" for anything else.
std::string Registry(HKEY root, const wchar_t* key, const wchar_t* name) {
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

fs::path SpecialFolder(int csidl) {
  wchar_t path[MAX_PATH] = {0};
  SHGetFolderPathW(nullptr, csidl, nullptr, 0, path);
  return fs::path(path);
}

// The message boxes asked for through a MessageFunction, as "caption: text [type]".
std::vector<std::string> g_boxes;

int RecordBox(HWND, const char16_t* text, const char16_t* captionPath, UINT type) {
  g_boxes.push_back(TestUtf8(MessageCaption(captionPath)) + ": " + TestUtf8(text) + " [" + std::to_string(type) + "]");
  return IDOK;
}

const std::vector<EntryStreamEntry> kProduct = {
    {"FILE_ID.DIZ", TestBytes("Zq Test Tool Version 1.0\r\n")},
    {"Docs\\Readme.txt", TestBytes("read me")},
    {"Bin\\Editor.exe", TestBytes("MZ editor")},
    {"Extra.exe", TestBytes("MZ extra")},
    {"UnInst.exe", TestBytes("MZ uninstall")},
    {"Lang\\Zq_FR.LNG", TestBytes("[Language=Fran\xE7" "ais")},
};

// "target | working directory" of a shell link.
std::string ReadShortcut(const fs::path& path) {
  IShellLinkW* link = nullptr;
  IPersistFile* file = nullptr;
  wchar_t target[MAX_PATH] = L"(none)", folder[MAX_PATH] = {0};
  if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                 reinterpret_cast<void**>(&link))) &&
      SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
      SUCCEEDED(file->Load(path.c_str(), STGM_READ))) {
    link->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH);
    link->GetWorkingDirectory(folder, MAX_PATH);
  }
  if (file != nullptr) file->Release();
  if (link != nullptr) link->Release();
  return TestUtf8(AsUtf16(target)) + " | " + TestUtf8(AsUtf16(folder));
}

// A hidden setup dialog over an installer of product code ZQT, scanned as the real
// dialog does, with the Quick Launch folder made; whatever an install records is
// removed at the end, and the folder put back as it was.
struct InstallScope : TestDialog {
  ComScope com;
  SavedRegistryValue stored{HKEY_CURRENT_USER, kMakerKey, L"ZQT"};
  std::string destination = TestTempDir() + "\\Zq";
  fs::path desktopLink = SpecialFolder(CSIDL_DESKTOPDIRECTORY) / "Zq Test Tool.lnk";
  fs::path group = SpecialFolder(CSIDL_COMMON_PROGRAMS) / "Zq Test Tool";
  fs::path quickLaunch = SpecialFolder(CSIDL_APPDATA) / "Microsoft" / "Internet Explorer" / "Quick Launch";
  fs::path savedQuickLaunch = quickLaunch.parent_path() / "Quick Launch (saved by test)";

  explicit InstallScope(const std::vector<EntryStreamEntry>& entries, const char* mainProgram = "") {
    if (fs::exists(quickLaunch)) fs::rename(quickLaunch, savedQuickLaunch);
    fs::create_directories(quickLaunch);
    std::string installer = TestInstaller({"ZQT", "", mainProgram}, entries);
    CopyWide(TestWidePath(installer).c_str(), context.modulePath, 1024);
    context.moduleFile = PlatformCreateFile(context.modulePath, false);
    PrepareLanguageList(List());
    EXPECT_EQ(0, ScanPass(dialog));
    stored.Set(nullptr);
    SetDestination(destination);
  }
  ~InstallScope() {
    PlatformCloseHandle(context.moduleFile);
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, kUninstallKey);
    RemoveLinks();
    std::error_code ignored;
    fs::remove_all(quickLaunch, ignored);
    if (fs::exists(savedQuickLaunch)) fs::rename(savedQuickLaunch, quickLaunch, ignored);
  }

  void SetDestination(const std::string& path) { SetDlgItemTextW(dialog, kDestinationEditId, AsWide(TestWidePath(path).c_str())); }
  int Install(int boxes) {
    for (int i = 0; i < 3; ++i) CheckDlgButton(dialog, kStartMenuBoxId + i, (boxes >> i) & 1 ? BST_CHECKED : BST_UNCHECKED);
    g_boxes.clear();
    return RunInstallWith(dialog, RecordBox);
  }
  // What the install recorded: "stored | uninstaller | icon | links made", with "-" for a missing link.
  std::string Recorded() const {
    return Registry(HKEY_CURRENT_USER, kMakerKey, L"ZQT") + " | " +
           Registry(HKEY_LOCAL_MACHINE, kUninstallKey, L"UninstallString") + " | " +
           Registry(HKEY_LOCAL_MACHINE, kUninstallKey, L"DisplayIcon") + " | " +
           (fs::exists(group / "Zq Test Tool.lnk") ? "group" : "-") + (fs::exists(desktopLink) ? " desktop" : " -") +
           (fs::exists(quickLaunch / "Zq Test Tool.lnk") ? " quick" : " -");
  }
  void RemoveLinks() {
    std::error_code ignored;
    fs::remove_all(group, ignored);
    fs::remove(desktopLink, ignored);
    fs::remove(quickLaunch / "Zq Test Tool.lnk", ignored);
  }
};

// The first g_faultingLinks link objects made are a broken extension's: each of
// their methods writes through a null pointer. The rest are the shell's own.
int g_faultingLinks = 0;
int* volatile g_nowhere = nullptr;
void WriteThroughNull() { *g_nowhere = 1; }

HRESULT FaultingLinksFirst(IShellLinkW** link) {
  static void* methods[32];
  static void* object = methods;
  if (g_faultingLinks-- <= 0) {
    return CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                            reinterpret_cast<void**>(link));
  }
  std::fill(std::begin(methods), std::end(methods), reinterpret_cast<void*>(WriteThroughNull));
  *link = reinterpret_cast<IShellLinkW*>(&object);
  return S_OK;
}

// The system's text for an error, as the message shows it.
std::string SystemText(uint32_t code) {
  char16_t buffer[512] = u"stale";
  SystemMessageText(code, buffer, 512);
  return TestUtf8(buffer);
}

}  // namespace

TEST(RunInstall, EachBoxMakesOnlyItsOwnLink) {
  InstallScope s(kProduct);
  const std::string d = s.destination;
  const char* kLinks[] = {"- - -", "group - -", "- desktop -", "- - quick"};
  for (int box = 0; box < 4; ++box) {
    EXPECT_EQ(0, s.Install(box ? 1 << (box - 1) : 0));
    EXPECT_EQ(d + " | \"" + d + "\\UnInst.exe\" | " + d + "\\Editor.exe | " + kLinks[box], s.Recorded());
    if (box < 3) s.RemoveLinks();
  }
  EXPECT_EQ(d + "\\Editor.exe | " + d, ReadShortcut(s.quickLaunch / "Zq Test Tool.lnk"));

  // The program group is made only where its folder is new: a later install leaves the folder alone.
  EXPECT_EQ(0, s.Install(1));
  EXPECT_EQ(d + "\\UnInst.exe | " + d, ReadShortcut(s.group / "Uninstall.lnk"));
  fs::remove(s.group / "Uninstall.lnk");
  EXPECT_EQ(0, s.Install(1));
  EXPECT_FALSE(fs::exists(s.group / "Uninstall.lnk"));
}

// A fault inside the shell's link object ends that shortcut only: the next ones
// are written and the install reports success.
TEST(RunInstall, AFaultingLinkObjectCostsOnlyItsShortcut) {
  InstallScope s(kProduct);
  const std::string d = s.destination;
  SetShellLinkFactory(FaultingLinksFirst);
  for (int faulting : {1, 3}) {
    s.RemoveLinks();
    g_faultingLinks = faulting;
    EXPECT_EQ(0, s.Install(7)) << faulting;
    EXPECT_EQ(faulting == 1 ? "- desktop quick" : "- - quick", s.Recorded().substr(s.Recorded().rfind(" | ") + 3));
    EXPECT_EQ(faulting == 1, fs::exists(s.group / "Uninstall.lnk"));
    ASSERT_EQ(1u, g_boxes.size());
    EXPECT_EQ("Zq Test Tool has been successfully installed. [64]", g_boxes[0].substr(g_boxes[0].find(": ") + 2));
  }
  SetShellLinkFactory(nullptr);
}

TEST(RunInstall, OlderPsapiSetAsideAndTheIdentityNamesTheMainProgram) {
  std::vector<EntryStreamEntry> entries = kProduct;
  entries.push_back({"Sys\\PSAPI.DLL", TestBytes("new psapi")});
  InstallScope s(entries, "Extra.exe");
  std::string d = s.destination;
  fs::create_directories(TestWidePath(d));
  TestWriteFile(d + "\\PSAPI.DLL", TestBytes("old psapi"));
  // The uninstall entry's values are rewritten one by one; others stay, but a
  // quiet command this uninstaller (no trailer) cannot take goes.
  RegSetKeyValueW(HKEY_LOCAL_MACHINE, kUninstallKey, L"Comments", REG_SZ, L"12", 6);
  RegSetKeyValueW(HKEY_LOCAL_MACHINE, kUninstallKey, L"QuietUninstallString", REG_SZ, L"x", 4);
  SetLanguageItemCheck(s.List(), FindLanguageItem(s.List(), LanguageCode4FromNarrow("FR")), kLanguageUnchecked);
  s.SetDestination(d + "\\");  // stored as typed
  EXPECT_EQ(0, s.Install(2));
  std::vector<uint8_t> old = TestReadFile(d + "\\HVPSAPI.DLL"), now = TestReadFile(d + "\\PSAPI.DLL");
  EXPECT_EQ("old psapi|new psapi", std::string(old.begin(), old.end()) + "|" + std::string(now.begin(), now.end()));
  EXPECT_FALSE(fs::exists(TestWidePath(d + "\\Zq_FR.LNG")));
  EXPECT_EQ(d + "\\ | \"" + d + "\\UnInst.exe\" | " + d + "\\Extra.exe | - desktop -", s.Recorded());
  EXPECT_EQ("12", Registry(HKEY_LOCAL_MACHINE, kUninstallKey, L"Comments"));
  EXPECT_EQ("(none)", Registry(HKEY_LOCAL_MACHINE, kUninstallKey, L"QuietUninstallString"));
  EXPECT_EQ(d + "\\ | (4, 4) | (4, 4)", Registry(HKEY_LOCAL_MACHINE, kUninstallKey, L"InstallLocation") + " | " +
                                         Registry(HKEY_LOCAL_MACHINE, kUninstallKey, L"EstimatedSize") + " | " +
                                         Registry(HKEY_LOCAL_MACHINE, kUninstallKey, L"NoRepair"));
  EXPECT_EQ(d + "\\Extra.exe | " + d, ReadShortcut(s.desktopLink));
}

TEST(RunInstall, StepsNeedTheirFilesAndAFailedPassRecordsNothing) {
  {
    InstallScope s({kProduct[0], kProduct[4]}, "..\\UnInst.exe");  // a main program with a folder is none
    EXPECT_EQ(0, s.Install(7));
    EXPECT_EQ(s.destination + " | \"" + s.destination + "\\UnInst.exe\" |  | - - -", s.Recorded());
    // Without a product name the entry's values would land in the Uninstall key itself.
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, kUninstallKey);
    s.context.productName[0] = 0;
    EXPECT_EQ(0, s.Install(7));
    EXPECT_EQ("(none)", Registry(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall",
                                     L"UninstallString"));
  }
  {
    InstallScope s({kProduct[0], kProduct[2]});  // no uninstaller
    EXPECT_EQ(0, s.Install(7));
    EXPECT_EQ(s.destination + " | (none) | (none) | group desktop quick", s.Recorded());
  }
  // Every path too long: nothing is written, the system's text for it shows and nothing is recorded.
  InstallScope s(kProduct);
  std::string root = TestTempDir();
  s.SetDestination(root + "\\" + std::string(1015 - root.size() - 1, 'd'));
  EXPECT_EQ(206, s.Install(7));
  EXPECT_EQ(std::vector<std::string>{"setup.exe: " + SystemText(206) + " [16]"}, g_boxes);
  EXPECT_EQ("(none) | (none) | (none) | - - -", s.Recorded());
}

TEST(SystemError, InsertionMarksStayAndACodeWithoutTextShowsNoBox) {
  // Filling "%1" would read arguments that were never passed.
  EXPECT_EQ("Insert disk for drive %1.\r\n", SystemText(107));
  // Cut to capacity - 2 characters; nothing at all written for capacity 0.
  for (int capacity : {0, 1, 2, 8}) {
    char16_t text[9] = {u'#', u'#', u'#', u'#', u'#', u'#', u'#', u'#', 0};
    SystemMessageText(107, text, capacity);
    const std::u16string expected[] = {u"########", u"", u"", u"Insert"};
    EXPECT_EQ(expected[capacity == 8 ? 3 : capacity], std::u16string(text)) << capacity;
  }
  TestDialog d;
  g_boxes.clear();
  EXPECT_EQ(2, ShowSystemErrorWith(RecordBox, d.dialog, 0x2FFFFFFF, nullptr));
  EXPECT_TRUE(g_boxes.empty());
}

TEST(StoredDestination, StoredAsTypedThenEachSourceOfTheDefaultInTurn) {
  TestDialog d;
  strcpy(d.context.productCode, "ZQT");
  strcpy(d.context.productName, "Zq Tool");
  SavedRegistryValue stored{HKEY_CURRENT_USER, kMakerKey, L"ZQT"};
  SavedRegistryValue programFiles{HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion",
                                  L"ProgramFilesDir"};
  SavedEnvironment environment{L"ProgramFiles"};
  auto proposal = [](int capacity = 1024) {
    char16_t buffer[1024] = u"stale stale stale stale";
    DefaultDestination(buffer, capacity);
    return TestUtf8(buffer);
  };
  stored.Set(nullptr);
  programFiles.Set(L"X:\\Apps\\");
  StoreDestination(u"E:\\My Tools\\ ");
  StoreDestination(u"");
  EXPECT_EQ("E:\\My Tools\\ ", Registry(HKEY_CURRENT_USER, kMakerKey, L"ZQT"));
  EXPECT_EQ("E:\\My Tools\\ ", proposal());
  // A stored text is read within its bytes and its buffer; one that leaves no room for its end counts as absent.
  stored.Set(L"E:\\Mine123456789", 7 * 2);
  EXPECT_EQ("E:\\Mine", proposal());
  stored.Set(L"E:\\Mine123456789", 16 * 2);
  EXPECT_EQ("X:\\Apps\\Zq Tool|E:\\Mine123456789", proposal(16) + "|" + proposal(17));
  stored.Set(L"");
  EXPECT_EQ("X:\\Apps\\Zq Tool", proposal());
  // Without a product code nothing is stored or read.
  d.context.productCode[0] = 0;
  StoreDestination(u"E:\\Other");
  EXPECT_EQ("(none)", Registry(HKEY_CURRENT_USER, kMakerKey, L""));
  stored.Set(L"E:\\Mine");
  EXPECT_EQ("X:\\Apps\\Zq Tool", proposal());

  programFiles.Set(nullptr);
  SetEnvironmentVariableW(L"ProgramFiles", L"Y:\\Env");
  EXPECT_EQ("Y:\\Env\\Zq Tool", proposal());
  // A source that does not fit counts as absent, and the folder beside Windows' is proposed.
  SetEnvironmentVariableW(L"ProgramFiles", L"Y:\\A long Program Files folder");
  wchar_t windows[MAX_PATH];
  GetWindowsDirectoryW(windows, MAX_PATH);
  std::string drive = TestUtf8(fs::path(windows).root_path().u16string());
  ASSERT_FALSE(fs::exists(drive + "Programme"));
  EXPECT_EQ(drive + "Program Files\\Z", proposal(19));
  SetEnvironmentVariableW(L"ProgramFiles", nullptr);
  EXPECT_EQ(drive + "Program Files\\Zq Tool", proposal());
}
