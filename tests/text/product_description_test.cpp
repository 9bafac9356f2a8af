#include "text/product_description.h"

#include <gtest/gtest.h>

#include <string.h>

#include <string>
#include <vector>

#include "test_files.h"

namespace {

// "name|version" of a description's first bytes, to see both parts in one failure line.
std::string Description(const std::vector<uint8_t>& bytes, uint32_t count) {
  ProductDescription d;
  memset(&d, '#', sizeof(d));
  ParseDescriptionLine(bytes.data(), count, &d);
  return std::string(d.name) + "|" + d.version;
}

std::string Description(const std::string& text) { return Description(TestBytes(text), text.size()); }

// The display name, or "(none)" when the file is passed over.
std::u16string LanguageName(const std::vector<uint8_t>& bytes, uint32_t count) {
  char16_t name[1024];
  for (char16_t& u : name) u = u'#';
  bool ok = ReadLanguageFileName(bytes.data(), count, name, 1024);
  if (!ok) {
    EXPECT_EQ(0, name[0]);
    return u"(none)";
  }
  return name;
}

std::u16string LanguageName(const std::vector<uint8_t>& bytes) { return LanguageName(bytes, bytes.size()); }
std::u16string LanguageName(const std::string& text) { return LanguageName(TestBytes(text)); }

std::string CodeText(uint32_t code) {
  char text[5];
  LanguageCode4ToNarrow(code, text);
  return text;
}

std::u16string Base(const char16_t* entryName, const char16_t* start = u"") {
  char16_t base[32];
  for (char16_t& u : base) u = u'#';
  std::u16string(start).copy(base, 31);
  base[std::u16string(start).size()] = 0;
  SetLanguageFileBase(entryName, base, 32);
  return base;
}

}  // namespace

TEST(ProductDescription, FirstLineGrammar) {
  const struct { const char* text; const char* expected; } cases[] = {
      {"Example Tool Version 3.2 beta (build 7)\r\nmore", "Example Tool|3.2 beta"},
      {"Example Tool Version 3.2", "Example Tool|3.2"},
      {"Tool Version 2", "Tool|2"},
      {"Tool Version", "Tool Version|"},
      {"Tool version 2", "Tool version 2|"},
      {"Tool  \nx", "Tool |"},
      {"Tool Version 2 Version 3", "Tool|2 Version 3"},
      {" Version 9", "|9"},
      {"(Tool) Version 2", "|"},
      {"[Tool]", "|"},
      {" (x)", "|"},
      {"Caf\xE9 Version 1\xB2", "Caf\xE9|1\xB2"},
      {"", "|"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.expected, Description(c.text)) << "line: " << c.text;

  // Bytes behind the count are not looked at, nor is anything behind the first NUL.
  EXPECT_EQ("Tool|", Description(TestBytes("Tool Version 2"), 4));
  EXPECT_EQ("Tool|", Description(std::vector<uint8_t>{'T', 'o', 'o', 'l', 0, 'x'}, 6));
  EXPECT_EQ("|", Description(TestBytes("Tool"), 0));
  ProductDescription d;
  ParseDescriptionLine(nullptr, 10, &d);
  EXPECT_STREQ("", d.name);
}

TEST(ProductDescription, LongLinesCutAndTitleComposed) {
  EXPECT_EQ(std::string(127, 'n') + "|", Description(std::string(200, 'n')));
  EXPECT_EQ("Tool|" + std::string(31, 'v'), Description("Tool Version " + std::string(40, 'v')));
  // Only the first 1024 bytes are looked at: the marker behind them is never seen.
  std::string longer = std::string(1030, 'n') + " Version 1";
  EXPECT_EQ(std::string(127, 'n') + "|", Description(longer));
  std::string marker = std::string(1000, 'n') + " Version " + std::string(100, 'v');
  EXPECT_EQ(std::string(127, 'n') + "|" + std::string(15, 'v'), Description(marker));

  ProductDescription d = {"Example Tool", "3.2"};
  char title[64] = "Setup ";
  AppendProductTitle(&d, title, sizeof(title));
  EXPECT_STREQ("Setup Example Tool 3.2", title);

  ProductDescription empty = {"", ""};
  char blank[8] = "";
  AppendProductTitle(&empty, blank, sizeof(blank));
  EXPECT_STREQ(" ", blank);
  char small[8] = "Set";
  AppendProductTitle(&d, small, sizeof(small));
  EXPECT_STREQ("SetExam", small);
}

TEST(ScanEntry, OnlyDescriptionAtTopAndLanguageFilesCount) {
  const struct { const char16_t* name; ScanEntryKind kind; } cases[] = {
      {u"FILE_ID.DIZ", kScanEntryDescription},      {u"file_id.diz", kScanEntryDescription},
      {u"docs\\FILE_ID.DIZ", kScanEntryOther},      {u"FILE_ID.DIZX", kScanEntryOther},
      {u"Tool_DE.LNG", kScanEntryLanguageFile},      {u"Lang\\Tool_IT.lng", kScanEntryLanguageFile},
      {u"_IT.LNG", kScanEntryLanguageFile},          {u"IT.LNG", kScanEntryOther},
      {u".LNG", kScanEntryOther},                    {u"Tool_DE.LNG.bak", kScanEntryOther},
      {u"Tool.exe", kScanEntryOther},                {u"", kScanEntryOther},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.kind, ClassifyScanEntry(c.name)) << std::string(c.name, c.name + std::char_traits<char16_t>::length(c.name));
  }
  EXPECT_EQ(kScanEntryOther, ClassifyScanEntry(nullptr));
}

