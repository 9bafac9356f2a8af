// setupkit plan on small products: each case packs a tree and checks lines of
// the plan's text output that the installer's rules decide. The end-to-end tier
// compares the JSON output with what setup.exe really does.
#include <gtest/gtest.h>

#include "setupkit/entry_stream_writer.h"
#include "setupkit_test_util.h"

namespace {

const std::string kLanguageFile = "[Info]\r\nLanguage=Fran\xE7" "ais (French)\r\n";

struct PlanCase {
  const char* what;
  std::map<std::string, std::string> tree;
  std::vector<std::string> packArguments, planArguments;
  int exitCode;
  std::vector<std::string> present, absent;
};

}  // namespace

TEST(Plan, FollowsTheInstallersRules) {
  const std::map<std::string, std::string> product = {
      {"FILE_ID.DIZ", "Tool Version 2 (demo)\r\n"}, {"Lang/Tool_FR.LNG", kLanguageFile}, {"Docs/Readme.txt", "r"},
      {"Readme.txt", "s"}, {"Edit.exe", "e"}, {"Tool.exe", "t"}, {"UnInst.exe", "u"}};
  const std::string longFolder = "C:\\" + std::string(1012, 'x');
  const PlanCase cases[] = {
      {"first E*.exe, files flattened, later one wins", product, {}, {"--dest", "D:\\T"}, 0,
       {"caption:      Setup Tool 2\n", "title line:   Tool 2\n", u8"FR Fran\u00e7ais: D:\\T\\Tool_FR.LNG\n",
        "US English: nothing\n", "D:\\T\\Readme.txt  <- Docs\\Readme.txt  (overwritten by Readme.txt)\n",
        "D:\\T\\Tool_FR.LNG  <- Lang\\Tool_FR.LNG  [FR]\n", "Main program: Edit.exe\n",
        "HKCU\\Software\\Halvorn  ABC = D:\\T\n", "Uninstall\\Tool  DisplayIcon = D:\\T\\Edit.exe\n",
        "Uninstall\\Tool  UninstallString = \"D:\\T\\UnInst.exe\"\n",
        "programs\\Tool\\Uninstall.lnk -> D:\\T\\UnInst.exe in D:\\T\n",
        "desktop\\Tool.lnk -> D:\\T\\Edit.exe in D:\\T\n", "Uninstall\\Tool  DisplayVersion = 2\n",
        "Uninstall\\Tool  InstallLocation = D:\\T\n", "Uninstall\\Tool  EstimatedSize = 1\n",
        "Uninstall\\Tool  NoRepair = 1\n", "Record:       D:\\T\\UnInst.dat",
        "Architecture: x86, the 32-bit registry view (on 64-bit Windows: below Software\\WOW6432Node, and Program Files "
        "(x86))\n"},
       {"Install fails", "QuietUninstallString", "Installed:"}},
      {"the installed version decides", product, {}, {"--dest", "D:\\T", "--installed-version", "2.1"}, 0,
       {"Installed:    2.1 -> downgrade: the dialog asks"}, {}},
      {"an older version installed", product, {}, {"--dest", "D:\\T", "--installed-version", "1.10"}, 0,
       {"Installed:    1.10 -> upgrade: installs over the older version\n"}, {}},
      {"the same version installed", product, {}, {"--dest", "D:\\T", "--installed-version", "2.0"}, 0,
       {"Installed:    2.0 -> same version: installs as on a first run over the files\n"}, {}},
      {"an unreadable version installed", product, {}, {"--dest", "D:\\T", "--installed-version", "beta"}, 0,
       {"Installed:    beta -> versions cannot be compared: installs as over any version\n"}, {}},
      {"a relative folder", product, {}, {"--dest", "relative\\dir"}, 2, {}, {"Dialog"}},
      {"a folder without a drive", product, {}, {"--dest", "\\dir"}, 2, {}, {"Dialog"}},
      {"a drive without its root", product, {}, {"--dest", "C:dir"}, 2, {}, {"Dialog"}},
      {"named main program, German texts", product, {"--main-program", "Tool.exe"}, {"--language", "de"}, 0,
       {"caption:      Installation Tool 2\n", "destination:  C:\\Program Files (x86)\\Tool  (proposed on a first run)\n",
        "DE Deutsch: nothing\n", "Main program: Tool.exe\n",
        "quickLaunch\\Tool.lnk -> C:\\Program Files (x86)\\Tool\\Tool.exe"},
       {}},
      {"no description: no name, so no entry, group or shortcuts", {{"Edit.exe", "e"}, {"UnInst.exe", "u"}}, {}, {}, 0,
       {"product name: (none", "destination:  C:\\Program Files (x86)\\  (proposed", "HKCU\\Software\\Halvorn  ABC = C:\\"},
       {"HKLM", ".lnk"}},
      {"a device name is no product name", {{"FILE_ID.DIZ", "CON Version 1"}, {"Edit.exe", "e"}}, {}, {}, 0,
       {"caption:      Setup CON 1\n", "product name: (none", "Main program: Edit.exe\n"}, {".lnk"}},
      {"a path too long fails the install", product, {}, {"--dest", longFolder}, 0,
       {"Install fails: a file's path"}, {"HKCU", ".lnk"}},
      {"a destination the dialog cannot hold", product, {}, {"--dest", longFolder + "xxxxxxxx"}, 2, {}, {"Dialog"}},
      {"unknown interface language", product, {}, {"--language", "fr"}, 2, {}, {"Dialog"}},
  };
  const std::string stub = TestWriteStub();
  for (const PlanCase& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string folder = TestTempDir(), installer = TestTempDir() + "/setup.exe";
    TestWriteTree(folder, c.tree);
    std::vector<std::string> pack = {"pack", "--stub", stub, "--out", installer, "--product-code", "ABC",
                                     "--date", "2024-05-01", "--dict-size", "64K", "--from", folder};
    pack.insert(pack.end(), c.packArguments.begin(), c.packArguments.end());
    ASSERT_EQ(0, TestSetupkit(pack).code);
    std::vector<std::string> plan = {"plan", installer};
    plan.insert(plan.end(), c.planArguments.begin(), c.planArguments.end());
    TestRun run = TestSetupkit(plan);
    EXPECT_EQ(c.exitCode, run.code) << run.err;
    for (const std::string& line : c.present) EXPECT_TRUE(TestHasText(run.out, line)) << line << "\nin\n" << run.out;
    for (const std::string& text : c.absent) EXPECT_FALSE(TestHasText(run.out, text)) << text << "\nin\n" << run.out;
  }
  // The 64-bit stub's installer proposes the 64-bit Program Files and writes to the 64-bit view.
  const std::vector<uint8_t> wide = TestFakeStub64();
  const std::string wideStub = TestTempDir() + "/setup.exe", folder = TestTempDir(), installer = folder + "-x64.exe";
  TestWriteFile(wideStub, wide);
  TestWriteTree(folder, product);
  ASSERT_EQ(0, TestSetupkit({"pack", "--stub", wideStub, "--out", installer, "--product-code", "ABC", "--from", folder})
                   .code);
  const std::string text = TestSetupkit({"plan", installer}).out, json = TestSetupkit({"plan", installer, "--json"}).out;
  EXPECT_TRUE(TestHasText(text, "destination:  C:\\Program Files\\Tool  (proposed on a first run)\n\nArchitecture: x64, "
                                "the 64-bit registry view\n")) << text;
  EXPECT_TRUE(TestHasText(json, "\"architecture\": \"x64\",\n  \"registryView\": \"64-bit\",\n")) << json;

  TestRun broken = TestSetupkit({"plan", stub});
  EXPECT_EQ(1, broken.code);
  EXPECT_TRUE(TestHasText(broken.err, "no payload found")) << broken.err;
}

