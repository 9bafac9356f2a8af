#include "text/string_tables.h"

#include <gtest/gtest.h>

#include <string>

TEST(StringTables, LookupConvertsAndKeepsCapacityLessTwo) {
  const struct { const StringTable* table; int16_t id; int capacity; std::u16string text; } cases[] = {
      // The success message is glued directly behind the product name.
      {&kStringTableItalian, kTextInstalled, 64, u" \u00E8 stato installato correttamente."},
      {&kStringTableGerman, kTextStartMenuEntry, 20, u"Programmgruppe ers"}, {&kStringTableEnglish, kTextCancel, 2, u""},
      {&kStringTableEnglish, kTextCancel, 0, u"#"}, {&kStringTableEnglish, 4242, 64, u""}, {nullptr, kTextCancel, 64, u""},
  };
  for (const auto& c : cases) {
    char16_t b[65] = {u'#', 0};
    std::fill(b + 2, b + 65, u'#');
    LookupString(c.table, c.id, b, c.capacity);
    EXPECT_EQ(c.text, std::u16string(b)) << c.id;
    EXPECT_EQ(u'#', b[std::max(c.capacity, 2)]) << c.id << ": written past the capacity";
  }
}

TEST(StringTables, SystemLanguageChoosesTheTable) {
  const struct { uint16_t id; const StringTable* table; } cases[] = {
      {0x0407, &kStringTableGerman},  {0x1407, &kStringTableGerman},  {0x0810, &kStringTableItalian},
      {0x0409, &kStringTableEnglish}, {0x1807, &kStringTableEnglish}, {0x0010, &kStringTableEnglish},
  };
  for (const auto& c : cases) {
    char code[3];
    LanguageIdToCode(c.id, code);
    EXPECT_EQ(c.table, FindStringTable(code)) << std::hex << c.id;
  }
  EXPECT_EQ(&kStringTableItalian, FindStringTable("iT"));
  EXPECT_EQ(&kStringTableEnglish, FindStringTable("DEU"));
}
