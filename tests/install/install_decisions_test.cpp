#include "install/install_decisions.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "archive/archive_pass.h"
#include "install/install_record.h"
#include "archive/lzma_test_util.h"
#include "setupkit/entry_stream_writer.h"
#include "test_files.h"
#include "text/bounded_text.h"
#include "text/product_description.h"

namespace {

std::string Ascii(const char16_t* text) { return std::string(text, text + WideLength(text)); }
// Windows-1252 as it maps Latin-1's range: enough for these names.
std::u16string Wide(const std::string& text) {
  std::u16string wide;
  for (unsigned char c : text) wide += c;
  return wide;
}

// The language list of the filter cases: FR unchecked, US and DE checked, nothing else.
int CheckOf(uint32_t code, void*) {
  if (code == LanguageCode4FromNarrow("FR")) return 1;
  return code == LanguageCode4FromNarrow("US") || code == LanguageCode4FromNarrow("DE") ? 2 : 0;
}

// The path an entry is written to, or "-" when it is skipped.
std::string Decide(InstallState* state, const std::string& stored, const char16_t* base = u"Product") {
  char16_t name[1024];
  CopyWide(Wide(stored).c_str(), name, 1024);
  return DecideInstallEntry(name, base, CheckOf, nullptr, state) == kInstallWrite ? Ascii(name) : "-" + Ascii(name);
}

int RecordDecision(char16_t* name, const uint8_t* data, uint32_t, void* names) {
  if (data == nullptr) *static_cast<std::string*>(names) += Ascii(name) + "|";
  return 0;
}

}  // namespace

// Names a packer never writes, from a crafted payload or product description. As
// an entry's last component a name of column 2 ends the scan as a broken payload
// before that entry reaches its handler; column 3 says whether it may be the
// product name, column 4 whether it may be the main program.
TEST(HostileNames, EntriesProductAndMainProgram) {
  const struct { const char* name; bool brokenEntry, product, mainProgram; } kCases[] = {
      {"CON", 1, 0, 0}, {"con.txt", 1, 0, 0}, {"Nul .txt", 1, 0, 0}, {"Docs\\Com1.log", 1, 0, 0}, {"lPt9", 1, 0, 0},
      {"aux.a.b", 1, 0, 0}, {"prn", 1, 0, 0}, {"conin$", 1, 0, 0}, {"COM\xB9.txt", 1, 0, 0}, {"lpt\xB2", 1, 0, 0},
      {"Com\xB3.log", 1, 0, 0}, {"CONOUT$.x", 1, 0, 0}, {"LPT\xB4", 0, 1, 1}, {"COM", 0, 1, 1}, {"CONOUT", 0, 1, 1}, {"trail.", 1, 1, 0}, {"trail ", 1, 1, 0}, {"a/.", 1, 0, 0},
      {"..", 1, 0, 0}, {"...", 1, 0, 0}, {"x:stream", 1, 0, 0}, {"C:evil", 1, 0, 0},
      {"..\\..\\..\\X", 0, 0, 0}, {"..\\Windows\\notepad.exe", 0, 0, 0}, {"a/b", 0, 0, 0},
      {"CON\\x.exe", 0, 0, 0}, {"Pro*", 0, 0, 0}, {"a?<b>", 0, 0, 0}, {"q\"|", 0, 0, 0}, {"tab\tname", 0, 0, 0},
      {"COM10", 0, 1, 1}, {"COM0", 0, 1, 1}, {"Console.txt", 0, 1, 1}, {"com1x", 0, 1, 1}, {"a..b.exe", 0, 1, 1},
      {".profile", 0, 1, 1}, {"Pebble Notes", 0, 1, 1}, {"", 1, 0, 0}};
  for (const auto& c : kCases) {
    std::string names, installer = TestWriteStreamInstaller(
                           BuildEntryStream({"HVX", "", ""}, 32, {{"first", {1}}, {c.name, {2}}, {"last", {3}}}));
    int result = ArchivePass(TestWidePath(installer).c_str(), RecordDecision, &names);
    EXPECT_EQ(c.brokenEntry ? "-1 first|" : "0 first|" + std::string(c.name) + "|last|",
              std::to_string(result) + " " + names) << c.name;
    EXPECT_EQ(c.product, IsUsableProductName(Wide(c.name).c_str())) << c.name;
    EXPECT_EQ(c.mainProgram, IsUsableMainProgramName(Wide(c.name).c_str())) << c.name;
  }
}

