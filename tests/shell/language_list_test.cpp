#include "shell/language_list.h"

#include <gtest/gtest.h>

#include <string>

#include "test_dialog.h"
#include "test_files.h"
#include "text/bounded_text.h"
#include "text/product_description.h"

namespace {

uint32_t Code(const char* text) { return LanguageCode4FromNarrow(text); }

std::string ColumnText(HWND list) {
  wchar_t text[64] = {0};
  LVCOLUMNW column = {};
  column.mask = LVCF_TEXT;
  column.pszText = text;
  column.cchTextMax = 64;
  SendMessageW(list, LVM_GETCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));
  return TestUtf8(AsUtf16(text));
}

int ColumnCount(HWND list) {
  return static_cast<int>(SendMessageW(reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0)), HDM_GETITEMCOUNT, 0, 0));
}

// A prepared English list with French and Italian added.
struct FourLanguages : TestDialog {
  FourLanguages() {
    PrepareLanguageList(List());
    AddLanguageItem(List(), u"Fran\u00E7ais", Code("FR"));
    AddLanguageItem(List(), u"Italiano", Code("IT"));
  }
};

}  // namespace

TEST(LanguageList, BuiltInItemsSortedInEachInterfaceLanguage) {
  {
    TestDialog d("US");
    PrepareLanguageList(d.List());
    EXPECT_EQ("English[x] German[x]", d.Items());
    EXPECT_EQ("Language", ColumnText(d.List()));
    EXPECT_EQ(1, ColumnCount(d.List()));
    EXPECT_EQ(0x424, SendMessageW(d.List(), LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0));
    EXPECT_EQ(kLanguageCodeEnglish, LanguageItemCode(d.List(), FindLanguageItem(d.List(), Code("US"))));
    EXPECT_EQ(-1, FindLanguageItem(d.List(), Code("FR")));
    EXPECT_EQ(0u, LanguageItemCode(d.List(), 2));
  }
  {
    TestDialog d("DE");
    PrepareLanguageList(d.List());
    EXPECT_EQ("Deutsch[x] Englisch[x]", d.Items());
    EXPECT_EQ("Sprache", ColumnText(d.List()));
    EXPECT_EQ(0, FindLanguageItem(d.List(), kLanguageCodeGerman));
    EXPECT_EQ(1, FindLanguageItem(d.List(), kLanguageCodeEnglish));
  }
  {
    TestDialog d("IT");
    PrepareLanguageList(d.List());
    EXPECT_EQ("English[x] German[x]", d.Items());
    EXPECT_EQ("Lingua", ColumnText(d.List()));
  }
}

