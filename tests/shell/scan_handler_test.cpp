#include "shell/scan_handler.h"

#include <gtest/gtest.h>

#include "shell_test_util.h"
#include "text/bounded_text.h"

namespace {

// Feeds one entry to the handler as the archive pass does: decision call, then data call.
void Scan(HWND dialog, const char16_t* name, const std::string& data) {
  char16_t buffer[1024];
  CopyWide(name, buffer, 1024);
  EXPECT_EQ(0, ScanHandler(buffer, nullptr, static_cast<uint32_t>(data.size()), dialog));
  EXPECT_EQ(0, ScanHandler(buffer, reinterpret_cast<const uint8_t*>(data.data()), static_cast<uint32_t>(data.size()),
                           dialog));
}

}  // namespace

// The first description names the product and the first language file the base;
// later ones add to the title, and languages whose code is listed are not added again.
TEST(ScanHandler, TitleProductAndLanguagesEntryByEntry) {
  TestDialog d("DE");
  SetWindowTextW(d.dialog, L"Installation");
  PrepareLanguageList(d.List());
  Scan(d.dialog, u"FILE_ID.DIZ", "Tool Version 2\r\nThe tool.");
  Scan(d.dialog, u"Lang\\Tool_FR.LNG", "[Info]\r\nLanguage=Fran\xE7" "ais\r\n");
  Scan(d.dialog, u"Other_IT.LNG", "[Language=Italiano");
  Scan(d.dialog, u"Tool_fr.lng", "[Language=French");
  Scan(d.dialog, u"Tool_US.LNG", "[Language=American");
  Scan(d.dialog, u"file_id.diz", "Other\r\n");
  EXPECT_EQ("Installation Tool 2 Other ", TestWindowText(d.dialog));
  EXPECT_EQ("Other ", d.Text(kTitleLineId));
  EXPECT_EQ("Tool|Tool", std::string(d.context.productName) + "|" + TestUtf8(d.context.languageFileBase));
  EXPECT_EQ("Deutsch[x] Englisch[x] Fran\xC3\xA7" "ais[x] Italiano[x]", d.Items());

  // A product name longer than the context holds is cut.
  d.context.productName[0] = 0;
  Scan(d.dialog, u"FILE_ID.DIZ", std::string(200, 'n'));
  EXPECT_EQ(std::string(31, 'n'), d.context.productName);
}
