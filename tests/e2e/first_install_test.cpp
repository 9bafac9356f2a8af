// A first installation of the sample product on an English system, into the
// proposed folder with every box checked; then the language list's menu.
#include <shlobj.h>

#include <gtest/gtest.h>

#include "e2e_support.h"

namespace {

void ExpectShortcut(const std::wstring& path, const std::wstring& target, const std::wstring& folder) {
  SCOPED_TRACE(Utf8(path));
  Shortcut shortcut = ReadShortcut(path);
  ASSERT_TRUE(shortcut.loaded) << "no shortcut";
  EXPECT_EQ(target, shortcut.target);
  EXPECT_EQ(folder, shortcut.workingDirectory);
  EXPECT_EQ(SW_SHOW, shortcut.showCommand);
  EXPECT_EQ(L"", shortcut.arguments);
  EXPECT_EQ(L"", shortcut.description);
}

}  // namespace

TEST(FirstInstall, EnglishDialogThenEverythingInstalled) {
  // With a Quick Launch folder (and no pinned task bar below it) the third box shows.
  ASSERT_EQ(0, SHCreateDirectoryExW(nullptr, QuickLaunchFolder().c_str(), nullptr));
  InstallerRun run(E2e().sampleInstaller);
  ASSERT_TRUE(run.started());
  HWND dialog = run.WaitDialog();
  ASSERT_NE(nullptr, dialog) << "no setup dialog";

  ExpectDialogTexts(dialog, kEnglish);
  ExpectLargeTitleFont(dialog);
  std::vector<LanguageItem> items = {
      {L"English", L"US", true}, {L"Fran\u00e7ais", L"FR", true}, {L"German", L"DE", true}, {L"Italiano", L"IT", true}};
  EXPECT_EQ(items, LanguageItems(dialog));
  std::wstring destination = ProgramFilesDir() + L"\\" + kSampleName;
  EXPECT_EQ(destination, UiControlText(dialog, kDestinationEdit));
  for (int box : {kStartMenuBox, kDesktopBox, kQuickLaunchBox}) {
    EXPECT_EQ(BST_CHECKED, UiCheckState(dialog, box)) << "box " << box;
    EXPECT_TRUE(UiControlVisible(dialog, box)) << "box " << box;
  }
  Screenshot({dialog}, "dialog-en.png");

  InstallAndExpectSuccess(&run, dialog, kSampleName, kEnglish, "success-en.png");

  ExpectSampleFiles(destination, {});
  std::wstring value;
  EXPECT_TRUE(RegistryString(HKEY_CURRENT_USER, kStoredDestinationKey, kSampleCode, &value));
  EXPECT_EQ(destination, value);
  std::wstring key = UninstallKey(kSampleName);
  EXPECT_TRUE(RegistryString(HKEY_LOCAL_MACHINE, key.c_str(), L"DisplayName", &value));
  EXPECT_EQ(kSampleName, value);
  EXPECT_TRUE(RegistryString(HKEY_LOCAL_MACHINE, key.c_str(), L"UninstallString", &value));
  EXPECT_EQ(destination + L"\\" + kSampleUninstaller, value);
  EXPECT_TRUE(RegistryString(HKEY_LOCAL_MACHINE, key.c_str(), L"DisplayIcon", &value));
  EXPECT_EQ(destination + L"\\" + kSampleMainProgram, value);
  EXPECT_TRUE(RegistryString(HKEY_LOCAL_MACHINE, key.c_str(), L"Publisher", &value));
  EXPECT_EQ(L"Halvorn", value);
  EXPECT_TRUE(RegistryString(HKEY_LOCAL_MACHINE, key.c_str(), L"URLInfoAbout", &value));
  EXPECT_NE(L"", value);

  std::wstring program = destination + L"\\" + kSampleMainProgram;
  std::wstring group = SpecialFolder(CSIDL_COMMON_PROGRAMS) + L"\\" + kSampleName;
  ExpectShortcut(group + L"\\" + kSampleName + L".lnk", program, destination);
  ExpectShortcut(group + L"\\Uninstall.lnk", destination + L"\\" + kSampleUninstaller, destination);
  ExpectShortcut(SpecialFolder(CSIDL_DESKTOPDIRECTORY) + L"\\" + kSampleName + L".lnk", program, destination);
  ExpectShortcut(QuickLaunchFolder() + L"\\" + kSampleName + L".lnk", program, destination);
}

TEST(FirstInstall, LanguageMenuChecksUnchecksAndInverts) {
  InstallerRun run(E2e().sampleInstaller);
  HWND dialog = run.WaitDialog();
  ASSERT_NE(nullptr, dialog);
  HWND list = GetDlgItem(dialog, kLanguageList);
  // The chosen command reaches the dialog after the menu has closed: wait for its effect.
  auto checksBecome = [&](const std::vector<bool>& expected) {
    std::vector<bool> marks;
    for (int tries = 0; tries < 50 && marks != expected; ++tries) {
      if (tries > 0) Sleep(60);
      marks.clear();
      for (const LanguageItem& item : LanguageItems(dialog)) marks.push_back(item.checked);
    }
    return marks;
  };
  auto choose = [&](int item, const char* shot) {
    HWND menu = UiOpenContextMenu(dialog, list, 5000);
    ASSERT_NE(nullptr, menu) << "no popup menu on the language list";
    // It opens with its top left corner at the pointer.
    POINT pointer;
    RECT rect;
    ASSERT_TRUE(GetCursorPos(&pointer) && GetWindowRect(menu, &rect));
    EXPECT_EQ(pointer.x, rect.left);
    EXPECT_EQ(pointer.y, rect.top);
    if (shot != nullptr) Screenshot({dialog, menu}, shot);
    ASSERT_TRUE(UiChooseMenuItem(menu, item, 5000));
  };
  const std::vector<bool> all(4, true), none(4, false);
  ASSERT_TRUE(UiSetListItemCheck(list, 1, false));
  choose(kMenuSelectAll, "menu-en.png");
  EXPECT_EQ(all, checksBecome(all));
  choose(kMenuInvert, nullptr);
  EXPECT_EQ(none, checksBecome(none));
  ASSERT_TRUE(UiSetListItemCheck(list, 2, true));
  choose(kMenuInvert, nullptr);
  std::vector<bool> allButThird = {true, true, false, true};
  EXPECT_EQ(allButThird, checksBecome(allButThird));
  choose(kMenuDeselectAll, nullptr);
  EXPECT_EQ(none, checksBecome(none));

  // A right click anywhere but on the list opens no menu.
  PostMessageW(dialog, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(GetDlgItem(dialog, kDestinationEdit)), 0);
  Sleep(500);
  EXPECT_TRUE(UiTopWindows(run.id(), L"#32768").empty());

  ASSERT_TRUE(UiPress(dialog, kCancelButton));
  EXPECT_EQ(0, run.WaitExit());
}