TEST(LanguageList, ColumnFillsTheListButNeverBelow100) {
  TestDialog wide;
  RECT client;
  GetClientRect(wide.List(), &client);
  PrepareLanguageList(wide.List());
  int expected = client.right - GetSystemMetrics(SM_CXVSCROLL) - 4;
  ASSERT_GT(expected, 100) << "the test dialog's list is narrower than assumed";
  EXPECT_EQ(expected, SendMessageW(wide.List(), LVM_GETCOLUMNWIDTH, 0, 0));

  TestDialog narrow;
  SetWindowPos(narrow.List(), nullptr, 0, 0, 40, 100, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  PrepareLanguageList(narrow.List());
  EXPECT_EQ(100, SendMessageW(narrow.List(), LVM_GETCOLUMNWIDTH, 0, 0));

  // Positive widths of other columns are taken off a filling one.
  const ListColumn columns[] = {{1, 50, 0}, {2, -1, 0}, {3, 0, 0}, {4, 30, 1}, {0, 0, 0}};
  EXPECT_EQ(300 - 80 - 20, ListColumnWidth(columns, 1, 300, 16));
  EXPECT_EQ(100, ListColumnWidth(columns, 1, 150, 16));
  EXPECT_EQ(50, ListColumnWidth(columns, 0, 10, 16));
  EXPECT_EQ(0, ListColumnWidth(columns, 2, 300, 16));
}

TEST(LanguageList, MenuCommandsCheckUncheckAndInvert) {
  FourLanguages d;
  HWND list = d.List();
  SetLanguageItemCheck(list, FindLanguageItem(list, Code("IT")), kLanguageUnchecked);
  const std::string before = d.Items();
  EXPECT_EQ("English[x] Fran\xC3\xA7" "ais[x] German[x] Italiano[ ]", before);

  InvertChecks(list);
  EXPECT_EQ("English[ ] Fran\xC3\xA7" "ais[ ] German[ ] Italiano[x]", d.Items());
  InvertChecks(list);
  EXPECT_EQ(before, d.Items());

  CheckAll(list);
  EXPECT_EQ("English[x] Fran\xC3\xA7" "ais[x] German[x] Italiano[x]", d.Items());
  InvertChecks(list);
  EXPECT_EQ("English[ ] Fran\xC3\xA7" "ais[ ] German[ ] Italiano[ ]", d.Items());
  CheckAll(list);
  UncheckAll(list);
  EXPECT_EQ("English[ ] Fran\xC3\xA7" "ais[ ] German[ ] Italiano[ ]", d.Items());

  // An item without a check box counts as checked.
  SetLanguageItemCheck(list, 0, kLanguageNoCheck);
  EXPECT_EQ(kLanguageNoCheck, LanguageItemCheck(list, 0));
  InvertChecks(list);
  EXPECT_EQ(kLanguageUnchecked, LanguageItemCheck(list, 0));

  CheckAll(nullptr);
  UncheckAll(nullptr);
  InvertChecks(nullptr);
}

TEST(LanguageList, MarkInstalledLanguagesUnchecksMissingFiles) {
  FourLanguages d;
  CopyWide(u"Tool", d.context.languageFileBase, 32);
  std::string destination = TestTempDir();
  TestWriteFile(destination + "\\Tool_FR.LNG", {'['});
  AddLanguageItem(d.List(), u"Espa\u00F1ol", Code("ES"));
  CreateDirectoryW(AsWide(TestWidePath(destination + "\\Tool_ES.LNG").c_str()), nullptr);
  // English and German stay checked even though no file names them.
  MarkInstalledLanguages(d.dialog, TestWidePath(destination).c_str());
  EXPECT_EQ("English[x] Espa\xC3\xB1ol[x] Fran\xC3\xA7" "ais[x] German[x] Italiano[ ]", d.Items());

  // Marking only unchecks: a file that appears later does not check the item again.
  TestWriteFile(destination + "\\Tool_IT.LNG", {'['});
  DeleteFileW(AsWide(TestWidePath(destination + "\\Tool_FR.LNG").c_str()));
  MarkInstalledLanguages(d.dialog, TestWidePath(destination).c_str());
  EXPECT_EQ("English[x] Espa\xC3\xB1ol[x] Fran\xC3\xA7" "ais[ ] German[x] Italiano[ ]", d.Items());

  char16_t path[1024];
  LanguageFilePath(u"C:\\Tool\\", "FR", path, 1024);
  EXPECT_EQ("C:\\Tool\\Tool_FR.LNG", TestUtf8(path));
  MarkInstalledLanguages(nullptr, u"C:\\");
}

TEST(LanguageList, PopupMenuHoldsTheCommandsWithText) {
  TestDialog d("DE");
  HMENU menu = CreateLanguageMenu();
  ASSERT_NE(nullptr, menu);
  ASSERT_EQ(3, GetMenuItemCount(menu));
  const struct { int id; const char* text; } expected[] = {
      {kCommandCheckAll, "Alles &markieren"}, {kCommandUncheckAll, "Markierung &aufheben"},
      {kCommandInvertChecks, "Markierung &umkehren"}};
  for (int i = 0; i < 3; ++i) {
    wchar_t text[64] = {0};
    GetMenuStringW(menu, i, text, 64, MF_BYPOSITION);
    EXPECT_EQ(expected[i].id, static_cast<int>(GetMenuItemID(menu, i)));
    EXPECT_EQ(expected[i].text, TestUtf8(AsUtf16(text)));
  }
  DestroyMenu(menu);

  // A command whose text is empty gets no item.
  const StringRow rows[] = {{kTextMenuCheckAll, "All"}, {kTextMenuInvert, "Invert"}, {0, nullptr}};
  const StringTable table = {0, "XX", rows};
  d.context.stringTable = &table;
  menu = CreateLanguageMenu();
  ASSERT_EQ(2, GetMenuItemCount(menu));
  EXPECT_EQ(kCommandCheckAll, static_cast<int>(GetMenuItemID(menu, 0)));
  EXPECT_EQ(kCommandInvertChecks, static_cast<int>(GetMenuItemID(menu, 1)));
  DestroyMenu(menu);
}
