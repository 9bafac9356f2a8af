// Installing again over an earlier installation: the installer proposes the
// folder it stored, leaves the boxes unchecked, and checks only the languages
// whose files are there; a language unchecked on Install keeps its old file.
#include <shlobj.h>

#include <gtest/gtest.h>

#include "e2e_support.h"

TEST(SecondRun, ProposesStoredFolderAndInstalledLanguages) {
  // The first run: a folder of the user's own, French unchecked, no shortcuts.
  const std::wstring destination = L"C:\\Apps\\Pebble";
  {
    InstallerRun run(E2e().sampleInstaller);
    HWND dialog = run.WaitDialog();
    ASSERT_NE(nullptr, dialog);
    ASSERT_TRUE(UiSetText(dialog, kDestinationEdit, destination));
    for (int box : {kStartMenuBox, kDesktopBox, kQuickLaunchBox}) ASSERT_TRUE(UiToggle(dialog, box));
    for (int box : {kStartMenuBox, kDesktopBox, kQuickLaunchBox}) EXPECT_EQ(BST_UNCHECKED, UiCheckState(dialog, box));
    std::vector<LanguageItem> items = LanguageItems(dialog);
    ASSERT_EQ(4u, items.size());
    ASSERT_EQ(L"FR", items[1].code);
    ASSERT_TRUE(UiSetListItemCheck(GetDlgItem(dialog, kLanguageList), 1, false));
    InstallAndExpectSuccess(&run, dialog, kSampleName, kEnglish);
  }
  ExpectSampleFiles(destination, {L"Pebble_FR.LNG"});
  EXPECT_FALSE(PathPresent(destination + L"\\Pebble_FR.LNG")) << "an unchecked language's file was written";
  std::wstring value;
  EXPECT_TRUE(RegistryString(HKEY_CURRENT_USER, kStoredDestinationKey, kSampleCode, &value));
  EXPECT_EQ(destination, value);
  // The uninstall entry is written whatever the boxes say; shortcuts are not.
  EXPECT_TRUE(RegistryString(HKEY_LOCAL_MACHINE, UninstallKey(kSampleName).c_str(), L"UninstallString", &value));
  EXPECT_EQ(destination + L"\\" + kSampleUninstaller, value);
  EXPECT_FALSE(PathPresent(SpecialFolder(CSIDL_COMMON_PROGRAMS) + L"\\" + kSampleName));
  EXPECT_FALSE(PathPresent(SpecialFolder(CSIDL_DESKTOPDIRECTORY) + L"\\" + kSampleName + L".lnk"));

  // Marks on two installed files tell which ones the second run writes again.
  const std::vector<uint8_t> mark = {'o', 'l', 'd'};
  WriteBytes(destination + L"\\Pebble_IT.LNG", mark);
  WriteBytes(destination + L"\\Readme.txt", mark);

  InstallerRun run(E2e().sampleInstaller);
  HWND dialog = run.WaitDialog();
  ASSERT_NE(nullptr, dialog);
  EXPECT_EQ(destination, UiControlText(dialog, kDestinationEdit));
  for (int box : {kStartMenuBox, kDesktopBox, kQuickLaunchBox}) {
    EXPECT_EQ(BST_UNCHECKED, UiCheckState(dialog, box)) << "box " << box;
  }
  std::vector<LanguageItem> items = {{L"English", L"US", true},
                                     {L"Fran\u00e7ais", L"FR", false},
                                     {L"German", L"DE", true},
                                     {L"Italiano", L"IT", true}};
  EXPECT_EQ(items, LanguageItems(dialog));

  ASSERT_TRUE(UiSetListItemCheck(GetDlgItem(dialog, kLanguageList), 3, false));
  InstallAndExpectSuccess(&run, dialog, kSampleName, kEnglish);
  EXPECT_TRUE(mark == ReadBytes(destination + L"\\Pebble_IT.LNG")) << "an unchecked language's file was written";
  EXPECT_FALSE(mark == ReadBytes(destination + L"\\Readme.txt")) << "a file was not written again";
  ExpectSampleFiles(destination, {L"Pebble_FR.LNG", L"Pebble_IT.LNG"});
  EXPECT_FALSE(PathPresent(destination + L"\\Pebble_FR.LNG"));
}