// Language codes come from stored names, which pack would refuse but a crafted
// installer holds: printed escaped, and in JSON as valid UTF-8.
TEST(Plan, PrintsLanguageCodesAsListPrintsNames) {
  const std::vector<uint8_t> language(kLanguageFile.begin(), kLanguageFile.end());
  const std::string installer = TestCrafted(BuildEntryStream(
      {"ABC", "", ""}, 32,
      {{"FILE_ID.DIZ", TestBytes("Tool Version 2\r\n")}, {"Tool_\x1b[.LNG", language}, {"Tool_\xE9x.LNG", language}}));
  const TestRun text = TestSetupkit({"plan", installer}), json = TestSetupkit({"plan", installer, "--json"});
  for (const char* shown : {u8"  \u00e9X Fran", "  \\x1b[ Fran", "[\\x1b[]\n"})
    EXPECT_TRUE(TestHasText(text.out, shown)) << shown << "\nin\n" << text.out;
  for (const char* shown : {u8"\"code\": \"\u00e9X\"", "\"code\": \"\\u001b[\""})
    EXPECT_TRUE(TestHasText(json.out, shown)) << shown << "\nin\n" << json.out;
  for (const std::string& out : {text.out, json.out}) EXPECT_EQ(std::string::npos, out.find_first_of("\x1b\xE9")) << out;
}
