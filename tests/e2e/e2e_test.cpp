// The installer as a person meets it, on English, German and Italian systems:
// what the dialog shows, what Install leaves on the machine (files and their
// times, registry values, shortcuts), the messages, a second run over an
// installation, the uninstaller it registers, and a DLL planted beside the
// installer. Each scenario of
// CMakeLists.txt (and of tests/hardening) runs some of these tests, in this
// order, in one fresh Wine prefix; the second run builds on the first
// installation.
//
// The tests run inside the Wine prefix they inspect, so the registry and
// folders they read are the installer's own. Their inputs are paths named by
// E2E_ variables (see CMakeLists.txt).
#include <windows.h>

#include <psapi.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <regex>
#include <vector>

#include "ui/control_ids.h"
#include "ui_automation.h"

namespace {

const wchar_t kStoredKey[] = L"" SETUP_MAKER_KEY;
const wchar_t kUninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Pebble Notes";
const int kMenuInvert = 2;  // the language list's menu: select all, deselect all, invert
// The English scenario's first installation goes to a folder of the user's
// own, French unchecked; the second run finds it there.
const std::wstring kOwnFolder = L"C:\\Apps\\Pebble Notes";
const wchar_t kFrench[] = L"Pebble_FR.LNG";

// What a person sees in one interface language: the name of the dialog's
// picture, the caption and the controls' texts (see DialogTexts), the language
// list of a first run, the success message behind the product's name, and the
// broken-file message; then the uninstaller's question and its message when done.
struct Language {
  const wchar_t *name, *texts, *items, *success, *broken, *removeQuestion, *removed;
};
const Language kEnglish = {L"en",
                           L"Setup Pebble Notes 1.2|Pebble Notes 1.2|Destination folder|...|&OK|Cancel|"
                           L"Put entry to Start Menu|Create a Desktop icon|Create a Quick Launch icon|Language",
                           L"[x] English, [x] Fran\u00e7ais, [x] German, [x] Italiano",
                           L" has been successfully installed.", L"Broken file, please download again.",
                           L"Uninstall: Do you want to remove Pebble Notes and all of its files from this computer?",
                           L"Uninstall: Pebble Notes has been removed from this computer."};
const Language kGerman = {
    L"de",
    L"Installation Pebble Notes 1.2|Pebble Notes 1.2|Zielpfad:|...|&OK|Abbruch|"
    L"Programmgruppe erstellen|Desktop-Symbol anlegen|Symbol in der Schnellstartleiste anlegen|Sprache",
    L"[x] Deutsch, [x] Englisch, [x] Fran\u00e7ais, [x] Italiano", L" wurde erfolgreich installiert.",
    L"Die Datei ist besch\u00e4digt, bitte nochmal herunterladen!",
    L"Deinstallation: M\u00f6chten Sie Pebble Notes und alle zugeh\u00f6rigen Dateien von diesem Computer entfernen?",
    L"Deinstallation: Pebble Notes wurde von diesem Computer entfernt."};
const Language kItalian = {L"it",
                           L"Installazione Pebble Notes 1.2|Pebble Notes 1.2|Destinazione|...|&OK|Annulla|"
                           L"Aggiungi collegamento nel menu Programmi|Aggiungi collegamento sul desktop|"
                           L"Aggiungi collegamento sulla barra di Avvio veloce|Lingua",
                           kEnglish.items, L" \u00e8 stato installato correttamente.",
                           L"File danneggiato, esegui di nuovo il download.",
                           L"Disinstallazione: Rimuovere Pebble Notes e tutti i suoi file da questo computer?",
                           L"Disinstallazione: Pebble Notes \u00e8 stato rimosso da questo computer."};

std::wstring WindowsPath(std::wstring path) {
  if (path.empty() || path[0] != L'/') return path;
  std::replace(path.begin(), path.end(), L'/', L'\\');
  return L"Z:" + path;
}

// The path an E2E_ variable names, a Unix path as Wine's Z: drive shows it.
std::wstring E2eInput(const wchar_t* variable) {
  const wchar_t* value = _wgetenv(variable);
  if (value == nullptr || value[0] == 0) ADD_FAILURE() << variable << " is not set: run through run-scenario.sh";
  return WindowsPath(value != nullptr ? value : L"");
}

// One run of a program (an installer, the product); a program still running at
// the end of the scope is ended, so that a failed test does not leave it to the
// next one.
struct ProgramRun {
  UiProcess process;
  explicit ProgramRun(const std::wstring& program, const std::wstring& arguments = L"") {
    UiStart(program, arguments, &process);
  }
  // A whole command line, as the system runs a registered command.
  explicit ProgramRun(const UiCommand& command) { UiStartCommand(command.line, &process); }
  ~ProgramRun() { UiRelease(&process); }
  ProgramRun(const ProgramRun&) = delete;
  // The setup dialog; null, with a failure that says why, when none comes.
  HWND WaitDialog() {
    std::wstring why;
    HWND dialog = UiWaitDialog(process, kLanguageListId, &why);
    if (dialog == nullptr) ADD_FAILURE() << "no setup dialog: " << why;
    return dialog;
  }
  UiMessageBox WaitMessage(DWORD ms = kUiWaitMs) { return UiWaitMessageBox(process.id, kLanguageListId, ms); }
  long WaitExit() { return UiWaitExit(process); }
};

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::vector<uint8_t> ReadBytes(const std::wstring& path) {
  std::ifstream in(std::filesystem::path(path), std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Whether the file has the time every installed file gets: the archive date
// (--date of the packs) at noon, local time.
bool HasArchiveTime(const std::wstring& path) {
  SYSTEMTIME noon = {2021, 6, 0, 15, 12, 0, 0, 0};
  FILETIME local, utc;
  WIN32_FILE_ATTRIBUTE_DATA file;
  return SystemTimeToFileTime(&noon, &local) && LocalFileTimeToFileTime(&local, &utc) &&
         GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &file) &&
         CompareFileTime(&utc, &file.ftLastWriteTime) == 0;
}

// A REG_SZ value's text; empty when the key or value is missing.
// A REG_SZ value's text, or a REG_DWORD's number in decimal; empty when the key or value is missing.
std::wstring Registry(HKEY root, const wchar_t* key, const wchar_t* value) {
  wchar_t text[1024] = {0};
  DWORD size = sizeof(text), number = 0;
  if (RegGetValueW(root, key, value, RRF_RT_REG_SZ, nullptr, text, &size) == ERROR_SUCCESS) return text;
  size = sizeof(number);
  if (RegGetValueW(root, key, value, RRF_RT_REG_DWORD, nullptr, &number, &size) == ERROR_SUCCESS) {
    return std::to_wstring(number);
  }
  return L"";
}

std::wstring SpecialFolder(int csidl, const wchar_t* below) {
  wchar_t path[MAX_PATH] = {0};
  SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
  return path + std::wstring(below);
}
std::wstring ProposedFolder() { return SpecialFolder(CSIDL_PROGRAM_FILES, L"\\Pebble Notes"); }
std::wstring ProgramGroup() { return SpecialFolder(CSIDL_COMMON_PROGRAMS, L"\\Pebble Notes"); }
std::wstring QuickLaunch() { return SpecialFolder(CSIDL_APPDATA, L"\\Microsoft\\Internet Explorer\\Quick Launch"); }

// A shortcut as "target in working folder".
std::wstring Shortcut(const std::wstring& path) {
  wchar_t target[MAX_PATH] = {0}, folder[MAX_PATH] = {0};
  IShellLinkW* link = nullptr;
  IPersistFile* file = nullptr;
  CoInitialize(nullptr);
  if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&link))) &&
      SUCCEEDED(link->QueryInterface(IID_PPV_ARGS(&file))) && SUCCEEDED(file->Load(path.c_str(), STGM_READ))) {
    link->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH);
    link->GetWorkingDirectory(folder, MAX_PATH);
  }
  if (file != nullptr) file->Release();
  if (link != nullptr) link->Release();
  return target + std::wstring(L" in ") + folder;
}

