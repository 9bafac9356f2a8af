// The smallest product there is, one file of one byte: its installer finds its
// payload and installs it. Without a product description the dialog shows no
// product name, and the success message is the interface text alone.
#include <gtest/gtest.h>

#include "e2e_support.h"

TEST(TinyProduct, OneByteFileInstalls) {
  InstallerRun run(E2e().tinyInstaller);
  HWND dialog = run.WaitDialog();
  ASSERT_NE(nullptr, dialog) << "no dialog: the payload was not found";
  std::vector<LanguageItem> items = {{L"English", L"US", true}, {L"German", L"DE", true}};
  EXPECT_EQ(items, LanguageItems(dialog));
  EXPECT_EQ(L"", UiControlText(dialog, kTitleLine));
  const std::wstring destination = L"C:\\Tiny";
  ASSERT_TRUE(UiSetText(dialog, kDestinationEdit, destination));
  InstallAndExpectSuccess(&run, dialog, L"", kEnglish);

  EXPECT_EQ(std::vector<uint8_t>({'T'}), ReadBytes(destination + L"\\Tiny.txt"));
  EXPECT_EQ(SampleArchiveTime(), WriteTime(destination + L"\\Tiny.txt"));
  std::wstring stored;
  EXPECT_TRUE(RegistryString(HKEY_CURRENT_USER, kStoredDestinationKey, L"TNY", &stored));
  EXPECT_EQ(destination, stored);
}
