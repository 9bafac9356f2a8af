// The installer on German and Italian systems: every text of its own in the
// system's language, the built-in list items named in it and sorted by those
// names, and the success and broken-file messages.
#include <gtest/gtest.h>

#include "e2e_support.h"

namespace {

void InstallInLanguage(const InterfaceTexts& texts, const std::vector<LanguageItem>& items) {
  InstallerRun run(E2e().sampleInstaller);
  HWND dialog = run.WaitDialog();
  ASSERT_NE(nullptr, dialog) << "no setup dialog";
  ExpectDialogTexts(dialog, texts);
  ExpectLargeTitleFont(dialog);
  EXPECT_EQ(items, LanguageItems(dialog));
  // Wine makes no Quick Launch folder: its box is hidden, and checked all the same.
  EXPECT_FALSE(UiControlVisible(dialog, kQuickLaunchBox));
  EXPECT_EQ(BST_CHECKED, UiCheckState(dialog, kQuickLaunchBox));
  Screenshot({dialog}, std::string("dialog-") + texts.language + ".png");

  HWND menu = UiOpenContextMenu(dialog, GetDlgItem(dialog, kLanguageList), 5000);
  ASSERT_NE(nullptr, menu) << "no popup menu on the language list";
  Screenshot({dialog, menu}, std::string("menu-") + texts.language + ".png");
  ASSERT_TRUE(UiCancelMenu(menu, 5000));

  std::wstring destination = UiControlText(dialog, kDestinationEdit);
  EXPECT_EQ(ProgramFilesDir() + L"\\" + kSampleName, destination);
  InstallAndExpectSuccess(&run, dialog, kSampleName, texts, std::string("success-") + texts.language + ".png");
  ExpectSampleFiles(destination, {});
}

void BrokenFileInLanguage(const InterfaceTexts& texts) {
  std::vector<uint8_t> installer = ReadBytes(E2e().sampleInstaller);
  ASSERT_GT(installer.size(), 1000u);
  installer.resize(installer.size() - 1000);
  std::wstring path = E2e().work + L"\\Cut.exe";
  WriteBytes(path, installer);
  InstallerRun run(path);
  UiMessageBox box;
  ASSERT_TRUE(run.WaitMessage(&box));
  EXPECT_EQ(texts.broken, box.text);
  EXPECT_EQ(L"Cut.exe", box.caption);
  EXPECT_TRUE(UiAnswerMessageBox(box, IDOK));
  EXPECT_EQ(0, run.WaitExit());
}

}  // namespace

TEST(GermanSystem, DialogTextsListAndSuccessMessage) {
  InstallInLanguage(kGerman, {{L"Deutsch", L"DE", true},
                              {L"Englisch", L"US", true},
                              {L"Fran\u00e7ais", L"FR", true},
                              {L"Italiano", L"IT", true}});
}

TEST(GermanSystem, BrokenFileMessage) { BrokenFileInLanguage(kGerman); }

TEST(ItalianSystem, DialogTextsListAndSuccessMessage) {
  InstallInLanguage(kItalian, {{L"English", L"US", true},
                               {L"Fran\u00e7ais", L"FR", true},
                               {L"German", L"DE", true},
                               {L"Italiano", L"IT", true}});
}

TEST(ItalianSystem, BrokenFileMessage) { BrokenFileInLanguage(kItalian); }
