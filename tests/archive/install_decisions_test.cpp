#include "archive/install_decisions.h"

#include <gtest/gtest.h>
#include <string.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "test_files.h"
#include "text/bounded_text.h"
#include "text/product_description.h"

namespace {

std::string Ascii(const char16_t* text) { return std::string(text, text + WideLength(text)); }

// The language list of the filter cases: FR unchecked, US and DE checked, nothing else.
int CheckOf(uint32_t code, void*) {
  if (code == LanguageCode4FromNarrow("FR")) return 1;
  return code == LanguageCode4FromNarrow("US") || code == LanguageCode4FromNarrow("DE") ? 2 : 0;
}

// The path an entry is written to, or "-" when it is skipped.
std::string Decide(InstallState* state, const char16_t* stored, const char16_t* base = u"Product") {
  char16_t name[1024];
  CopyWide(stored, name, 1024);
  int action = DecideInstallEntry(name, base, CheckOf, nullptr, state);
  return action == kInstallWrite ? Ascii(name) : "-" + Ascii(name);
}

}  // namespace

TEST(InstallDecision, LanguageFilterAndFlattening) {
  InstallState state = {};
  CopyWide(u"C:\\Apps", state.destination, 1024);
  const char* const kCases[][2] = {
      {"Product_FR.LNG", "-"},           {"Product_DE.LNG", "C:\\Apps\\Product_DE.LNG"},
      {"Product_fr.hlp", "-"},           {"Lang\\Product_FR.LNG", "-"},
      {"Product_XY.LNG", "C:\\Apps\\Product_XY.LNG"},
      {"Product_French.LNG", "C:\\Apps\\Product_French.LNG"},
      {"Xyzabcd_FR.txt", "-"},           {"Docs\\Readme.txt", "C:\\Apps\\Readme.txt"},
      // S starts after the first backslash only.
      {"A\\B\\Product_FR.LNG", "C:\\Apps\\Product_FR.LNG"},
      {"Lang/Product_FR.LNG", "C:\\Apps\\Product_FR.LNG"},
      {"", "-"},
  };
  for (const auto& c : kCases) {
    std::u16string name(c[0], c[0] + strlen(c[0]));
    EXPECT_EQ(c[1], Decide(&state, name.c_str())) << c[0];
  }
  EXPECT_EQ("-", Decide(&state, u"Docs\\_fr", u""));
  EXPECT_EQ("C:\\Apps\\Readme_FR.txt", Decide(&state, u"Readme_FR.txt", u""));
  CopyWide(u"D:\\Tool/", state.destination, 1024);
  EXPECT_EQ("D:\\Tool/Readme.txt", Decide(&state, u"A/B\\Readme.txt"));
  EXPECT_EQ(0u, state.pathError);

  // A path that would be cut is refused and remembered, never written short.
  std::u16string deep(1015, u'd');
  CopyWide(deep.c_str(), state.destination, 1024);
  EXPECT_EQ("-", Decide(&state, u"Readme.txt"));
  EXPECT_EQ(kErrorPathTooLong, state.pathError);
  EXPECT_EQ(Ascii(deep.c_str()) + "\\Read", Decide(&state, u"Read"));
}

TEST(InstallDecision, RecognisesUninstallerAndMainProgram) {
  InstallState state = {};
  for (const char16_t* name : {u"Main.exe", u".exe", u"Bin\\UNINST.EXE"}) Decide(&state, name);
  EXPECT_EQ("|UNINST.EXE", Ascii(state.mainProgram) + "|" + Ascii(state.uninstaller));
  for (const char16_t* name : {u"eLongerThanThirtyOneCharacters.exe", u"Editor.exe", u"Extra.exe", u"UnInst.exe"}) {
    Decide(&state, name);
  }
  EXPECT_EQ("Editor.exe|UnInst.exe", Ascii(state.mainProgram) + "|" + Ascii(state.uninstaller));
  InstallState shortest = {};
  Decide(&shortest, u"E.exe");
  EXPECT_EQ("E.exe", Ascii(shortest.mainProgram));
}

TEST(InstallDecision, RegistryTextEndsInsideItsBuffer) {
  const char16_t kRead[10] = {u'E', u':', u'\\', u'M', u'i', u'n', u'e', u'1', u'2', u'3'};  // no terminator
  char16_t buffer[10];
  auto end = [&](uint32_t bytes) {
    std::copy(kRead, kRead + 10, buffer);
    bool fits = EndRegistryText(buffer, 8, bytes);
    return std::to_string(fits) + " " + Ascii(buffer);
  };
  EXPECT_EQ("1 E:\\Mine", end(14));
  EXPECT_EQ("1 E:\\Mine", end(15));
  EXPECT_EQ("0 ", end(16));
  EXPECT_EQ(u'2', buffer[8]);
}

TEST(InstallDecision, ProgramFilesQuickLaunchAndShortcutPaths) {
  std::string root = TestTempDir();
  char16_t path[1024];
  auto beside = [&](const std::string& windows) {
    CopyWide(TestWidePath(windows).c_str(), path, 1024);
    ProgramFilesBesideWindows(path, 1024);
    return Ascii(path);
  };
  EXPECT_EQ(root + "\\Program Files", beside(root + "/Windows"));
  std::filesystem::create_directory(root + "/Programme");
  EXPECT_EQ(root + "\\Programme", beside(root + "/Windows"));
  EXPECT_EQ("", beside("Windows"));

  std::string quickLaunch = root + "\\Microsoft\\Internet Explorer\\Quick Launch";
  auto below = [&] {
    CopyWide(TestWidePath(root).c_str(), path, 1024);
    QuickLaunchFolderBelow(path, 1024);
    return Ascii(path);
  };
  EXPECT_EQ("", below());
  std::filesystem::create_directories(root + "/Microsoft/Internet Explorer/Quick Launch");
  EXPECT_EQ(quickLaunch, below());
  std::filesystem::create_directories(root + "/Microsoft/Internet Explorer/Quick Launch/User Pinned/TaskBar");
  EXPECT_EQ("", below());

  EXPECT_TRUE(BuildShortcutPath(u"C:\\Desktop", u"\\Tool", path, 20));
  EXPECT_EQ("C:\\Desktop\\Tool.lnk", Ascii(path));
  EXPECT_FALSE(BuildShortcutPath(u"C:\\Desktop", u"Tool", path, 19));
  EXPECT_FALSE(BuildShortcutPath(u"C:\\Desktop", u"", path, 1024));
  EXPECT_FALSE(BuildShortcutPath(u"C:\\Desktop", u"\\", path, 1024));
  EXPECT_EQ("", Ascii(path));
}
