#include "text/string_tables.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Looks id up into a 64-unit buffer full of markers and fails on any unit
// written at or past capacity; returns the text.
std::u16string Lookup(const StringTable* table, int16_t id, int capacity = 64) {
  char16_t b[64];
  for (char16_t& u : b) u = u'#';
  LookupString(table, id, b, capacity);
  for (int i = capacity < 0 ? 0 : capacity; i < 64; ++i)
    EXPECT_EQ(u'#', b[i]) << "unit " << i << " written, capacity " << capacity << ", id " << id;
  if (capacity <= 0) return u"(untouched)";
  return b;
}

std::u16string Expanded(std::u16string text) {
  ExpandTabEscapes(&text[0]);
  return text.c_str();
}

}  // namespace

TEST(StringTables, SameIdsInSameOrderInEveryTable) {
  const std::vector<int16_t> expected = {1000, 99, 2, 1010, 1031, 1041, 1042, 1043, 2001, 2002, 3001, 3000, 136, 137, 138};
  const char* codes[] = {"US", "DE", "IT"};
  int t = 0;
  for (; kStringTables[t] != nullptr; ++t) {
    const StringTable* table = kStringTables[t];
    ASSERT_LT(t, 3);
    EXPECT_STREQ(codes[t], table->languageCode);
    EXPECT_EQ(0, table->format) << table->languageCode;
    std::vector<int16_t> ids;
    for (const StringRow* row = table->rows; row->id != 0; ++row) ids.push_back(row->id);
    EXPECT_EQ(expected, ids) << table->languageCode;
    // The success message is glued directly behind the product name.
    EXPECT_EQ(u' ', Lookup(table, kTextInstalled)[0]) << table->languageCode;
  }
  EXPECT_EQ(3, t);

  std::vector<int16_t> dialogIds;
  for (const int16_t* id = kDialogTextIds; *id != 0; ++id) dialogIds.push_back(*id);
  EXPECT_EQ((std::vector<int16_t>{1000, 99, 2, 1031, 1041, 1042, 1043}), dialogIds);
}

TEST(StringTables, TextsComeOutThroughTheCodePage) {
  EXPECT_EQ(u"Setup", Lookup(&kStringTableEnglish, kTextDialogTitle));
  EXPECT_EQ(u"Installation", Lookup(&kStringTableGerman, kTextDialogTitle));
  EXPECT_EQ(u"Installazione", Lookup(&kStringTableItalian, kTextDialogTitle));
  EXPECT_EQ(u"Die Datei ist besch\u00E4digt, bitte nochmal herunterladen!",
            Lookup(&kStringTableGerman, kTextBrokenFile));
  EXPECT_EQ(u" \u00E8 stato installato correttamente.", Lookup(&kStringTableItalian, kTextInstalled));
  EXPECT_EQ(u"&Invert selection", Lookup(&kStringTableEnglish, kTextMenuInvert));

  // The Italian table names the built-in list entries in English, the German one in German.
  EXPECT_EQ(u"English", Lookup(&kStringTableItalian, kTextLanguageEnglish));
  EXPECT_EQ(u"German", Lookup(&kStringTableItalian, kTextLanguageGerman));
  EXPECT_EQ(u"Englisch", Lookup(&kStringTableGerman, kTextLanguageEnglish));
  EXPECT_EQ(u"Deutsch", Lookup(&kStringTableGerman, kTextLanguageGerman));
}

TEST(LookupString, KeepsCapacityMinusTwoCharacters) {
  EXPECT_EQ(u"Die Datei ist besc", Lookup(&kStringTableGerman, kTextBrokenFile, 20));
  EXPECT_EQ(u"Se", Lookup(&kStringTableEnglish, kTextDialogTitle, 4));
  EXPECT_EQ(u"", Lookup(&kStringTableEnglish, kTextDialogTitle, 2));
  EXPECT_EQ(u"", Lookup(&kStringTableEnglish, kTextDialogTitle, 1));
  // A buffer of capacity 0 has no room even for a terminator.
  EXPECT_EQ(u"(untouched)", Lookup(&kStringTableEnglish, kTextDialogTitle, 0));
  EXPECT_EQ(u"(untouched)", Lookup(nullptr, kTextDialogTitle, 0));
  EXPECT_EQ(u"(untouched)", Lookup(&kStringTableEnglish, kTextDialogTitle, -1));
}