// The caption, then the title line, label, buttons, boxes and the language list's header.
std::wstring DialogTexts(HWND dialog) {
  std::wstring texts = UiText(dialog);
  for (int id : {kTitleLineId, kDestinationLabelId, kBrowseButtonId, kInstallButtonId, kCancelButtonId,
                 kStartMenuBoxId, kDesktopBoxId, kQuickLaunchBoxId}) {
    texts += L"|" + UiControlText(dialog, id);
  }
  return texts + L"|" + UiListHeader(GetDlgItem(dialog, kLanguageListId));
}

// The three boxes' check marks, a hidden box's in parentheses.
std::string Boxes(HWND dialog) {
  std::string boxes;
  for (int id : {kStartMenuBoxId, kDesktopBoxId, kQuickLaunchBoxId}) {
    std::string mark = UiChecked(dialog, id) ? "[x]" : "[ ]";
    boxes += (boxes.empty() ? "" : " ") + (IsWindowVisible(GetDlgItem(dialog, id)) ? mark : "(" + mark + ")");
  }
  return boxes;
}

// The language list's items: check mark and text.
std::wstring LanguageList(HWND dialog) {
  std::vector<UiListItem> items;
  EXPECT_TRUE(UiListItems(GetDlgItem(dialog, kLanguageListId), &items)) << "the language list cannot be read";
  std::wstring list;
  for (const UiListItem& item : items) {
    list += (list.empty() ? L"" : L", ") + std::wstring(item.checked ? L"[x] " : L"[ ] ") + item.text;
  }
  return list;
}

// The setup dialog of a run in that language, its texts and language list
// checked and its picture taken; null when none came.
HWND ExpectDialog(ProgramRun* run, const Language& language) {
  HWND dialog = run->WaitDialog();
  if (dialog == nullptr) return nullptr;
  EXPECT_EQ(language.texts, DialogTexts(dialog));
  EXPECT_EQ(language.items, LanguageList(dialog));
  EXPECT_TRUE(UiCaptureWindow(dialog, E2eInput(L"E2E_SCREENSHOTS") + L"\\dialog-" + language.name + L".bmp"));
  return dialog;
}

// Presses Install and expects the success message in that language under the
// dialog's caption, then the installer's end with exit code 0.
void ExpectSuccess(ProgramRun* run, HWND dialog, const wchar_t* product, const Language& language) {
  std::wstring caption = UiText(dialog);
  ASSERT_TRUE(UiPress(dialog, kInstallButtonId));
  UiMessageBox box = run->WaitMessage();
  EXPECT_EQ(caption + L": " + product + language.success, box.caption + L": " + box.text);
  EXPECT_TRUE(UiAnswer(box, IDOK));
  EXPECT_EQ(0, run->WaitExit());
}

void ExpectNothingInstalled() {
  EXPECT_FALSE(Exists(ProposedFolder())) << "the destination folder was made";
  EXPECT_EQ(L"", Registry(HKEY_CURRENT_USER, kStoredKey, L"PBN")) << "a destination was stored";
  EXPECT_EQ(L"", Registry(HKEY_LOCAL_MACHINE, kUninstallKey, L"DisplayName")) << "an uninstall entry was made";
  EXPECT_FALSE(Exists(ProgramGroup())) << "a program group was made";
}

// Every sample file in destination under its installed name (stored folders
// dropped), with the packed bytes and the archive time; but for those named
// in `unwritten`, which the caller checks itself.
void ExpectSampleFiles(const std::wstring& destination, const std::vector<std::wstring>& unwritten) {
  std::ifstream entries(std::filesystem::path(E2eInput(L"E2E_SAMPLE_ENTRIES")));
  int count = 0;
  for (std::string line; std::getline(entries, line); ++count) {      // stored name TAB packed file
    size_t tab = line.find('\t'), start = line.rfind('\\', tab) + 1;  // npos + 1 is 0: no folder
    std::wstring path = destination + L"\\" + std::filesystem::u8path(line.substr(start, tab - start)).wstring();
    if (std::find(unwritten.begin(), unwritten.end(), path.substr(destination.size() + 1)) != unwritten.end()) continue;
    EXPECT_TRUE(ReadBytes(WindowsPath(std::filesystem::u8path(line.substr(tab + 1)).wstring())) == ReadBytes(path))
        << path << " does not hold the packed bytes";
    EXPECT_TRUE(HasArchiveTime(path)) << path << " does not have the archive date at noon";
  }
  EXPECT_EQ(6, count) << "entries.txt of the sample product";
  EXPECT_TRUE(HasArchiveTime(destination + L"\\UnInst.exe")) << "the uninstaller pack added did not arrive";
  EXPECT_FALSE(Exists(destination + L"\\Docs")) << "a folder of a stored name was made";
}

// An installer whose download broke off shows the broken-file message, under
// its own file name, as its only window, and writes nothing.
void ExpectBrokenFileMessage(const Language& language) {
  std::vector<uint8_t> installer = ReadBytes(E2eInput(L"E2E_SAMPLE_INSTALLER"));
  ASSERT_GT(installer.size(), 91000u) << "too small to hold a payload behind 89999";
  std::ofstream(L"C:\\Cut.exe", std::ios::binary)
      .write(reinterpret_cast<char*>(installer.data()), installer.size() - 1000);
  ProgramRun run(L"C:\\Cut.exe");
  UiMessageBox box = run.WaitMessage();
  EXPECT_EQ(std::wstring(L"Cut.exe: ") + language.broken, box.caption + L": " + box.text);
  EXPECT_TRUE(box.hasIcon);
  EXPECT_EQ(std::vector<HWND>({box.window}), UiTopWindows(run.process.id, L"#32770")) << "the dialog showed";
  EXPECT_TRUE(UiAnswer(box, IDOK));
  EXPECT_EQ(2, run.WaitExit()) << "a damaged installer reported success";
  ExpectNothingInstalled();
}

// A damaged installer's message, then a first installation into the proposed folder.
void InstallInLanguage(const Language& language) {
  ExpectBrokenFileMessage(language);
  ProgramRun run(E2eInput(L"E2E_SAMPLE_INSTALLER"));
  HWND dialog = ExpectDialog(&run, language);
  ASSERT_NE(nullptr, dialog) << "no setup dialog";
  // Wine makes no Quick Launch folder: its box is hidden, and checked all the same.
  EXPECT_EQ("[x] [x] ([x])", Boxes(dialog));
  EXPECT_EQ(ProposedFolder(), UiControlText(dialog, kDestinationEditId));
  ExpectSuccess(&run, dialog, L"Pebble Notes", language);
  ExpectSampleFiles(ProposedFolder(), {});
}