TEST(InstallDecision, LanguageFilterFlatteningAndProgramNames) {
  InstallState state = {};
  CopyWide(u"C:\\Apps", state.destination, 1024);
  const char* const kCases[][2] = {
      {"Product_FR.LNG", "-"}, {"Product_DE.LNG", "C:\\Apps\\Product_DE.LNG"}, {"Product_fr.hlp", "-"},
      {"Lang\\Product_FR.LNG", "-"}, {"Product_XY.LNG", "C:\\Apps\\Product_XY.LNG"},
      {"Product_French.LNG", "C:\\Apps\\Product_French.LNG"}, {"Xyzabcd_FR.txt", "-"},
      {"Docs\\Readme.txt", "C:\\Apps\\Readme.txt"}, {"", "-"},
      // S starts after the first backslash only.
      {"A\\B\\Product_FR.LNG", "C:\\Apps\\Product_FR.LNG"}, {"Lang/Product_FR.LNG", "C:\\Apps\\Product_FR.LNG"},
      // Programs: the first "E...exe" of fitting length is the main one; "UnInst.exe" the uninstaller.
      {"Main.exe", "C:\\Apps\\Main.exe"}, {"Bin\\UNINST.EXE", "C:\\Apps\\UNINST.EXE"},
      {"eLongerThanThirtyOneCharacters.exe", "C:\\Apps\\eLongerThanThirtyOneCharacters.exe"},
      {"e.exe", "C:\\Apps\\e.exe"}, {"Extra.exe", "C:\\Apps\\Extra.exe"}};
  for (const auto& c : kCases) EXPECT_EQ(c[1], Decide(&state, c[0])) << c[0];
  EXPECT_EQ("e.exe|UNINST.EXE", Ascii(state.mainProgram) + "|" + Ascii(state.uninstaller));
  EXPECT_EQ("-", Decide(&state, "Docs\\_fr", u""));
  EXPECT_EQ("C:\\Apps\\Readme_FR.txt", Decide(&state, "Readme_FR.txt", u""));
  CopyWide(u"D:\\Tool/", state.destination, 1024);
  EXPECT_EQ("D:\\Tool/Readme.txt", Decide(&state, "A/B\\Readme.txt"));
  EXPECT_EQ(0u, state.pathError);
  // A path that would be cut is refused and remembered, never written short.
  std::string deep(1015, 'd');
  CopyWide(Wide(deep).c_str(), state.destination, 1024);
  EXPECT_EQ("-", Decide(&state, "Readme.txt"));
  EXPECT_EQ(kErrorPathTooLong, state.pathError);
  EXPECT_EQ(deep + "\\Read", Decide(&state, "Read"));
}

TEST(InstallDecision, ProgramFilesQuickLaunchAndShortcutPaths) {
  const std::string root = TestTempDir();
  char16_t path[1024];
  auto call = [&](void (*decide)(char16_t*, int), const std::string& folder) {
    CopyWide(TestWidePath(folder).c_str(), path, 1024);
    decide(path, 1024);
    return Ascii(path);
  };
  EXPECT_EQ(root + "\\Program Files", call(ProgramFilesBesideWindows, root + "/Windows"));
  std::filesystem::create_directory(root + "/Programme");
  EXPECT_EQ(root + "\\Programme", call(ProgramFilesBesideWindows, root + "/Windows"));
  EXPECT_EQ("", call(ProgramFilesBesideWindows, "Windows"));
  EXPECT_EQ("", call(QuickLaunchFolderBelow, root));
  std::filesystem::create_directories(root + "/Microsoft/Internet Explorer/Quick Launch/User Pinned");
  EXPECT_EQ(root + "\\Microsoft\\Internet Explorer\\Quick Launch", call(QuickLaunchFolderBelow, root));
  std::filesystem::create_directories(root + "/Microsoft/Internet Explorer/Quick Launch/User Pinned/TaskBar");
  EXPECT_EQ("", call(QuickLaunchFolderBelow, root));

  for (const char16_t* name : {u"\\Tool", u"Tool", u"", u"\\"}) {
    // One leading separator is dropped; a path one unit too long, or no name, gives none.
    std::string built = BuildShortcutPath(u"C:\\Desktop", name, path, name[0] == u'T' ? 19 : 20) ? "1 " : "0 ";
    EXPECT_EQ(name[0] == u'\\' && name[1] == u'T' ? "1 C:\\Desktop\\Tool.lnk" : "0 ", built + Ascii(path));
  }
}

