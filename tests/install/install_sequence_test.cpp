#include "install/install_sequence.h"

#include <gtest/gtest.h>

#include "archive/entry_format.h"
#include "archive/lzma_test_util.h"
#include "install_test_util.h"
#include "setupkit/entry_stream_writer.h"
#include "shell/language_list.h"
#include "shell/scan_handler.h"
#include "text/bounded_text.h"
#include "text/product_description.h"

namespace {

const wchar_t kProductKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Zq Test Tool";

std::vector<uint8_t> Bytes(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }

const std::vector<EntryStreamEntry> kProduct = {
    {"FILE_ID.DIZ", Bytes("Zq Test Tool Version 1.0\r\n")},
    {"Lang\\Zq_FR.LNG", Bytes("[Info]\r\nLanguage=Fran\xE7" "ais\r\n")},
    {"Lang\\Zq_IT.LNG", Bytes("[Info]\r\nLanguage=Italiano\r\n")},
    {"Docs\\Readme.txt", Bytes("read me")},
    {"Bin\\Editor.exe", Bytes("MZ editor")},
    {"Extra.exe", Bytes("MZ extra")},
    {"UnInst.exe", Bytes("MZ uninstall")},
};

std::string Registry(HKEY root, const wchar_t* key, const wchar_t* name) {
  wchar_t value[1100] = {0};
  DWORD size = sizeof(value);
  if (RegGetValueW(root, key, name, RRF_RT_REG_SZ, nullptr, value, &size) != ERROR_SUCCESS) return "(none)";
  return TestUtf8(AsUtf16(value));
}

// A hidden setup dialog over an installer of product code ZQT, scanned as the
// real dialog does; whatever an install records is removed at the end.
struct InstallScope : TestDialog {
  ComScope com;
  SavedRegistryValue stored{HKEY_CURRENT_USER, L"Software\\Halvorn", L"ZQT"};
  QuickLaunchScope quickLaunch;
  std::string installer;
  std::string destination = TestTempDir() + "\\Zq";
  fs::path desktopLink = TestSpecialFolder(CSIDL_DESKTOPDIRECTORY) / "Zq Test Tool.lnk";
  fs::path group = TestSpecialFolder(CSIDL_COMMON_PROGRAMS) / "Zq Test Tool";

  explicit InstallScope(const std::vector<EntryStreamEntry>& entries, const char* mainProgram = "") {
    TestAddStatusLine(dialog);
    ApplyDialogTexts(dialog, kDialogTextIds);
    PrepareLanguageList(List());
    std::vector<uint8_t> stream = BuildEntryStream({"ZQT", "", mainProgram}, ArchiveDateFromYmd(2021, 9, 14), entries);
    installer = TestWriteInstaller(kPayloadSearchStart, TestContainer(TestLzmaEncode(stream, false), stream.size()),
                                   std::vector<uint8_t>(4096, 0));
    CopyWide(TestWidePath(installer).c_str(), context.modulePath, 1024);
    EXPECT_EQ(0, ScanPass(dialog));
    stored.Set(nullptr);
    SetDestination(destination);
  }
  ~InstallScope() {
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, kProductKey);
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, kProductKey);
    RemoveLinks();
  }

  void SetDestination(const std::string& path) { SetDlgItemTextW(dialog, 1032, AsWide(TestWidePath(path).c_str())); }
  void SetChecks(int mask) {
    for (int i = 0; i < 3; ++i) CheckDlgButton(dialog, 1041 + i, (mask >> i) & 1 ? BST_CHECKED : BST_UNCHECKED);
  }
  int Install() {
    TestBoxes().clear();
    return RunInstallWith(dialog, TestRecordBox);
  }
  std::string File(const char* name) const {
    std::string path = destination + "\\" + name;
    if (!fs::exists(TestWidePath(path))) return "(none)";
    std::vector<uint8_t> bytes = TestReadFile(path);
    return std::string(bytes.begin(), bytes.end());
  }
  // The links made, as "group desktop quick" with "-" for each missing.
  std::string Links() const {
    return std::string(fs::exists(group / "Zq Test Tool.lnk") ? "group" : "-") + " " +
           (fs::exists(desktopLink) ? "desktop" : "-") + " " +
           (fs::exists(quickLaunch.folder / "Zq Test Tool.lnk") ? "quick" : "-");
  }
  void RemoveLinks() {
    std::error_code ignored;
    fs::remove_all(group, ignored);
    fs::remove(desktopLink, ignored);
    fs::remove(quickLaunch.folder / "Zq Test Tool.lnk", ignored);
  }
  std::string Stored() const { return Registry(HKEY_CURRENT_USER, L"Software\\Halvorn", L"ZQT"); }
};

}  // namespace

