#include "install/install_sequence.h"

#include <gtest/gtest.h>

#include "install/system_error.h"
#include "install_test_util.h"
#include "shell/scan_handler.h"
#include "text/bounded_text.h"
#include "text/product_description.h"

namespace {

const std::vector<EntryStreamEntry> kProduct = {
    {"FILE_ID.DIZ", TestBytes("Zq Test Tool Version 1.0\r\n")},
    {"Docs\\Readme.txt", TestBytes("read me")},
    {"Bin\\Editor.exe", TestBytes("MZ editor")},
    {"Extra.exe", TestBytes("MZ extra")},
    {"UnInst.exe", TestBytes("MZ uninstall")},
    {"Lang\\Zq_FR.LNG", TestBytes("[Language=Fran\xE7" "ais")},
};

// "target | working directory" of a shell link, or "(none)".
std::string ReadShortcut(const fs::path& path) {
  IShellLinkW* link = nullptr;
  IPersistFile* file = nullptr;
  std::string out = "(none)";
  CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, reinterpret_cast<void**>(&link));
  if (link == nullptr) return out;
  if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
      SUCCEEDED(file->Load(path.c_str(), STGM_READ))) {
    wchar_t target[MAX_PATH] = {0}, folder[MAX_PATH] = {0};
    link->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH);
    link->GetWorkingDirectory(folder, MAX_PATH);
    out = TestUtf8(AsUtf16(target)) + " | " + TestUtf8(AsUtf16(folder));
  }
  if (file != nullptr) file->Release();
  link->Release();
  return out;
}

// A hidden setup dialog over an installer of product code ZQT, scanned as the real
// dialog does, with the Quick Launch folder made; whatever an install records is
// removed at the end, and the folder put back as it was.
struct InstallScope : TestDialog {
  ComScope com;
  SavedRegistryValue stored{HKEY_CURRENT_USER, L"Software\\Halvorn", L"ZQT"};
  std::string destination = TestTempDir() + "\\Zq";
  fs::path desktopLink = TestSpecialFolder(CSIDL_DESKTOPDIRECTORY) / "Zq Test Tool.lnk";
  fs::path group = TestSpecialFolder(CSIDL_COMMON_PROGRAMS) / "Zq Test Tool";
  fs::path quickLaunch = TestSpecialFolder(CSIDL_APPDATA) / "Microsoft" / "Internet Explorer" / "Quick Launch";
  fs::path savedQuickLaunch = quickLaunch.parent_path() / "Quick Launch (saved by test)";

  explicit InstallScope(const std::vector<EntryStreamEntry>& entries, const char* mainProgram = "") {
    if (fs::exists(quickLaunch)) fs::rename(quickLaunch, savedQuickLaunch);
    fs::create_directories(quickLaunch);
    std::string installer = TestInstaller({"ZQT", "", mainProgram}, entries);
    CopyWide(TestWidePath(installer).c_str(), context.modulePath, 1024);
    PrepareLanguageList(List());
    EXPECT_EQ(0, ScanPass(dialog));
    stored.Set(nullptr);
    SetDestination(destination);
  }
  ~InstallScope() {
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, kTestUninstallKey);
    RemoveLinks();
    std::error_code ignored;
    fs::remove_all(quickLaunch, ignored);
    if (fs::exists(savedQuickLaunch)) fs::rename(savedQuickLaunch, quickLaunch, ignored);
  }

  void SetDestination(const std::string& path) { SetDlgItemTextW(dialog, 1032, AsWide(TestWidePath(path).c_str())); }
  int Install(int boxes) {
    for (int i = 0; i < 3; ++i) CheckDlgButton(dialog, 1041 + i, (boxes >> i) & 1 ? BST_CHECKED : BST_UNCHECKED);
    TestBoxes().clear();
    return RunInstallWith(dialog, TestRecordBox);
  }
  // What the install recorded: "stored | uninstaller | icon | links made", with "-" for a missing link.
  std::string Recorded() const {
    return TestRegistry(HKEY_CURRENT_USER, L"Software\\Halvorn", L"ZQT") + " | " +
           TestRegistry(HKEY_LOCAL_MACHINE, kTestUninstallKey, L"UninstallString") + " | " +
           TestRegistry(HKEY_LOCAL_MACHINE, kTestUninstallKey, L"DisplayIcon") + " | " +
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

}  // namespace

TEST(RunInstall, EachBoxMakesOnlyItsOwnLink) {
  InstallScope s(kProduct);
  const std::string d = s.destination;
  const char* kLinks[] = {"- - -", "group - -", "- desktop -", "- - quick"};
  for (int box = 0; box < 4; ++box) {
    EXPECT_EQ(0, s.Install(box ? 1 << (box - 1) : 0));
    EXPECT_EQ(d + " | " + d + "\\UnInst.exe | " + d + "\\Editor.exe | " + kLinks[box], s.Recorded());
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

TEST(RunInstall, OlderPsapiSetAsideAndTheIdentityNamesTheMainProgram) {
  std::vector<EntryStreamEntry> entries = kProduct;
  entries.push_back({"Sys\\PSAPI.DLL", TestBytes("new psapi")});
  InstallScope s(entries, "Extra.exe");
  std::string d = s.destination;
  fs::create_directories(TestWidePath(d));
  TestWriteFile(d + "\\PSAPI.DLL", TestBytes("old psapi"));
  // The uninstall entry's values are rewritten one by one; others stay.
  RegSetKeyValueW(HKEY_LOCAL_MACHINE, kTestUninstallKey, L"EstimatedSize", REG_SZ, L"12", 6);
  SetLanguageItemCheck(s.List(), FindLanguageItem(s.List(), LanguageCode4FromNarrow("FR")), kLanguageUnchecked);
  s.SetDestination(d + "\\");  // stored as typed
  EXPECT_EQ(0, s.Install(2));
  std::vector<uint8_t> old = TestReadFile(d + "\\HVPSAPI.DLL"), now = TestReadFile(d + "\\PSAPI.DLL");
  EXPECT_EQ("old psapi|new psapi", std::string(old.begin(), old.end()) + "|" + std::string(now.begin(), now.end()));
  EXPECT_FALSE(fs::exists(TestWidePath(d + "\\Zq_FR.LNG")));
  EXPECT_EQ(d + "\\ | " + d + "\\UnInst.exe | " + d + "\\Extra.exe | - desktop -", s.Recorded());
  EXPECT_EQ("12", TestRegistry(HKEY_LOCAL_MACHINE, kTestUninstallKey, L"EstimatedSize"));
  EXPECT_EQ(d + "\\Extra.exe | " + d, ReadShortcut(s.desktopLink));
}

TEST(RunInstall, StepsNeedTheirFilesAndAFailedPassRecordsNothing) {
  {
    InstallScope s({kProduct[0], kProduct[4]});  // no main program
    EXPECT_EQ(0, s.Install(7));
    EXPECT_EQ(s.destination + " | " + s.destination + "\\UnInst.exe |  | - - -", s.Recorded());
    // Without a product name the entry's values would land in the Uninstall key itself.
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, kTestUninstallKey);
    s.context.productName[0] = 0;
    EXPECT_EQ(0, s.Install(7));
    EXPECT_EQ("(none)", TestRegistry(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall",
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
  char16_t text[512];
  SystemMessageText(206, text, 512);
  EXPECT_EQ(std::vector<std::string>{"setup.exe: " + TestUtf8(text) + " [16]"}, TestBoxes());
  EXPECT_EQ("(none) | (none) | (none) | - - -", s.Recorded());
}
