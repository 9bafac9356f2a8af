#include "text/product_description.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_files.h"

TEST(ProductDescription, FirstLineGrammarAndLimits) {
  const std::string n127(127, 'n');
  const struct { std::string text, expected; } cases[] = {  // expected: "name|version"
      {"Example Tool Version 3.2 beta (build 7)\r\nmore", "Example Tool|3.2 beta"}, {"Tool version 2", "Tool version 2|"},
      {"Tool  \nx", "Tool |"}, {"Tool Version 2 Version 3", "Tool|2 Version 3"}, {" Version 9", "|9"}, {"[T] Version 2", "|"},
      {std::string("Tool\0x", 6), "Tool|"}, {"Caf\xE9 Version " + std::string(40, '\xB2'), "Caf\xE9|" + std::string(31, '\xB2')},
      // Only the first 1024 bytes are looked at.
      {std::string(1030, 'n') + " Version 1", n127 + "|"},
      {std::string(1000, 'n') + " Version " + std::string(100, 'v'), n127 + "|" + std::string(15, 'v')},
  };
  for (const auto& c : cases) {
    ProductDescription d;
    ParseDescriptionLine(reinterpret_cast<const uint8_t*>(c.text.data()), c.text.size(), &d);
    EXPECT_EQ(c.expected, std::string(d.name) + "|" + d.version) << "line: " << c.text;
  }
  // The blank between name and version is there even without a version.
  ProductDescription d = {"Example Tool", ""};
  char title[32] = "Setup ";
  AppendProductTitle(&d, title, sizeof(title));
  EXPECT_STREQ("Setup Example Tool ", title);
}

TEST(ProductDescription, ScanLooksAtTheTopDescriptionAndLanguageFiles) {
  const struct { const char16_t* name; ScanEntryKind kind; } cases[] = {
      {u"file_id.diz", kScanEntryDescription}, {u"docs\\FILE_ID.DIZ", kScanEntryOther}, {u"FILE_ID.DIZX", kScanEntryOther},
      {u"Lang\\Tool_it.lng", kScanEntryLanguageFile}, {u"_IT.LNG", kScanEntryLanguageFile}, {u"IT.LNG", kScanEntryOther},
  };
  for (const auto& c : cases) EXPECT_EQ(c.kind, ClassifyScanEntry(c.name)) << testing::PrintToString(c.name);
}

TEST(LanguageFile, NameCodeBaseAndPath) {
  const std::vector<uint8_t> utf16 = TestUtf16File(u"[Language=Deutsch");
  const struct { std::vector<uint8_t> bytes; std::u16string name; uint32_t cut = 0; } cases[] = {
      {TestBytes("[Info]\r\nLanguage=Deutsch (German)\r\nNext=1\r\n"), u"Deutsch"},
      {TestBytes("[Info]\nMyLanguage:Fran\xE7" "ais \t  \nx"), u"Fran\u00E7ais \t"},  // the first "Language" anywhere
      {TestBytes("[Info]\r\nLanguage=   \r\n"), u""}, {TestBytes("[Info]\r\nLanguage=(German)\r\n"), u"(none)"},
      {TestBytes(" [Info]\r\nLanguage=x\r\n"), u"(none)"}, {TestBytes("[Language"), u"(none)"},
      {TestBytes("[Language=x"), u"x"}, {TestBytes("[" + std::string(1020, ' ') + "Language=Deutsch"), u"(none)"},
      {TestUtf16File(u"[" + std::u16string(499, u' ') + u"Language=Deutsch\r\n"), u"De"},  // the first 1024 bytes
      {TestUtf16File(std::u16string(u"[Language=It") + u'\0' + u"aliano"), u"It"},
      {TestUtf16File(u"[Language=It\u0141"), u"ItA", 1},  // an odd last byte is a unit of its own
      // Without the byte-order mark the UTF-16 bytes are ANSI text with a NUL behind "[".
      {std::vector<uint8_t>(utf16.begin() + 2, utf16.end()), u"(none)"},
  };
  for (const auto& c : cases) {
    char16_t name[1024];
    const bool found = ReadLanguageFileName(c.bytes.data(), c.bytes.size() - c.cut, name, 1024);
    EXPECT_EQ(c.name, std::u16string(found ? name : u"(none)")) << testing::PrintToString(c.name);
    EXPECT_TRUE(found || name[0] == 0);
  }

  // Only ASCII letters are folded; other characters go through the code page.
  EXPECT_EQ(LanguageCode4FromNarrow("?X"), LanguageFileCode(u"Lang\\Tool_\u0416x.lng"));
  // The file-name part less its last 7 characters, cut to 31 first; set only while empty.
  const struct { const char16_t *entry, *start, *base; } bases[] = {
      {u"Lang\\Tool_IT.lng", u"", u"Tool"}, {u"_IT.LNG", u"", u"_IT.LNG"}, {u"Other_DE.LNG", u"First", u"First"},
      {u"Lang\\ABCDEFGHIJKLMNOPQRSTUVWXYZ012345_DE.LNG", u"", u"ABCDEFGHIJKLMNOPQRSTUVWX"},
  };
  for (const auto& b : bases) {
    char16_t base[32] = {};
    std::u16string(b.start).copy(base, 31);
    SetLanguageFileBase(b.entry, base, 32);
    EXPECT_EQ(std::u16string(b.base), base);
  }
  char16_t path[64];
  BuildLanguageFilePath(u"C:\\Tool/", u"PRODUCT", "\xE9", path, 64);
  EXPECT_EQ(u"C:\\Tool/PRODUCT_\u00E9.LNG", std::u16string(path));
  BuildLanguageFilePath(u"C:\\Tool", u"PRODUCT", "FR", path, 15);
  EXPECT_EQ(u"C:\\Tool\\PRODUC", std::u16string(path));
}