// What a run without a dialog decides in the dialog's place, and how a stored
// registry text is ended.
TEST(InstallDecision, ChoicesWithoutADialogAndRegistryTexts) {
  LanguageChoices choices = {};
  const uint32_t us = LanguageCode4FromNarrow("US"), fr = LanguageCode4FromNarrow("FR");
  for (uint32_t code : {us, fr, us}) AddLanguageChoice(&choices, code);
  EXPECT_EQ(2, choices.count);
  EXPECT_EQ(2, LanguageChoiceCheckOf(fr, &choices));
  EXPECT_EQ(0, LanguageChoiceCheckOf(LanguageCode4FromNarrow("IT"), &choices)) << "no such item";
  for (uint32_t code = 1; code <= kLanguageChoiceMax; ++code) AddLanguageChoice(&choices, code);
  EXPECT_EQ(0, LanguageChoiceCheckOf(kLanguageChoiceMax - 1, &choices)) << "kept past the limit";

  // Over an existing installation English and German keep their marks, others only with their file there.
  const std::string root = TestTempDir();
  const std::u16string folder = TestWidePath(root);
  EXPECT_EQ(7, ProposedShortcuts(TestWidePath(root + "/new").c_str()));
  EXPECT_EQ(0, ProposedShortcuts(folder.c_str()));
  TestWriteFile(root + "/Product_FR.LNG", TestBytes("fr"));
  for (const char* code : {"US", "DE", "FR"}) {
    EXPECT_TRUE(KeepsLanguageCheck(folder.c_str(), u"Product", LanguageCode4FromNarrow(code))) << code;
  }
  EXPECT_FALSE(KeepsLanguageCheck(folder.c_str(), u"Product", LanguageCode4FromNarrow("IT")));

  // bytes as the read reported them: cut behind the last whole unit, or refused when no terminator fits.
  const struct { std::u16string stored; int capacity; uint32_t bytes; bool ok; std::string text; } texts[] = {
      {u"abcd", 8, 8, true, "abcd"}, {u"abcd", 8, 5, true, "ab"}, {u"abcd", 4, 8, false, ""},
      {std::u16string(u"abc\0", 4), 4, 8, true, "abc"}, {u"abcd", 0, 0, false, "abcd####"},
  };
  for (const auto& t : texts) {
    char16_t buffer[9] = {u'#', u'#', u'#', u'#', u'#', u'#', u'#', u'#', 0};
    std::copy(t.stored.begin(), t.stored.end(), buffer);
    EXPECT_EQ(t.ok, EndRegistryText(buffer, t.capacity, t.bytes)) << t.capacity << " " << t.bytes;
    EXPECT_EQ(t.text, Ascii(buffer)) << t.capacity << " " << t.bytes;
  }
}