// The lines of `setupkit plan --json` (E2E_*_PLAN), each as its members with string values.
std::vector<std::map<std::wstring, std::wstring>> PlanLines(const wchar_t* variable) {
  std::ifstream in(std::filesystem::path(E2eInput(variable)));
  const std::regex member(R"x("(\w+)": "((?:[^"\\]|\\.)*)")x");
  std::vector<std::map<std::wstring, std::wstring>> lines;
  for (std::string line; std::getline(in, line);) {
    std::map<std::wstring, std::wstring> members;
    for (std::sregex_iterator m(line.begin(), line.end(), member), end; m != end; ++m) {
      std::string text = std::regex_replace((*m)[2].str(), std::regex(R"(\\(.))"), "$1");  // names and paths: no \u
      members[std::filesystem::u8path((*m)[1].str()).wstring()] = std::filesystem::u8path(text).wstring();
    }
    if (!members.empty()) lines.push_back(members);
  }
  EXPECT_FALSE(lines.empty()) << "no plan in " << E2eInput(variable);
  return lines;
}

// What the plan said against what the run showed and left: caption, title line
// (as `texts` begins) and the language list of a first run, then every file, registry
// value and shortcut; files of the `cleared` languages (codes) are not there,
// and the destination holds no file the plan did not name.
void ExpectAsPlanned(const wchar_t* variable, const std::wstring& texts, const std::wstring& items,
                     const std::vector<std::wstring>& cleared) {
  std::wstring caption, list, destination;
  std::vector<std::wstring> files;
  const std::map<std::wstring, HKEY> roots = {{L"HKCU", HKEY_CURRENT_USER}, {L"HKLM", HKEY_LOCAL_MACHINE}};
  const std::map<std::wstring, std::wstring> folders = {
      {L"programs", SpecialFolder(CSIDL_COMMON_PROGRAMS, L"\\")},
      {L"desktop", SpecialFolder(CSIDL_DESKTOPDIRECTORY, L"\\")},
      {L"quickLaunch", QuickLaunch() + L"\\"}};
  for (auto& line : PlanLines(variable)) {
    if (line.count(L"caption") != 0) caption = line[L"caption"] + L"|";
    if (line.count(L"title") != 0) caption += line[L"title"] + L"|";
    if (line.count(L"destination") != 0) destination = line[L"destination"];
    if (line.count(L"record") != 0) {
      EXPECT_TRUE(Exists(line[L"record"])) << line[L"record"] << ": the record of installed files is missing";
      files.push_back(line[L"record"]);
    }
    if (line.count(L"item") != 0) list += (list.empty() ? L"[x] " : L", [x] ") + line[L"item"];
    if (line.count(L"installed") != 0 &&
        std::find(cleared.begin(), cleared.end(), line[L"language"]) == cleared.end()) {
      EXPECT_TRUE(Exists(line[L"installed"])) << line[L"installed"] << " was planned but not written";
      files.push_back(line[L"installed"]);
    }
    if (line.count(L"root") != 0) {
      EXPECT_EQ(line[L"data"], Registry(roots.at(line[L"root"]), line[L"key"].c_str(), line[L"value"].c_str()))
          << line[L"root"] << "\\" << line[L"key"] << " " << line[L"value"];
    }
    if (line.count(L"link") != 0) {
      EXPECT_EQ(line[L"target"] + L" in " + line[L"workingDirectory"],
                Shortcut(folders.at(line[L"folder"]) + line[L"link"]));
    }
  }
  EXPECT_EQ(0u, texts.find(caption)) << "planned caption and title line: " << caption;
  EXPECT_EQ(items, list) << "planned language list";
  for (const auto& entry : std::filesystem::directory_iterator(destination)) {
    EXPECT_NE(files.end(), std::find(files.begin(), files.end(), entry.path().wstring()))
        << entry.path() << " is there but was not planned";
  }
}

}  // namespace

TEST(LeavingTheDialog, CancelEscapeOrCloseBoxWritesNothingAndEndsWithZero) {
  const std::pair<const char*, void (*)(HWND)> ways[] = {
      {"Cancel", [](HWND dialog) { UiPress(dialog, kCancelButtonId); }},
      {"Escape", [](HWND dialog) { UiPressKey(dialog, VK_ESCAPE); }},
      {"close box", [](HWND dialog) { PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); }}};
  for (const auto& way : ways) {
    SCOPED_TRACE(way.first);
    ProgramRun run(E2eInput(L"E2E_SAMPLE_INSTALLER"));
    HWND dialog = run.WaitDialog();
    ASSERT_NE(nullptr, dialog);
    way.second(dialog);
    EXPECT_EQ(0, run.WaitExit());
    ExpectNothingInstalled();
  }
}

TEST(BrokenInstaller, OnlyTheMessage) { ExpectBrokenFileMessage(kEnglish); }

// The dialog as it opens, the language menu, Install with no destination and
// with a missing drive; then the installation into a folder of the user's own.
TEST(FirstInstall, AfterFailedTriesEverythingIsInstalled) {
  // With a Quick Launch folder (and no pinned task bar below it) the third box shows.
  ASSERT_EQ(0, SHCreateDirectoryExW(nullptr, QuickLaunch().c_str(), nullptr));
  ProgramRun run(E2eInput(L"E2E_SAMPLE_INSTALLER"));
  HWND dialog = ExpectDialog(&run, kEnglish);
  ASSERT_NE(nullptr, dialog) << "no setup dialog";
  EXPECT_EQ("[x] [x] [x]", Boxes(dialog));
  EXPECT_EQ(ProposedFolder(), UiControlText(dialog, kDestinationEditId));

  // A click on French's box, then Invert from the list's menu, which opens where the pointer is.
  HWND list = GetDlgItem(dialog, kLanguageListId);
  ASSERT_TRUE(UiSetListItemCheck(list, 1, false));
  bool atPointer = false;
  ASSERT_TRUE(UiChooseFromContextMenu(run.process.id, dialog, list, kMenuInvert, &atPointer));
  EXPECT_TRUE(atPointer);
  const std::wstring frenchOnly = L"[ ] English, [x] Fran\u00e7ais, [ ] German, [ ] Italiano";
  for (int tries = 0; tries < 50 && LanguageList(dialog) != frenchOnly; ++tries) Sleep(60);
  EXPECT_EQ(frenchOnly, LanguageList(dialog));
  for (int item = 0; item < 4; ++item) ASSERT_TRUE(UiSetListItemCheck(list, item, item != 1));

  // Install, or Enter, with no destination does nothing at all.
  ASSERT_TRUE(UiSetText(dialog, kDestinationEditId, L""));
  ASSERT_TRUE(UiPress(dialog, kInstallButtonId));
  UiPressKey(dialog, VK_RETURN);
  EXPECT_EQ(L"", UiWaitMessageBox(run.process.id, kLanguageListId, 1500).text) << "a message appeared";

  // A missing drive: the system's text for the error (Wine reports a path not
  // found), then the dialog stays, with the user's choices, for another try.
  const std::wstring missing = L"Q:\\Pebble Notes";
  ASSERT_EQ(static_cast<UINT>(DRIVE_NO_ROOT_DIR), GetDriveTypeW(L"Q:\\")) << "drive Q: exists in this prefix";
  ASSERT_TRUE(UiSetText(dialog, kDestinationEditId, missing));
  ASSERT_TRUE(UiPress(dialog, kInstallButtonId));
  UiMessageBox box = run.WaitMessage();
  wchar_t systemText[512] = {0};
  FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, ERROR_PATH_NOT_FOUND, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                 systemText, 512, nullptr);
  EXPECT_EQ(systemText, box.text);
  EXPECT_TRUE(box.hasIcon);
  ASSERT_TRUE(UiAnswer(box, IDOK));
  EXPECT_TRUE(IsWindowVisible(dialog));
  // The pass tries every file and reports the first failure; the status line keeps the last file it tried.
  EXPECT_EQ(missing + L"\\UnInst.exe", UiControlText(dialog, kStatusLineId));
  ExpectNothingInstalled();

  ASSERT_TRUE(UiSetText(dialog, kDestinationEditId, kOwnFolder));
  ExpectSuccess(&run, dialog, L"Pebble Notes", kEnglish);
  ExpectSampleFiles(kOwnFolder, {kFrench});
  EXPECT_FALSE(Exists(kOwnFolder + L"\\" + kFrench)) << "an unchecked language's file was written";
  EXPECT_EQ(kOwnFolder, Registry(HKEY_CURRENT_USER, kStoredKey, L"PBN"));
  const std::pair<const wchar_t*, std::wstring> values[] = {{L"DisplayName", L"Pebble Notes"},
                                                            {L"UninstallString", L"\"" + kOwnFolder + L"\\UnInst.exe\""},
                                                            {L"DisplayIcon", kOwnFolder + L"\\Pebble.exe"},
                                                            {L"Publisher", L"" SETUP_PUBLISHER},
                                                            {L"URLInfoAbout", L"" SETUP_URL_INFO_ABOUT}};
  for (const auto& value : values) EXPECT_EQ(value.second, Registry(HKEY_LOCAL_MACHINE, kUninstallKey, value.first));
  const std::wstring program = kOwnFolder + L"\\Pebble.exe in " + kOwnFolder;
  EXPECT_EQ(program, Shortcut(ProgramGroup() + L"\\Pebble Notes.lnk"));
  EXPECT_EQ(kOwnFolder + L"\\UnInst.exe in " + kOwnFolder, Shortcut(ProgramGroup() + L"\\Uninstall.lnk"));
  EXPECT_EQ(program, Shortcut(SpecialFolder(CSIDL_DESKTOPDIRECTORY, L"\\Pebble Notes.lnk")));
  EXPECT_EQ(program, Shortcut(QuickLaunch() + L"\\Pebble Notes.lnk"));
  ExpectAsPlanned(L"E2E_SAMPLE_PLAN", kEnglish.texts, kEnglish.items, {L"FR"});
}

