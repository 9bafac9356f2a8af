#include "install/install_decisions.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "test_files.h"
#include "text/bounded_text.h"
#include "text/product_description.h"

namespace {

std::string Ascii(const char16_t* text) { return std::string(text, text + WideLength(text)); }
std::u16string Wide(const std::string& text) { return std::u16string(text.begin(), text.end()); }

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

}  // namespace

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

  EXPECT_TRUE(BuildShortcutPath(u"C:\\Desktop", u"\\Tool", path, 20));
  EXPECT_EQ("C:\\Desktop\\Tool.lnk", Ascii(path));
  for (const char16_t* name : {u"Tool", u"", u"\\"}) {
    EXPECT_FALSE(BuildShortcutPath(u"C:\\Desktop", name, path, name[0] == u'T' ? 19 : 1024));
    EXPECT_EQ("", Ascii(path));
  }
}