// The uninstall entry and record steps as written, spelled out: setupkit's plan
// is made by this same code, so comparing an install with its plan cannot see a
// fault here.
TEST(InstallRecord, EntryValuesAndStepsSpelledOut) {
  InstallState state = {};
  CopyWide(u"C:\\Apps\\Pebble Notes", state.destination, 1024);
  CopyWide(u"Pebble.exe", state.mainProgram, kNameFieldUnits);
  CopyWide(u"UnInst.exe", state.uninstaller, kNameFieldUnits);
  const std::string publisher = Ascii(kPublisher), address = Ascii(kPublisherAddress);
  auto entry = [&](uint64_t bytes, const char16_t* version, bool quiet) {
    state.bytesWritten = bytes;
    const UninstallFacts facts = {u"Pebble Notes", version, quiet};
    static UninstallValue values[kUninstallValueMax];
    int n = UninstallEntryValues(&state, &facts, values);
    std::string all;
    for (int i = 0; i < n; ++i) {
      all += Ascii(values[i].name) + "=" + (values[i].isNumber ? std::to_string(values[i].number) : Ascii(values[i].text));
      all += values[i].isNumber ? "#|" : "|";
    }
    return all;
  };
  const std::string tail = "|Publisher=" + publisher + "|URLInfoAbout=" + address +
                           "|InstallLocation=C:\\Apps\\Pebble Notes|EstimatedSize=";
  EXPECT_EQ("DisplayName=Pebble Notes|UninstallString=\"C:\\Apps\\Pebble Notes\\UnInst.exe\"|"
            "QuietUninstallString=\"C:\\Apps\\Pebble Notes\\UnInst.exe\" /S|"
            "DisplayIcon=C:\\Apps\\Pebble Notes\\Pebble.exe|DisplayVersion=1.2" + tail + "2#|NoModify=1#|NoRepair=1#|",
            entry(1025, u"1.2", true));
  EXPECT_EQ("DisplayName=Pebble Notes|UninstallString=\"C:\\Apps\\Pebble Notes\\UnInst.exe\"|"
            "DisplayIcon=C:\\Apps\\Pebble Notes\\Pebble.exe" + tail + "1#|NoModify=1#|NoRepair=1#|",
            entry(1024, u"", false));
  EXPECT_NE(std::string::npos, entry(uint64_t(1) << 50, nullptr, false).find("EstimatedSize=4294967295#"));
  state.mainProgram[0] = 0;
  EXPECT_NE(std::string::npos, entry(1, nullptr, true).find("|DisplayIcon=|"));
  state.uninstaller[0] = 0;
  EXPECT_NE(std::string::npos, entry(1, nullptr, true).find("|UninstallString=|DisplayIcon=|")) << "no quiet command";

  // name, main program, uninstaller, code -> store, entry, group, uninstall link, shortcuts
  const struct { const char16_t* name; const char16_t* main; const char16_t* uninstaller; const char16_t* code;
                 std::string steps; } cases[] = {
      {u"Pebble", u"Pebble.exe", u"UnInst.exe", u"PBN", "11111"}, {u"", u"Pebble.exe", u"UnInst.exe", u"PBN", "10000"},
      {u"Pebble", u"", u"UnInst.exe", u"", "01000"},             {u"Pebble", u"Pebble.exe", u"", nullptr, "00101"},
      {nullptr, u"", u"", u"PBN", "10000"},
  };
  for (const auto& c : cases) {
    CopyWide(c.main, state.mainProgram, kNameFieldUnits);
    CopyWide(c.uninstaller, state.uninstaller, kNameFieldUnits);
    InstallRecordSteps steps;
    DecideInstallRecord(&state, c.name, c.code, &steps);
    std::string got;
    for (bool step : {steps.storeDestination, steps.uninstallEntry, steps.programGroup, steps.uninstallLink,
                      steps.shortcuts}) {
      got += step ? "1" : "0";
    }
    EXPECT_EQ(c.steps, got) << Ascii(c.main) << " " << Ascii(c.uninstaller);
  }
  state.destination[0] = 0;
  InstallRecordSteps steps;
  DecideInstallRecord(&state, u"Pebble", u"PBN", &steps);
  EXPECT_FALSE(steps.storeDestination) << "no folder to store";

  char16_t joined[16];
  JoinInstalledPath(u"C:\\Apps", u"a.exe", joined, 16);
  EXPECT_EQ("C:\\Apps\\a.exe", Ascii(joined));
  JoinInstalledPath(u"C:\\Apps", u"long-name.exe", joined, 16);
  EXPECT_EQ("", Ascii(joined)) << "cut paths name another file";
}
