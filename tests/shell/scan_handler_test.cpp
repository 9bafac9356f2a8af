#include "shell/scan_handler.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_files.h"

#include "archive/entry_format.h"
#include "archive/lzma_test_util.h"
#include "setupkit/entry_stream_writer.h"
#include "test_dialog.h"
#include "text/bounded_text.h"
#include "text/product_description.h"

namespace {

std::string WriteInstaller(const std::vector<EntryStreamEntry>& entries) {
  const EntryStreamTexts texts = {"EXT", "", "tool.exe"};
  std::vector<uint8_t> stream = BuildEntryStream(texts, ArchiveDateFromYmd(2020, 5, 17), entries);
  TestLzma lzma = TestLzmaEncode(stream, false);
  return TestWriteInstaller(kPayloadSearchStart, TestContainer(lzma, static_cast<uint32_t>(stream.size())),
                            std::vector<uint8_t>(4096, 0));
}

// Feeds one entry to the handler as the archive pass does: decision call, then data call.
void Scan(HWND dialog, const std::u16string& name, const std::string& data) {
  char16_t buffer[1024];
  CopyWide(name.c_str(), buffer, 1024);
  EXPECT_EQ(0, ScanHandler(buffer, nullptr, static_cast<uint32_t>(data.size()), dialog));
  if (data.empty()) return;
  uint32_t count = data.size() < 1024 ? static_cast<uint32_t>(data.size()) : 1024;
  EXPECT_EQ(0, ScanHandler(buffer, reinterpret_cast<const uint8_t*>(data.data()), count, dialog));
}

}  // namespace

TEST(ScanPass, FillsTitleLanguageListAndContext) {
  TestDialog d("US");
  ApplyDialogTexts(d.dialog, kDialogTextIds);
  PrepareLanguageList(d.List());
  std::string installer = WriteInstaller({
      {"readme.txt", TestBytes("Version 1\r\n")},
      {"Lang\\Tool_FR.LNG", TestBytes("[Info]\r\nLanguage=Fran\xE7" "ais (French)\r\n")},
      {"FILE_ID.DIZ", TestBytes("Example Tool Version 3.2\r\nThe example tool.\r\n")},
      {"Lang\\Tool_IT.LNG", TestUtf16File(u"[Info]\r\nLanguage=Italiano\r\n")},
      {"Lang\\Tool_US.LNG", TestBytes("[Info]\r\nLanguage=American\r\n")},
      {"Lang\\Tool_de.lng", TestBytes("[Info]\r\nLanguage=Hochdeutsch\r\n")},
      {"Extra\\Tool_it.lng", TestBytes("[Info]\r\nLanguage=Italienisch\r\n")},
      {"_ES.LNG", TestUtf16File(u"[Info]\r\nLanguage=Espa\u00F1ol\r\n")},
      {"NL.LNG", TestBytes("[Info]\r\nLanguage=Nederlands\r\n")},
      {"Tool_PT.LNG", TestBytes("Language=Portugu\xEAs\r\n")},
      {"Tool_SV.LNG", {}},
      {"docs\\FILE_ID.DIZ", TestBytes("Other Version 9\r\n")},
  });
  d.context.modulePath[0] = 0;
  AppendWide(TestWidePath(installer).c_str(), d.context.modulePath, 1024);

  EXPECT_EQ(0, ScanPass(d.dialog));
  EXPECT_EQ("Setup Example Tool 3.2", TestWindowText(d.dialog));
  EXPECT_EQ("Example Tool 3.2", d.Text(kTitleLineId));
  EXPECT_STREQ("Example Tool", d.context.productName);
  EXPECT_EQ("Tool", TestUtf8(d.context.languageFileBase));
  EXPECT_EQ("English[x] Espa\xC3\xB1ol[x] Fran\xC3\xA7" "ais[x] German[x] Italiano[x]", d.Items());
  EXPECT_EQ(LanguageCode4FromNarrow("ES"), LanguageItemCode(d.List(), FindLanguageItem(d.List(), LanguageCode4FromNarrow("ES"))));
  EXPECT_STREQ("EXT", d.context.productCode);
  EXPECT_STREQ("tool.exe", d.context.mainProgramName);

  // The title line is 18 points high at the screen's resolution.
  HFONT font = reinterpret_cast<HFONT>(SendDlgItemMessageW(d.dialog, kTitleLineId, WM_GETFONT, 0, 0));
  LOGFONTW logFont = {};
  ASSERT_NE(0, GetObjectW(font, sizeof(logFont), &logFont));
  HDC dc = GetDC(d.dialog);
  int height = -MulDiv(18, GetDeviceCaps(dc, LOGPIXELSY), 72);
  ReleaseDC(d.dialog, dc);
  EXPECT_EQ(height, logFont.lfHeight);
  EXPECT_EQ(FW_NORMAL, logFont.lfWeight);
  EXPECT_EQ("MS Sans Serif", TestUtf8(AsUtf16(logFont.lfFaceName)));
}

TEST(ScanHandler, DescriptionsAndLanguageFilesEntryByEntry) {
  TestDialog d("DE");
  ApplyDialogTexts(d.dialog, kDialogTextIds);
  PrepareLanguageList(d.List());

  // A description whose first byte ends the line gives two blanks and no productName.
  Scan(d.dialog, u"FILE_ID.DIZ", "(no name)");
  EXPECT_EQ("Installation  ", TestWindowText(d.dialog));
  EXPECT_STREQ("", d.context.productName);
  Scan(d.dialog, u"file_id.diz", "Tool Version 2");
  EXPECT_EQ("Installation   Tool 2", TestWindowText(d.dialog));
  EXPECT_STREQ("Tool", d.context.productName);
  // A second one appends again and replaces the title line; productName keeps the first name.
  Scan(d.dialog, u"FILE_ID.DIZ", "Other  \r\n");
  EXPECT_EQ("Installation   Tool 2 Other  ", TestWindowText(d.dialog));
  EXPECT_EQ("Other  ", d.Text(kTitleLineId));
  EXPECT_STREQ("Tool", d.context.productName);
  Scan(d.dialog, u"FILE_ID.DIZ", "");
  EXPECT_EQ("Other  ", d.Text(kTitleLineId));

  // The first language file that reaches the handler fixes the base, cut or not.
  Scan(d.dialog, u"NL.LNG", "[Language=Nederlands");
  EXPECT_EQ("", TestUtf8(d.context.languageFileBase));
  Scan(d.dialog, u"_IT.LNG", "[Language=Italiano");
  Scan(d.dialog, u"Tool_PT.LNG", "Language=Portugues");
  Scan(d.dialog, u"Tool_FR.LNG", "[Language=   ");
  EXPECT_EQ("_IT.LNG", TestUtf8(d.context.languageFileBase));
  EXPECT_EQ("[x] Deutsch[x] Englisch[x] Italiano[x]", d.Items());

  std::string longName = std::string(200, 'n');
  Scan(d.dialog, u"FILE_ID.DIZ", longName);
  EXPECT_EQ(std::string(127, 'n') + " ", d.Text(kTitleLineId));
  EXPECT_STREQ("Tool", d.context.productName);

  TestDialog fresh("US");
  Scan(fresh.dialog, u"FILE_ID.DIZ", longName);
  EXPECT_EQ(std::string(31, 'n'), fresh.context.productName);
  Scan(fresh.dialog, u"Lang\\ABCDEFGHIJKLMNOPQRSTUVWXYZ012345_DE.LNG", "[Language=Deutsch");
  EXPECT_EQ("ABCDEFGHIJKLMNOPQRSTUVWX", TestUtf8(fresh.context.languageFileBase));
}
