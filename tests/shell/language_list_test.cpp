#include "shell/language_list.h"

#include <gtest/gtest.h>

#include "shell/setup_dialog.h"
#include "shell_test_util.h"
#include "text/bounded_text.h"
#include "text/product_description.h"

// Each item of the language list's menu, chosen in the setup dialog, runs its command on the list.
TEST(LanguageList, MenuItemsCheckUncheckAndInvert) {
  TestDialog d;
  PrepareLanguageList(d.List());
  AddLanguageItem(d.List(), u"Fran\u00E7ais", LanguageCode4FromNarrow("FR"));
  SetLanguageItemCheck(d.List(), 1, kLanguageUnchecked);
  HMENU menu = CreateLanguageMenu();
  ASSERT_EQ(3, GetMenuItemCount(menu));
  const struct {
    int position;
    const char* text;
    const char* items;
  } kChoices[] = {
      {2, "&Invert selection", "English[ ] Fran\xC3\xA7" "ais[x] German[ ]"},
      {0, "Select &all", "English[x] Fran\xC3\xA7" "ais[x] German[x]"},
      {1, "&Deselect all", "English[ ] Fran\xC3\xA7" "ais[ ] German[ ]"},
      {2, "&Invert selection", "English[x] Fran\xC3\xA7" "ais[x] German[x]"},
  };
  for (const auto& choice : kChoices) {
    wchar_t text[64] = {0};
    GetMenuStringW(menu, choice.position, text, 64, MF_BYPOSITION);
    EXPECT_EQ(choice.text, TestUtf8(AsUtf16(text)));
    SetupDialog(d.dialog, WM_COMMAND, GetMenuItemID(menu, choice.position), 0);
    EXPECT_EQ(choice.items, d.Items()) << choice.text;
  }
  DestroyMenu(menu);
}

// Over an earlier installation a language stays checked only where its file is;
// English and German, built into the product, always do.
TEST(LanguageList, MarkInstalledLanguagesUnchecksMissingFiles) {
  TestDialog d;
  PrepareLanguageList(d.List());
  AddLanguageItem(d.List(), u"Fran\u00E7ais", LanguageCode4FromNarrow("FR"));
  AddLanguageItem(d.List(), u"Italiano", LanguageCode4FromNarrow("IT"));
  CopyWide(u"Tool", d.context.languageFileBase, 32);
  std::string destination = TestTempDir();
  TestWriteFile(destination + "\\Tool_FR.LNG", TestBytes("["));
  MarkInstalledLanguages(d.dialog, TestWidePath(destination).c_str());
  EXPECT_EQ("English[x] Fran\xC3\xA7" "ais[x] German[x] Italiano[ ]", d.Items());
}
