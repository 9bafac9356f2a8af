#include "text/string_tables.h"

#include <gtest/gtest.h>

#include <string>

TEST(StringTables, LookupConvertsAndKeepsCapacityLessTwo) {
  const struct { const StringTable* table; int16_t id; int capacity; std::u16string text; } cases[] = {
      // The success message is glued directly behind the product name.
      {&kStringTableItalian, kTextInstalled, 64, u" \u00E8 stato installato correttamente."},
      // The Italian table names the built-in list entries in English, the German one in German.
      {&kStringTableItalian, kTextLanguageGerman, 64, u"German"},
      {&kStringTableGerman, kTextLanguageEnglish, 64, u"Englisch"},
      {&kStringTableGerman, kTextStartMenuEntry, 20, u"Programmgruppe ers"}, {&kStringTableEnglish, kTextCancel, 2, u""},
      {&kStringTableEnglish, kTextCancel, 0, u"#"}, {&kStringTableEnglish, 4242, 64, u""}, {nullptr, kTextCancel, 64, u""},
  };
  for (const auto& c : cases) {
    char16_t b[65];
    std::fill(b, b + 65, u'#');
    b[1] = 0;
    LookupString(c.table, c.id, b, c.capacity);
    EXPECT_EQ(c.text, std::u16string(b)) << c.id;
    EXPECT_EQ(u'#', b[std::max(c.capacity, 2)]) << c.id << ": written past the capacity";
  }
}

TEST(StringTables, SystemLanguageChoosesTheTable) {
  const struct { uint16_t id; const char* code; } cases[] = {
      {0x0407, "DE"}, {0x0C07, "DE"}, {0x1407, "DE"}, {0x0810, "IT"}, {0x0409, "US"}, {0x1807, "US"}, {0x0010, "US"},
  };
  for (const auto& c : cases) {
    char code[3];
    LanguageIdToCode(c.id, code);
    EXPECT_STREQ(c.code, code) << "language id 0x" << std::hex << c.id;
  }
  EXPECT_EQ(&kStringTableGerman, FindStringTable("de"));
  EXPECT_EQ(&kStringTableItalian, FindStringTable("iT"));
  for (const char* other : {"FR", "DEU", static_cast<const char*>(nullptr)})
    EXPECT_EQ(&kStringTableEnglish, FindStringTable(other));
}