// Over the first installation, with a copy of the product running: the
// installer closes it, proposes the stored folder, leaves the boxes unchecked
// and checks the languages whose files are there; a language unchecked on
// Install keeps its old file.
TEST(SecondRun, ClosesTheProductAndProposesWhatIsInstalled) {
  ASSERT_EQ(kOwnFolder, Registry(HKEY_CURRENT_USER, kStoredKey, L"PBN")) << "FirstInstall did not run before";
  // Two copies of the installed product, each with its window.
  ProgramRun first(kOwnFolder + L"\\Pebble.exe"), second(kOwnFolder + L"\\Pebble.exe");
  for (ProgramRun* copy : {&first, &second}) ASSERT_NE(nullptr, UiWaitWindow(copy->process.id, L"PebbleNotesWindow"));
  // Marks on two installed files tell which ones the second run writes again.
  for (const wchar_t* name : {L"\\Pebble_IT.LNG", L"\\Readme.txt"}) std::ofstream((kOwnFolder + name).c_str()) << "old";

  ProgramRun run(E2eInput(L"E2E_SAMPLE_INSTALLER"));
  HWND dialog = run.WaitDialog();
  ASSERT_NE(nullptr, dialog);
  // Exit code 0: the product ended because its window got WM_DESTROY.
  for (ProgramRun* copy : {&first, &second}) EXPECT_EQ(0, copy->WaitExit()) << "a running product was not closed";
  EXPECT_EQ(kOwnFolder, UiControlText(dialog, kDestinationEditId));
  EXPECT_EQ("[ ] [ ] [ ]", Boxes(dialog));
  EXPECT_EQ(L"[x] English, [ ] Fran\u00e7ais, [x] German, [x] Italiano", LanguageList(dialog));

  ASSERT_TRUE(UiSetListItemCheck(GetDlgItem(dialog, kLanguageListId), 3, false));
  ExpectSuccess(&run, dialog, L"Pebble Notes", kEnglish);
  EXPECT_EQ(std::vector<uint8_t>({'o', 'l', 'd'}), ReadBytes(kOwnFolder + L"\\Pebble_IT.LNG"))
      << "an unchecked language's file was written";
  ExpectSampleFiles(kOwnFolder, {kFrench, L"Pebble_IT.LNG"});
  EXPECT_FALSE(Exists(kOwnFolder + L"\\" + kFrench));
}

// The smallest product, one file of one byte: its installer finds its payload.
// Without a product description there is no product name.
TEST(TinyProduct, OneByteFileInstalls) {
  ProgramRun run(E2eInput(L"E2E_TINY_INSTALLER"));
  HWND dialog = run.WaitDialog();
  ASSERT_NE(nullptr, dialog) << "no dialog: the payload was not found";
  EXPECT_EQ(L"[x] English, [x] German", LanguageList(dialog));
  EXPECT_EQ(L"", UiControlText(dialog, kTitleLineId));
  const std::wstring texts = DialogTexts(dialog);
  ASSERT_TRUE(UiSetText(dialog, kDestinationEditId, L"C:\\Tiny"));
  ExpectSuccess(&run, dialog, L"", kEnglish);
  EXPECT_EQ(std::vector<uint8_t>({'T'}), ReadBytes(L"C:\\Tiny\\Tiny.txt"));
  EXPECT_TRUE(HasArchiveTime(L"C:\\Tiny\\Tiny.txt"));
  EXPECT_EQ(L"C:\\Tiny", Registry(HKEY_CURRENT_USER, kStoredKey, L"TNY"));
  ExpectAsPlanned(L"E2E_TINY_PLAN", texts, L"[x] English, [x] German", {});
}

// The uninstaller that pack --uninstaller added, started as the system starts
// it: the command registered in the uninstall entry.
namespace {

UiCommand UninstallCommand(const wchar_t* value = L"UninstallString") {
  return {Registry(HKEY_LOCAL_MACHINE, kUninstallKey, value)};
}
// The program the uninstall command starts: its quoted first word.
std::wstring UninstallProgram() {
  std::wstring command = UninstallCommand().line;
  return command.size() > 2 && command[0] == L'"' ? command.substr(1, command.find(L'"', 1) - 1) : command;
}

// The sample product in the proposed folder with every box checked.
void InstallEverything() {
  SHCreateDirectoryExW(nullptr, QuickLaunch().c_str(), nullptr);
  ProgramRun run(E2eInput(L"E2E_SAMPLE_INSTALLER"));
  HWND dialog = run.WaitDialog();
  ASSERT_NE(nullptr, dialog) << "no setup dialog";
  ASSERT_EQ("[x] [x] [x]", Boxes(dialog));
  ExpectSuccess(&run, dialog, L"Pebble Notes", kEnglish);
  ASSERT_EQ(L"\"" + ProposedFolder() + L"\\UnInst.exe\"", UninstallCommand().line);
  ASSERT_EQ(L"\"" + ProposedFolder() + L"\\UnInst.exe\" /S", UninstallCommand(L"QuietUninstallString").line);
  // A 64-bit installer is not redirected: the 64-bit Program Files, and no entry in the 32-bit registry view.
  if (sizeof(void*) == 8) {
    EXPECT_EQ(0u, ProposedFolder().find(L"C:\\Program Files\\Pebble Notes"));
    HKEY key = nullptr;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND,
              RegOpenKeyExW(HKEY_LOCAL_MACHINE, kUninstallKey, 0, KEY_READ | KEY_WOW64_32KEY, &key));
  }
}

// What of an installation is on the machine, one line each.
std::wstring Leftovers() {
  std::wstring left;
  const std::wstring link = L"\\Pebble Notes.lnk";
  const std::wstring desktop = SpecialFolder(CSIDL_DESKTOPDIRECTORY, link.c_str());
  for (const std::wstring& path : {ProposedFolder(), ProgramGroup(), desktop, QuickLaunch() + link}) {
    if (Exists(path)) left += path + L"\n";
  }
  if (!UninstallCommand().line.empty()) left += L"uninstall entry\n";
  if (!Registry(HKEY_CURRENT_USER, kStoredKey, L"PBN").empty()) left += L"stored destination\n";
  return left;
}

// The files and folders the system is to delete at the next restart, one after another.
std::wstring PendingRenames() {
  wchar_t pending[4096] = {0};
  DWORD size = sizeof(pending) - sizeof(wchar_t);
  RegGetValueW(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\Session Manager",
               L"PendingFileRenameOperations", RRF_RT_REG_MULTI_SZ, nullptr, pending, &size);
  return std::wstring(pending, size / sizeof(wchar_t));
}

// The uninstaller's copy removes it once it has ended.
bool WaitGone(const std::wstring& path) {
  for (int tries = 0; tries < 100 && Exists(path); ++tries) Sleep(100);
  return !Exists(path);
}

}  // namespace