TEST(LookupString, MissingIdOrTableGivesEmptyText) {
  EXPECT_EQ(u"", Lookup(&kStringTableEnglish, 4242));
  EXPECT_EQ(u"", Lookup(&kStringTableEnglish, 0));
  EXPECT_EQ(u"", Lookup(nullptr, kTextDialogTitle));
  EXPECT_EQ(u"", Lookup(nullptr, 4242, 1));
}

TEST(LookupString, WideTablesDuplicatesAndTabEscapes) {
  const StringRow narrowRows[] = {{7, "a\\tb"}, {-5, "negative"}, {7, "second"}, {0, nullptr}};
  const StringTable narrow = {0, "XX", narrowRows};
  EXPECT_EQ(u"a\tb", Lookup(&narrow, 7));
  EXPECT_EQ(u"negative", Lookup(&narrow, -5));
  // The tab escape is expanded after the cut, so it still counts two units there.
  EXPECT_EQ(u"a\\", Lookup(&narrow, 7, 4));
  EXPECT_EQ(u"a\tb", Lookup(&narrow, 7, 6));

  const StringRow wideRows[] = {{1, u"x\\ty \u20AC"}, {0, nullptr}};
  const StringTable wide = {kStringTableWide, "XX", wideRows};
  EXPECT_EQ(u"x\ty \u20AC", Lookup(&wide, 1));
  EXPECT_EQ(u"x\\", Lookup(&wide, 1, 4));
  // Any flag but -1 means narrow: 0x80 is the euro sign in Windows-1252.
  const StringRow ansiRows[] = {{1, "\x80"}, {0, nullptr}};
  const StringTable ansi = {1, "XX", ansiRows};
  EXPECT_EQ(u"\u20AC", Lookup(&ansi, 1));
}

TEST(ExpandTabEscapes, EachBackslashTBecomesOneTab) {
  EXPECT_EQ(u"\t", Expanded(u"\\t"));
  EXPECT_EQ(u"a\t\tb", Expanded(u"a\\t\\tb"));
  EXPECT_EQ(u"\\\t", Expanded(u"\\\\t"));
  EXPECT_EQ(u"\\T t \\", Expanded(u"\\T t \\"));
  EXPECT_EQ(u"", Expanded(u""));
  ExpandTabEscapes(nullptr);
}

TEST(InterfaceLanguage, LanguageIdsMapToCodes) {
  const struct { uint16_t id; const char* code; } cases[] = {
      {0x0407, "DE"}, {0x0807, "DE"}, {0x0C07, "DE"}, {0x1007, "DE"}, {0x1407, "DE"},
      {0x0410, "IT"}, {0x0810, "IT"},
      {0x0409, "US"}, {0x0809, "US"}, {0x040C, "US"}, {0x0007, "US"}, {0x0010, "US"},
      {0x1807, "US"}, {0x0000, "US"}, {0xFFFF, "US"},
  };
  for (const auto& c : cases) {
    char code[4] = {'#', '#', '#', '#'};
    LanguageIdToCode(c.id, code);
    EXPECT_STREQ(c.code, code) << "language id 0x" << std::hex << c.id;
    EXPECT_EQ('#', code[3]);
  }
}

TEST(InterfaceLanguage, TablesFoundByCodeEnglishByDefault) {
  EXPECT_EQ(&kStringTableGerman, FindStringTable("DE"));
  EXPECT_EQ(&kStringTableGerman, FindStringTable("de"));
  EXPECT_EQ(&kStringTableItalian, FindStringTable("iT"));
  EXPECT_EQ(&kStringTableEnglish, FindStringTable("FR"));
  EXPECT_EQ(&kStringTableEnglish, FindStringTable("DEU"));
  EXPECT_EQ(&kStringTableEnglish, FindStringTable(""));
  EXPECT_EQ(&kStringTableEnglish, FindStringTable(nullptr));
}