TEST(RunInstall, WritesTheChosenFilesAndRecordsTheInstallation) {
  InstallScope s(kProduct);
  SetLanguageItemCheck(s.List(), FindLanguageItem(s.List(), LanguageCode4FromNarrow("FR")), kLanguageUnchecked);
  EXPECT_EQ(0, s.Install());
  EXPECT_EQ("read me|MZ editor|MZ uninstall|[Info]\r\nLanguage=Italiano\r\n|(none)",
            s.File("Readme.txt") + "|" + s.File("Editor.exe") + "|" + s.File("UnInst.exe") + "|" +
                s.File("Zq_IT.LNG") + "|" + s.File("Zq_FR.LNG"));
  PlatformDateTime noon = {2021, 9, 0, 14, 12, 0, 0, 0};
  uint64_t archiveTime = 0;
  PlatformLocalTimeToFileTime(&noon, &archiveTime);
  EXPECT_EQ(archiveTime, TestFileWriteTime(s.destination + "\\Readme.txt"));
  EXPECT_EQ("", s.Text(1047));

  EXPECT_EQ(s.destination, s.Stored());
  EXPECT_EQ(s.destination + "\\UnInst.exe", Registry(HKEY_LOCAL_MACHINE, kProductKey, L"UninstallString"));
  EXPECT_EQ(s.destination + "\\Editor.exe", Registry(HKEY_LOCAL_MACHINE, kProductKey, L"DisplayIcon"));
  EXPECT_EQ("- - -", s.Links());
  EXPECT_EQ(std::vector<std::string>{"Setup Zq Test Tool 1.0: Zq Test Tool has been successfully installed. [64]"},
            TestBoxes());
}

TEST(RunInstall, LinksFollowTheCheckBoxes) {
  InstallScope s(kProduct);
  fs::create_directories(s.quickLaunch.folder);
  std::string made;
  for (int mask = 0; mask < 8; ++mask) {
    s.SetChecks(mask);
    EXPECT_EQ(0, s.Install());
    made += s.Links() + "; ";
    if (mask < 7) s.RemoveLinks();
  }
  EXPECT_EQ("- - -; group - -; - desktop -; group desktop -; - - quick; group - quick; - desktop quick; "
            "group desktop quick; ", made);
  EXPECT_EQ(s.destination + "\\Editor.exe | " + s.destination + " |  |  | 5",
            TestReadShortcut(s.quickLaunch.folder / "Zq Test Tool.lnk"));
  EXPECT_EQ(s.destination + "\\UnInst.exe | " + s.destination + " |  |  | 5",
            TestReadShortcut(s.group / "Uninstall.lnk"));
}

TEST(RunInstall, ReplacesAnOlderInstallationAndSetsItsPsapiAside) {
  std::vector<EntryStreamEntry> entries = kProduct;
  entries.push_back({"Sys\\PSAPI.DLL", Bytes("new psapi")});
  InstallScope s(entries, "Extra.exe");
  fs::create_directories(TestWidePath(s.destination));
  TestWriteFile(s.destination + "\\PSAPI.DLL", Bytes("old psapi"));
  TestWriteFile(s.destination + "\\Readme.txt", Bytes("an older read me"));
  s.SetDestination(s.destination + "\\");
  s.SetChecks(2);
  EXPECT_EQ(0, s.Install());
  EXPECT_EQ("old psapi|new psapi|read me",
            s.File("HVPSAPI.DLL") + "|" + s.File("PSAPI.DLL") + "|" + s.File("Readme.txt"));
  EXPECT_EQ(s.destination + "\\", s.Stored());
  // The payload's identity texts name the main program before any entry does.
  EXPECT_EQ(s.destination + "\\Extra.exe | " + s.destination + " |  |  | 5", TestReadShortcut(s.desktopLink));
}

TEST(RunInstall, FailuresShowWhyAndRecordNothing) {
  InstallScope s(kProduct);
  s.SetChecks(7);
  s.SetDestination("");
  EXPECT_EQ(-1, s.Install());
  EXPECT_EQ(0u, TestBoxes().size());

  s.SetDestination("Q:\\Zq");  // no such drive
  EXPECT_EQ(ERROR_PATH_NOT_FOUND, s.Install());
  EXPECT_EQ("Q:\\Zq\\UnInst.exe", s.Text(1047));
  char16_t text[512];
  SystemMessageText(ERROR_PATH_NOT_FOUND, text, 512);
  EXPECT_EQ(std::vector<std::string>{"setup.exe: " + TestUtf8(text) + " [16]"}, TestBoxes());

  s.SetDestination(s.destination);
  std::vector<uint8_t> bytes = TestReadFile(s.installer);
  bytes.resize(bytes.size() - 4096 - 20);
  TestWriteFile(s.installer, bytes);
  EXPECT_GT(0, s.Install());
  EXPECT_EQ(std::vector<std::string>{"setup.exe: Broken file, please download again. [16]"}, TestBoxes());
  EXPECT_EQ("(none)|(none)|- - -", s.Stored() + "|" + Registry(HKEY_LOCAL_MACHINE, kProductKey, L"DisplayName") +
                                       "|" + s.Links());
}

TEST(RunInstall, WithoutUninstallerOrMainProgramOnlyFilesAndDestination) {
  InstallScope s({{"FILE_ID.DIZ", Bytes("Zq Test Tool Version 1.0\r\n")}, {"Main.exe", Bytes("MZ")}});
  s.SetChecks(7);
  EXPECT_EQ(0, s.Install());
  EXPECT_EQ("MZ", s.File("Main.exe"));
  EXPECT_EQ(s.destination + "|(none)|- - -", s.Stored() + "|" +
                                                 Registry(HKEY_LOCAL_MACHINE, kProductKey, L"DisplayName") + "|" +
                                                 s.Links());
  // Without a product name the success text is text 3000 alone, leading blank and all.
  s.context.productName[0] = 0;
  EXPECT_EQ(0, s.Install());
  EXPECT_EQ(std::vector<std::string>{"Setup Zq Test Tool 1.0:  has been successfully installed. [64]"}, TestBoxes());
}