TEST(Uninstall, DamagedOrNoChangesNothingYesClosesTheProductAndLeavesNothing) {
  InstallEverything();
  const std::wstring everything = Leftovers(), folder = ProposedFolder();
  ASSERT_EQ(6u, std::count(everything.begin(), everything.end(), L'\n')) << everything;
  ProgramRun product(folder + L"\\Pebble.exe");
  ASSERT_NE(nullptr, UiWaitWindow(product.process.id, L"PebbleNotesWindow"));

  std::vector<uint8_t> program = ReadBytes(UninstallProgram());
  std::ofstream((folder + L"\\Cut.exe").c_str(), std::ios::binary)
      .write(reinterpret_cast<char*>(program.data()), program.size() - 1);
  ProgramRun cut(folder + L"\\Cut.exe");
  UiMessageBox box = cut.WaitMessage();
  EXPECT_EQ(L"Uninstall: This uninstaller is damaged. Nothing has been removed.", box.caption + L": " + box.text);
  EXPECT_TRUE(UiAnswer(box, IDOK));
  EXPECT_EQ(2, cut.WaitExit());
  ASSERT_TRUE(DeleteFileW((folder + L"\\Cut.exe").c_str()));

  ProgramRun no(UninstallCommand());
  box = no.WaitMessage();
  EXPECT_EQ(kEnglish.removeQuestion, box.caption + L": " + box.text);
  EXPECT_TRUE(UiAnswer(box, IDNO));
  EXPECT_EQ(1, no.WaitExit());
  EXPECT_EQ(everything, Leftovers());
  EXPECT_EQ(-1, UiWaitExit(product.process, 0)) << "the product was closed";

  ProgramRun yes(UninstallCommand());
  EXPECT_TRUE(UiAnswer(yes.WaitMessage(), IDYES));
  EXPECT_EQ(0, product.WaitExit()) << "the running product was not closed";
  box = yes.WaitMessage();
  EXPECT_EQ(kEnglish.removed, box.caption + L": " + box.text);
  EXPECT_TRUE(UiAnswer(box, IDOK));
  EXPECT_EQ(0, yes.WaitExit());
  EXPECT_TRUE(WaitGone(folder));
  EXPECT_EQ(L"", Leftovers());
}

// /S, for deployment tools: no window, exit code 0, nothing left. Before, a
// switch not understood changes nothing (exit code 5), and neither does a copy
// of the uninstaller in another folder: the entry is not its own.
TEST(Uninstall, SilentRemovesWithoutAWindow) {
  InstallEverything();
  const std::wstring everything = Leftovers(), other = L"C:\\Other";
  for (const wchar_t* refused : {L"/Q", L"/X=4294967295", L"/X=12344"}) {
    ProgramRun run(UninstallProgram(), refused);
    EXPECT_EQ(5, UiWaitExit(run.process, 3000)) << refused;
  }
  CreateDirectoryW(other.c_str(), nullptr);
  ASSERT_TRUE(CopyFileW(UninstallProgram().c_str(), (other + L"\\UnInst.exe").c_str(), FALSE));
  EXPECT_EQ(0, ProgramRun(other + L"\\UnInst.exe", L"/S").WaitExit());
  EXPECT_EQ(everything, Leftovers());

  ProgramRun silent(UninstallCommand(L"QuietUninstallString"));
  EXPECT_EQ(nullptr, silent.WaitMessage(3000).window) << "a window showed";
  EXPECT_EQ(0, silent.WaitExit());
  EXPECT_TRUE(WaitGone(ProposedFolder()));
  EXPECT_EQ(L"", Leftovers());
  // Everything went now: nothing waits for a restart that could delete a later install.
  EXPECT_EQ(std::wstring::npos, PendingRenames().find(ProposedFolder())) << "scheduled for the restart";
}

// A file of the user's stays, and so does its folder; a program in use (mapped
// here) goes at the next restart, renamed so that the restart cannot hit a
// file installed under its name since; a file held open without delete sharing
// cannot be renamed and stays. The last message says all, and the exit code too.
TEST(Uninstall, TheUsersFileAndOneInUseStayAndTheMessageSaysSo) {
  InstallEverything();
  const std::wstring folder = ProposedFolder();
  std::ofstream((folder + L"\\My notes.txt").c_str()) << "mine";
  HANDLE held = CreateFileW((folder + L"\\Readme.txt").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, held);
  HMODULE inUse = LoadLibraryExW((folder + L"\\Pebble.exe").c_str(), nullptr, LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  ASSERT_NE(nullptr, inUse);
  ProgramRun run(UninstallCommand());
  EXPECT_TRUE(UiAnswer(run.WaitMessage(), IDYES));
  UiMessageBox box = run.WaitMessage();
  EXPECT_EQ(L"Pebble Notes has been removed from this computer.\n\nThe folder " + folder +
                L" stays: it holds files that were not installed.\n\n"
                L"These files are in use and will be deleted when Windows restarts:\nPebble.exe\n\n"
                L"These files could not be deleted:\nReadme.txt",
            box.text);
  EXPECT_TRUE(UiAnswer(box, IDOK));
  EXPECT_EQ(3, run.WaitExit());
  CloseHandle(held);
  FreeLibrary(inUse);
  EXPECT_TRUE(WaitGone(folder + L"\\UnInst.exe"));
  EXPECT_EQ(folder + L"\n", Leftovers());
  std::vector<std::wstring> left;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    left.push_back(entry.path().filename().wstring());
  }
  std::sort(left.begin(), left.end());
  ASSERT_EQ(3u, left.size());
  const std::wstring parked = left[2];
  EXPECT_EQ(std::vector<std::wstring>({L"My notes.txt", L"Readme.txt", parked}), left);
  EXPECT_EQ(L"del", parked.substr(0, 3));
  const std::wstring renames = PendingRenames();
  EXPECT_NE(std::wstring::npos, renames.find(folder + L"\\" + parked)) << "not scheduled for the restart";
  EXPECT_EQ(std::wstring::npos, renames.find(folder + L"\\Pebble.exe")) << "scheduled under the name a later install uses";
  EXPECT_EQ(std::wstring::npos, renames.find(folder + L"\\Readme.txt")) << "scheduled though not in use by a program";
}

// The uninstaller asks and answers in the system's language too.
void UninstallInLanguage(const Language& language) {
  ProgramRun run(UninstallCommand());
  UiMessageBox box = run.WaitMessage();
  EXPECT_EQ(language.removeQuestion, box.caption + L": " + box.text);
  EXPECT_TRUE(UiAnswer(box, IDYES));
  box = run.WaitMessage();
  EXPECT_EQ(language.removed, box.caption + L": " + box.text);
  EXPECT_TRUE(UiAnswer(box, IDOK));
  EXPECT_EQ(0, run.WaitExit());
  EXPECT_TRUE(WaitGone(ProposedFolder()));
  EXPECT_EQ(L"", Leftovers());
}

TEST(GermanSystem, BrokenFileMessageThenFirstInstallThenUninstall) {
  InstallInLanguage(kGerman);
  UninstallInLanguage(kGerman);
}

TEST(ItalianSystem, BrokenFileMessageThenFirstInstallThenUninstall) {
  InstallInLanguage(kItalian);
  UninstallInLanguage(kItalian);
}