TEST(LanguageFile, NameGrammarOverTheLeadingBytes) {
  EXPECT_EQ(u"Deutsch", LanguageName("[Info]\r\nLanguage=Deutsch (German)\r\nNext=1\r\n"));
  EXPECT_EQ(u"Fran\u00E7ais", LanguageName("[Info]\nLanguage=Fran\xE7" "ais\nx"));
  EXPECT_EQ(u"Italiano", LanguageName("[Info]\r\nLanguage:Italiano   \r\n"));
  // Trailing blanks go, tabs stay; a name of blanks only still adds an item.
  EXPECT_EQ(u"Dansk\t", LanguageName("[Info]\r\nLanguage=Dansk\t  \r\n"));
  EXPECT_EQ(u"", LanguageName("[Info]\r\nLanguage=   \r\n"));
  // The first "Language" anywhere counts, even inside a key or the section header.
  EXPECT_EQ(u"Svenska", LanguageName("[Info]\r\nMyLanguage=Svenska\r\n"));
  EXPECT_EQ(u"(none)", LanguageName("[Language]\r\nLanguage=Deutsch\r\n"));
  EXPECT_EQ(u"(none)", LanguageName("[Info]\r\nLanguages=Deutsch\r\n"));
  EXPECT_EQ(u"(none)", LanguageName(" [Info]\r\nLanguage=Deutsch\r\n"));
  EXPECT_EQ(u"(none)", LanguageName("[Info]\r\nLanguage=(German)\r\n"));
  // The key at the very end has no separator to skip; nothing behind it is read.
  EXPECT_EQ(u"(none)", LanguageName("[Language"));
  EXPECT_EQ(u"(none)", LanguageName("[Language="));
  EXPECT_EQ(u"x", LanguageName("[Language=x"));
  char16_t name[8] = u"old";
  EXPECT_FALSE(ReadLanguageFileName(nullptr, 5, name, 8));
  EXPECT_EQ(0, name[0]);

  // Only the first 1024 bytes, and none behind the count, are read.
  EXPECT_EQ(u"Deu", LanguageName(TestBytes("[Info]\r\nLanguage=Deutsch\r\n"), 20));
  EXPECT_EQ(u"(none)", LanguageName("[" + std::string(1020, ' ') + "Language=Deutsch\r\n"));
  EXPECT_EQ(u"Deutsch", LanguageName("[" + std::string(1005, ' ') + "Language=Deutsch\r\n"));
  EXPECT_EQ(u"De", LanguageName(TestUtf16File(u"[" + std::u16string(499, u' ') + u"Language=Deutsch\r\n")));
}