// The installer's search for DLLs (hardening_dll_search): a DLL built under the
// name of a system DLL (tests/hardening/planted_dll.c) lies in the installer's
// folder, as a download folder might hold one, and in the folder of the
// uninstaller's temporary copy; Wine is told to prefer a native DLL of that
// name to its own. It is shcore.dll, which shell32 imports: a program that
// imported shell32 took the planted copy as it started. A program that leaves
// the search order alone takes the planted copy; the installer and the
// uninstaller's copy, asked to load that DLL by name once they run, take the
// system folder's.
//
// Wine's own late loads cannot serve as the trigger: its user32 loads
// uxtheme.dll while COMCTL32 starts, before the installer's code runs, and its
// builtin DLLs resolve their delayed imports through the search path the
// process started with, whatever SetDefaultDllDirectories said since. So the
// test makes the late load itself: a thread started in the process calls
// LoadLibraryW with the bare name, as a delayed import or a system component
// does on Windows; LoadLibraryW lies at the same address in every process.
namespace {

const wchar_t kPlanted[] = L"shcore.dll";

// A folder with the planted DLL and a copy of the program named by `variable`; the copy's path.
std::wstring PlantBeside(const std::wstring& folder, const wchar_t* variable) {
  std::wstring program = E2eInput(variable), copy = folder + program.substr(program.find_last_of(L'\\'));
  CreateDirectoryW(folder.c_str(), nullptr);
  EXPECT_TRUE(CopyFileW(E2eInput(L"E2E_PLANTED_DLL").c_str(), (folder + L"\\" + kPlanted).c_str(), FALSE));
  EXPECT_TRUE(CopyFileW(program.c_str(), copy.c_str(), FALSE)) << "cannot copy " << program;
  return copy;
}

// Runs kernel32's function with argument in a new thread of the process and
// waits for it. A new thread runs only once the process has loaded its imports.
void RunInside(HANDLE process, const char* function, void* argument) {
  void* call = reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), function));
  HANDLE thread = CreateRemoteThread(process, nullptr, 0, reinterpret_cast<LPTHREAD_START_ROUTINE>(call), argument,
                                     0, nullptr);
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, kUiWaitMs)) << "no thread ran in the process";
  if (thread != nullptr) CloseHandle(thread);
}

// The path, in lower case, of the process's module named as the planted DLL; empty when there is none.
std::wstring PlantedNameInside(HANDLE process) {
  HMODULE modules[1024];
  DWORD size = 0;
  EnumProcessModules(process, modules, sizeof(modules), &size);
  for (DWORD i = 0; i < size / sizeof(HMODULE); ++i) {
    wchar_t path[MAX_PATH] = {0};
    GetModuleFileNameExW(process, modules[i], path, MAX_PATH);
    const wchar_t* file = wcsrchr(path, L'\\');
    if (file != nullptr && lstrcmpiW(file + 1, kPlanted) == 0) return CharLowerW(path);
  }
  return L"";
}

// Loads the planted DLL's name inside the process and gives the path of the module of that name it then holds.
std::wstring LoadByNameInside(HANDLE process) {
  void* remote = VirtualAllocEx(process, nullptr, sizeof(kPlanted), MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  EXPECT_TRUE(remote != nullptr && WriteProcessMemory(process, remote, kPlanted, sizeof(kPlanted), nullptr));
  RunInside(process, "LoadLibraryW", remote);
  return PlantedNameInside(process);
}

std::wstring Lower(std::wstring text) { return CharLowerW(&text[0]); }

}  // namespace

TEST(DllSearchOrder, PlantedDllIsTakenByAProgramButNotByTheInstaller) {
  std::wstring overrides = _wgetenv(L"WINEDLLOVERRIDES") != nullptr ? _wgetenv(L"WINEDLLOVERRIDES") : L"";
  SetEnvironmentVariableW(L"WINEDLLOVERRIDES", (overrides + L";shcore=n,b").c_str());  // for programs started here
  wchar_t system[MAX_PATH] = {0};
  GetSystemDirectoryW(system, MAX_PATH);
  const std::wstring systemCopy = Lower(system + std::wstring(L"\\") + kPlanted);

  // The premise: without it the installer's check would pass whatever the installer did.
  const std::wstring programFolder = L"C:\\planted-beside-a-program";
  ProgramRun product(PlantBeside(programFolder, L"E2E_PRODUCT"));
  UiWaitWindow(product.process.id, L"PebbleNotesWindow");
  EXPECT_EQ(Lower(programFolder + L"\\" + kPlanted), LoadByNameInside(product.process.process))
      << "Wine did not take the planted DLL from the program's folder: the premise of this test is gone";

  // The uninstaller's copy as the uninstaller starts it: /X= names an inherited process handle.
  HANDLE original = nullptr;
  ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), product.process.process, GetCurrentProcess(), &original,
                              SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, TRUE, 0));
  std::wstring copy = PlantBeside(L"C:\\temporary-copy", L"E2E_UNINSTALLER");
  std::wstring command = L"\"" + copy + L"\" /X=" + std::to_wstring(reinterpret_cast<ULONG_PTR>(original));
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION copyRun = {};
  ASSERT_TRUE(CreateProcessW(copy.c_str(), &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                             &copyRun));
  CloseHandle(original);
  // The copy shows no window to wait for, and a name it loads is not its load-time imports: those are checked.
  RunInside(copyRun.hProcess, "Sleep", nullptr);
  EXPECT_NE(Lower(copy.substr(0, copy.find_last_of(L'\\') + 1) + kPlanted), PlantedNameInside(copyRun.hProcess))
      << "the uninstaller's copy took the planted DLL as it started";
  UiRelease(&product.process);
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(copyRun.hProcess, kUiWaitMs)) << "the copy did not end with the product";
  CloseHandle(copyRun.hProcess);
  CloseHandle(copyRun.hThread);

  ProgramRun run(PlantBeside(L"C:\\downloads", L"E2E_SAMPLE_INSTALLER"));
  HWND dialog = run.WaitDialog();
  ASSERT_NE(nullptr, dialog) << "no setup dialog";
  EXPECT_EQ(systemCopy, LoadByNameInside(run.process.process)) << "in the installer";

  ASSERT_TRUE(UiPress(dialog, kCancelButtonId));
  EXPECT_EQ(0, run.WaitExit());
}

// The installer holds its own file, shared for reading only, from start-up to
// exit (hardening_locked_installer): while the dialog is open nobody can rename,
// replace or delete it, so Install writes the payload the scan checked and not
// one copied into its place.
TEST(LockedInstaller, RenamingOrReplacingFailsAndTheScannedPayloadInstalls) {
  const std::wstring folder = L"C:", installer = folder + L"\\Setup.exe", product = folder + L"\\P.exe";
  // The premise: Wine lets the file of a running program that holds no handle on it be renamed.
  ASSERT_TRUE(CopyFileW(E2eInput(L"E2E_PRODUCT").c_str(), product.c_str(), FALSE));
  {
    ProgramRun running(product);
    ASSERT_NE(nullptr, UiWaitWindow(running.process.id, L"PebbleNotesWindow"));
    EXPECT_TRUE(MoveFileW(product.c_str(), (folder + L"\\Renamed.exe").c_str())) << "the premise of this test is gone";
  }

  ASSERT_TRUE(CopyFileW(E2eInput(L"E2E_SAMPLE_INSTALLER").c_str(), installer.c_str(), FALSE));
  ProgramRun run(installer);
  HWND dialog = run.WaitDialog();
  ASSERT_NE(nullptr, dialog) << "no setup dialog";
  EXPECT_FALSE(MoveFileW(installer.c_str(), (folder + L"\\Old.exe").c_str())) << "renamed";
  EXPECT_FALSE(CopyFileW(E2eInput(L"E2E_TINY_INSTALLER").c_str(), installer.c_str(), FALSE)) << "replaced";
  EXPECT_FALSE(DeleteFileW(installer.c_str())) << "deleted";
  ExpectSuccess(&run, dialog, L"Pebble Notes", kEnglish);
  ExpectSampleFiles(ProposedFolder(), {});
}