TEST(LanguageFile, Utf16NameReadAsItsAnsiTwin) {
  EXPECT_EQ(u"Italiano", LanguageName(TestUtf16File(u"[Info]\r\nLanguage=Italiano\r\n")));
  EXPECT_EQ(u"(none)", LanguageName(TestUtf16File(u"Language=Italiano")));
  // Without the byte-order mark the UTF-16 bytes are ANSI text starting with "[" and a NUL.
  std::vector<uint8_t> noMark = TestUtf16File(u"[Info]\r\nLanguage=Italiano");
  noMark.erase(noMark.begin(), noMark.begin() + 2);
  EXPECT_EQ(u"(none)", LanguageName(noMark));
  // The text ends at the first zero unit, or with the leading bytes, an odd last byte included.
  std::vector<uint8_t> zero = TestUtf16File(std::u16string(u"[Language=It") + u'\0' + u"aliano");
  EXPECT_EQ(u"It", LanguageName(zero));
  std::vector<uint8_t> odd = TestUtf16File(u"[Language=It\u0141");
  EXPECT_EQ(u"ItA", LanguageName(odd, odd.size() - 1));
  EXPECT_EQ(u"(none)", LanguageName(std::vector<uint8_t>{0xFF, 0xFE}));
}

TEST(LanguageFile, CodeBaseAndPathFromNames) {
  EXPECT_EQ(0x4544u, LanguageFileCode(u"Tool_DE.LNG"));
  EXPECT_EQ("IT", CodeText(LanguageFileCode(u"Lang\\Tool_it.lng")));
  EXPECT_EQ("IT", CodeText(LanguageFileCode(u"_IT.LNG")));
  // Only ASCII letters are folded; other characters go through the code page.
  EXPECT_EQ("\xE9" "1", CodeText(LanguageFileCode(u"Tool_\u00E91.LNG")));
  EXPECT_EQ("?X", CodeText(LanguageFileCode(u"Tool_\u0416x.LNG")));
  EXPECT_EQ("", CodeText(LanguageFileCode(nullptr)));

  EXPECT_EQ(0x5355u, LanguageCode4FromNarrow("US"));
  EXPECT_EQ(0x44434241u, LanguageCode4FromNarrow("ABCDE"));
  EXPECT_EQ("ABCD", CodeText(0x44434241u));
  EXPECT_EQ("", CodeText(0));

  EXPECT_EQ(u"Tool", Base(u"Tool_DE.LNG"));
  EXPECT_EQ(u"Tool", Base(u"Lang\\Tool_IT.lng"));
  EXPECT_EQ(u"_IT.LNG", Base(u"_IT.LNG"));
  EXPECT_EQ(u"Tool", Base(u"ToolLNG.LNG"));
  // A file-name part longer than 31 characters: its first 31, less the last 7 of those.
  EXPECT_EQ(u"ABCDEFGHIJKLMNOPQRSTUVWX", Base(u"Lang\\ABCDEFGHIJKLMNOPQRSTUVWXYZ012345_DE.LNG"));
  // Set only while empty.
  EXPECT_EQ(u"First", Base(u"Other_DE.LNG", u"First"));

  char16_t path[64];
  BuildLanguageFilePath(u"C:\\Program Files\\Tool", u"PRODUCT", "FR", path, 64);
  EXPECT_EQ(u"C:\\Program Files\\Tool\\PRODUCT_FR.LNG", std::u16string(path));
  BuildLanguageFilePath(u"C:\\Tool/", u"PRODUCT", "\xE9", path, 64);
  EXPECT_EQ(u"C:\\Tool/PRODUCT_\u00E9.LNG", std::u16string(path));
  // Every step is bounded by the capacity.
  char16_t small[16];
  BuildLanguageFilePath(u"C:\\Tool", u"PRODUCT", "FR", small, 9);
  EXPECT_EQ(u"C:\\Tool\\", std::u16string(small));
  BuildLanguageFilePath(u"C:\\Tool", u"PRODUCT", "FR", small, 15);
  EXPECT_EQ(u"C:\\Tool\\PRODUC", std::u16string(small));
}