// The installer as a deployment tool runs it: from a script, switches only,
// reading its exit code and log, with nothing on the screen.
namespace {

// A run with switches that must show no window: its exit code, or -1 when a
// window showed (the run is then ended) or it did not end within a minute.
long RunWithoutWindow(const std::wstring& program, const std::wstring& switches) {
  ProgramRun run(program, switches);
  for (int tries = 0; tries < 3000 && UiWaitExit(run.process, 20) == -1; ++tries) {
    if (!UiTopWindows(run.process.id, L"#32770").empty()) {
      ADD_FAILURE() << "a window showed for " << switches;
      return -1;
    }
  }
  return run.WaitExit();
}

std::string ReadText(const std::wstring& path) {
  std::vector<uint8_t> bytes = ReadBytes(path);
  return std::string(bytes.begin(), bytes.end());
}

}  // namespace

TEST(Deploy, SilentInstallAsPlannedThenTheQuietCommandRemovesIt) {
  ASSERT_EQ(0, SHCreateDirectoryExW(nullptr, QuickLaunch().c_str(), nullptr));
  const std::wstring installer = E2eInput(L"E2E_SAMPLE_INSTALLER");
  EXPECT_EQ(0, RunWithoutWindow(installer, L"/S /LOG=C:\\deploy.log /D=" + kOwnFolder));
  ExpectSampleFiles(kOwnFolder, {});
  ExpectAsPlanned(L"E2E_SAMPLE_PLAN", kEnglish.texts, kEnglish.items, {});
  EXPECT_EQ(L"1.2", Registry(HKEY_LOCAL_MACHINE, kUninstallKey, L"DisplayVersion"));
  const std::string log = ReadText(L"C:\\deploy.log");
  const std::string readme = "file: C:\\Apps\\Pebble Notes\\Readme.txt (" +
                             std::to_string(std::filesystem::file_size(kOwnFolder + L"\\Readme.txt")) + " bytes)\r\n";
  for (const char* line : {"mode: silent\r\n", "destination: C:\\Apps\\Pebble Notes\r\n", readme.c_str(),
                           "\\Uninstall\\Pebble Notes\\NoRepair = 1\r\n",
                           "shortcut: ", "\\Pebble Notes.lnk -> C:\\Apps\\Pebble Notes\\Pebble.exe\r\n",
                           "record: UnInst.dat\r\n", "result: installed\r\n", "exit code: 0\r\n"}) {
    EXPECT_NE(std::string::npos, log.find(line)) << line << " is not in the log:\n" << log;
  }

  ProgramRun quiet(UninstallCommand(L"QuietUninstallString"));
  EXPECT_EQ(nullptr, quiet.WaitMessage(3000).window) << "a window showed";
  EXPECT_EQ(0, quiet.WaitExit());
  EXPECT_TRUE(WaitGone(kOwnFolder));
  EXPECT_EQ(L"", Leftovers());
}

// A damaged installer, a folder that cannot be made, a switch not understood
// and a relative folder: each its own exit code, no window, nothing installed.
TEST(Deploy, FailuresGiveTheirExitCodesWithoutAWindow) {
  std::vector<uint8_t> installer = ReadBytes(E2eInput(L"E2E_SAMPLE_INSTALLER"));
  std::ofstream(L"C:\\Cut.exe", std::ios::binary)
      .write(reinterpret_cast<char*>(installer.data()), installer.size() - 1000);
  EXPECT_EQ(2, RunWithoutWindow(L"C:\\Cut.exe", L"/S"));
  EXPECT_EQ(4, RunWithoutWindow(E2eInput(L"E2E_SAMPLE_INSTALLER"), L"/S /LOG=C:\\missing.log /D=Q:\\Pebble Notes"));
  const std::string log = ReadText(L"C:\\missing.log");
  EXPECT_NE(std::string::npos, log.find("file: Q:\\Pebble Notes\\Pebble.exe")) << log;
  EXPECT_NE(std::string::npos, log.find("exit code: 4\r\n")) << log;
  EXPECT_EQ(std::string::npos, log.find("record:")) << "no record can have been written:\n" << log;
  EXPECT_NE(std::string::npos, log.find("\r\nmessage: ")) << "the error shown in a dialog run is logged:\n" << log;
  for (const wchar_t* switches : {L"/S /bogus", L"/S /D=relative\\dir", L"/S /D=\\dir", L"/S /D=C:dir"}) {
    EXPECT_EQ(5, RunWithoutWindow(E2eInput(L"E2E_SAMPLE_INSTALLER"), switches)) << switches;
  }
  EXPECT_EQ(6, RunWithoutWindow(E2eInput(L"E2E_SAMPLE_INSTALLER"), L"/S /LOG=Q:\\no\\setup.log"));
  ExpectNothingInstalled();
}

// Without /S: /D= fills the dialog, a relative folder typed there is refused
// with a message and the dialog stays; a word not understood, and /?, show the
// switches.
TEST(Deploy, FolderSwitchFillsTheDialogAndARelativeFolderIsRefused) {
  {
    ProgramRun run(E2eInput(L"E2E_SAMPLE_INSTALLER"), L"/D=C:\\Given Folder\\Pebble");
    HWND dialog = run.WaitDialog();
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ(L"C:\\Given Folder\\Pebble", UiControlText(dialog, kDestinationEditId));
    for (const wchar_t* relative : {L"relative\\dir", L"\\dir", L"C:dir"}) {
      ASSERT_TRUE(UiSetText(dialog, kDestinationEditId, relative));
      ASSERT_TRUE(UiPress(dialog, kInstallButtonId));
      UiMessageBox box = run.WaitMessage();
      EXPECT_EQ(L"The destination folder must be a full path, such as C:\\Program Files\\Product or "
                L"\\\\server\\share\\Product.", box.text) << relative;
      ASSERT_TRUE(UiAnswer(box, IDOK));
      EXPECT_TRUE(IsWindowVisible(dialog));
    }
    ASSERT_TRUE(UiPress(dialog, kCancelButtonId));
    EXPECT_EQ(0, run.WaitExit());
  }
  EXPECT_FALSE(Exists(L"C:\\Given Folder"));
  ExpectNothingInstalled();
  for (const wchar_t* switches : {L"/bogus", L"/?"}) {
    ProgramRun run(E2eInput(L"E2E_SAMPLE_INSTALLER"), switches);
    UiMessageBox box = run.WaitMessage();
    EXPECT_NE(std::wstring::npos, box.text.find(L"/D=folder\tthe destination folder")) << box.text;
    EXPECT_EQ(switches[1] == L'?', box.text.find(L"not understood: /bogus") == std::wstring::npos) << box.text;
    ASSERT_TRUE(UiAnswer(box, IDOK));
    EXPECT_EQ(switches[1] == L'?' ? 0 : 5, run.WaitExit()) << switches;
  }
}

// Versions of one product over each other, as users and deployment tools run
// them (E2E_TOOL_1_1 and E2E_TOOL_1_3, silent unless said otherwise).
namespace {

const wchar_t kToolFolder[] = L"C:\\Apps\\Tool";
const wchar_t kToolKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tool";

long InstallTool(const wchar_t* version, const std::wstring& more = L"") {
  const std::wstring variable = std::wstring(L"E2E_TOOL_") + version;
  return RunWithoutWindow(E2eInput(variable.c_str()), L"/S " + more + L" /D=" + kToolFolder);
}

// The folder's files, sorted, with Common.txt's contents: "Common.txt=1.3 New1.3.txt ...".
std::wstring ToolFiles() {
  std::vector<std::wstring> names;
  if (!Exists(kToolFolder)) return L"(no folder)";
  // The uninstaller's copy may still hold the folder for deletion a moment after its program went.
  std::error_code held;
  std::filesystem::directory_iterator files;
  for (int tries = 0; tries < 50 && (files = std::filesystem::directory_iterator(kToolFolder, held), held); ++tries) Sleep(100);
  for (const auto& entry : files) {
    std::wstring name = entry.path().filename().wstring();
    if (name == L"Common.txt") {
      std::vector<uint8_t> bytes = ReadBytes(entry.path().wstring());
      name += L"=" + std::wstring(bytes.begin(), bytes.end());
    }
    names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  std::wstring text;
  for (const auto& name : names) text += (text.empty() ? L"" : L" ") + name;
  return text;
}

long UninstallToolQuietly() {
  ProgramRun run(UiCommand{Registry(HKEY_LOCAL_MACHINE, kToolKey, L"QuietUninstallString")});
  long code = run.WaitExit();
  WaitGone(std::wstring(kToolFolder) + L"\\UnInst.exe");
  return code;
}

}  // namespace

TEST(Upgrade, NewerOverOlderThenUninstallLeavesOnlyTheUsersFile) {
  ASSERT_EQ(0, InstallTool(L"1_1"));
  std::ofstream((std::wstring(kToolFolder) + L"\\Mine.txt").c_str()) << "mine";
  ASSERT_EQ(0, InstallTool(L"1_3"));
  EXPECT_EQ(L"Common.txt=1.3 FILE_ID.DIZ Mine.txt New1.3.txt Old1.1.txt UnInst.dat UnInst.exe", ToolFiles());
  EXPECT_EQ(L"1.3", Registry(HKEY_LOCAL_MACHINE, kToolKey, L"DisplayVersion"));
  EXPECT_EQ(0, UninstallToolQuietly());
  EXPECT_EQ(L"Mine.txt", ToolFiles()) << "a file of either version remained";
  EXPECT_EQ(L"", Registry(HKEY_LOCAL_MACHINE, kToolKey, L"DisplayName"));
  std::filesystem::remove_all(kToolFolder);
}

// 1.3, then 1.1 over it: silent, refused (7) unless allowed; in the dialog, a
// question naming both versions: No leaves everything and the dialog open, Yes installs.
TEST(Upgrade, OlderOverNewerAsksOrIsRefused) {
  ASSERT_EQ(0, InstallTool(L"1_3"));
  const std::wstring installed = ToolFiles();
  EXPECT_EQ(7, InstallTool(L"1_1"));
  EXPECT_EQ(installed, ToolFiles());

  ProgramRun run(E2eInput(L"E2E_TOOL_1_1"), std::wstring(L"/D=") + kToolFolder);
  HWND dialog = run.WaitDialog();
  ASSERT_NE(nullptr, dialog);
  for (int answer : {IDNO, IDYES}) {
    ASSERT_TRUE(UiPress(dialog, kInstallButtonId));
    UiMessageBox box = run.WaitMessage();
    EXPECT_EQ(L"Version 1.3 of Tool is installed. Install the older version 1.1?", box.text);
    ASSERT_TRUE(UiAnswer(box, answer));
    if (answer == IDNO) {
      EXPECT_EQ(L"", run.WaitMessage(1500).text) << "a message after No";
      EXPECT_TRUE(IsWindowVisible(dialog));
      EXPECT_EQ(installed, ToolFiles()) << "No changed the folder";
    }
  }
  UiMessageBox done = run.WaitMessage();
  EXPECT_EQ(L"Tool has been successfully installed.", done.text);
  ASSERT_TRUE(UiAnswer(done, IDOK));
  EXPECT_EQ(0, run.WaitExit());
  EXPECT_EQ(L"1.1", Registry(HKEY_LOCAL_MACHINE, kToolKey, L"DisplayVersion"));
  EXPECT_EQ(L"Common.txt=1.1 FILE_ID.DIZ New1.3.txt Old1.1.txt UnInst.dat UnInst.exe", ToolFiles());
  EXPECT_EQ(0, InstallTool(L"1_3", L"/ALLOWDOWNGRADE"));
  EXPECT_EQ(0, InstallTool(L"1_1", L"/ALLOWDOWNGRADE"));
  EXPECT_EQ(0, UninstallToolQuietly());
  EXPECT_EQ(L"(no folder)", ToolFiles()) << "after 1.3, 1.1, 1.3 and 1.1 something remained";
}

// A record that was damaged: the uninstaller removes its own list and the
// record, and says that files may remain.
TEST(Upgrade, ADamagedOrMissingRecordFallsBackToTheUninstallersList) {
  for (bool missing : {false, true}) {
    SCOPED_TRACE(missing ? "no record" : "a damaged record");
    ASSERT_EQ(0, InstallTool(L"1_1"));
    ASSERT_EQ(0, InstallTool(L"1_3"));
    const std::wstring record = std::wstring(kToolFolder) + L"\\UnInst.dat";
    if (!missing) std::ofstream(record.c_str(), std::ios::app) << "x";
    ASSERT_TRUE(!missing || DeleteFileW(record.c_str()));
    ProgramRun run(UiCommand{Registry(HKEY_LOCAL_MACHINE, kToolKey, L"UninstallString")});
    ASSERT_TRUE(UiAnswer(run.WaitMessage(), IDYES));
    UiMessageBox box = run.WaitMessage();
    EXPECT_NE(std::wstring::npos, box.text.find(L"files of those versions may remain")) << box.text;
    ASSERT_TRUE(UiAnswer(box, IDOK));
    EXPECT_EQ(0, run.WaitExit());
    WaitGone(std::wstring(kToolFolder) + L"\\UnInst.exe");
    EXPECT_EQ(L"Old1.1.txt", ToolFiles()) << "only what the record alone knew should remain";
  }
}

// The installer on screens of 100 %, 150 % and 200 % (the LogPixels setting,
// which Wine reads when a program starts): the dialog and the title line's text
// grow in proportion, and a picture of each is kept.
TEST(HighDpi, DialogAndTitleGrowWithTheScreen) {
  const int kDpis[] = {96, 144, 192};
  SIZE client[3] = {}, title[3] = {};
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(kDpis[i]);
    DWORD dpi = static_cast<DWORD>(kDpis[i]);
    ASSERT_EQ(ERROR_SUCCESS, RegSetKeyValueW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", L"LogPixels", REG_DWORD,
                                             &dpi, sizeof dpi));
    ProgramRun run(E2eInput(L"E2E_SAMPLE_INSTALLER"));
    HWND dialog = run.WaitDialog();
    ASSERT_NE(nullptr, dialog);
    EXPECT_EQ(kEnglish.texts, DialogTexts(dialog));
    RECT rect = {};
    GetClientRect(dialog, &rect);
    client[i] = {rect.right, rect.bottom};
    EXPECT_TRUE(UiCaptureWindow(dialog, E2eInput(L"E2E_SCREENSHOTS") + L"\\dialog-dpi" + std::to_wstring(dpi) + L".bmp"));
    title[i] = UiInkSize(GetDlgItem(dialog, kTitleLineId));
    UiPress(dialog, kCancelButtonId);
    EXPECT_EQ(0, run.WaitExit());
  }
  ASSERT_GT(title[0].cy, 0) << "no text in the title line";
  // The dialog manager measures its font at each DPI in whole pixels (8 points
  // are 11 pixels at 96 DPI but 21, not 22, at 192) and rounds the average
  // character size again, so the dialog's sides follow the DPI within about a
  // tenth; glyphs are fitted to the pixel grid, a pixel or two per line of text.
  for (int i = 1; i < 3; ++i) {
    SCOPED_TRACE(kDpis[i]);
    double scale = kDpis[i] / 96.0;
    EXPECT_NEAR(client[0].cx * scale, client[i].cx, client[0].cx * scale * 0.1) << "dialog width";
    EXPECT_NEAR(client[0].cy * scale, client[i].cy, client[0].cy * scale * 0.1) << "dialog height";
    EXPECT_NEAR(title[0].cx * scale, title[i].cx, title[0].cx * scale * 0.05 + 2) << "title width";
    EXPECT_NEAR(title[0].cy * scale, title[i].cy, title[0].cy * scale * 0.05 + 2) << "title height";
  }
}
