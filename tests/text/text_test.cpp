// The text layer: bounded text and path operations, the ANSI code page, the
// interface's string tables and the readers of the product description and
// language files.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <string>

#include "test_files.h"
#include "text/bounded_text.h"
#include "text/product_description.h"
#include "text/string_tables.h"

namespace {

int Append(char16_t* b, int n) { return AppendWide(u"de", b, n); }
int Copy(char16_t* b, int n) { return CopyWide(u"abcdef", b, n), 0; }
int Strip(char16_t* b, int) { return StripFileName(b), 0; }
std::function<int(char16_t*, int)> Join(const char16_t* component) {
  return [component](char16_t* b, int n) { return AppendPathComponent(component, b, n); };
}

}  // namespace

// Each operation runs on a 32-unit buffer holding `start`, filled with a marker
// behind it; no unit at or past the capacity may be written. `op` returns the
// operation's result (0 for those without one); `text` is the buffer's text after it.
TEST(BoundedText, ResultsAndCutsAtEachCapacity) {
  const struct { const char16_t* start; int capacity; std::function<int(char16_t*, int)> op;
                 const char16_t* text; int result; } cases[] = {
      {u"abc", 4, Append, u"abc", kAppendNoRoom}, {u"abc", 5, Append, u"abcd", kAppendTruncated},
      {u"abc", 6, Append, u"abcde", 0},           {u"abc", 0, Append, u"abc", 0},
      {u"abcd", 4, Append, u"abcd", kAppendNoRoom},  // no terminator within capacity: full
      {u"old", 4, Copy, u"abc", 0}, {u"old", 1, Copy, u"", 0}, {u"old", 0, Copy, u"old", 0},  // 0: no terminator
      {u"old", 3, [](char16_t* b, int n) { return NarrowToWide("\x80\x80\x80", b, n), 0; }, u"\u20AC\u20AC", 0},
      {u"ab", 5, [](char16_t* b, int n) { return AppendNarrowToWide("cdef", b, n), 0; }, u"abcd", 0},
      // SetWide's source may lie further on in the destination's own buffer.
      {u"Name: Product 1.0", 8, [](char16_t* b, int n) { return SetWide(b + 6, b, n); }, u"Product", kAppendTruncated},
      {u"C:\\dir", 32, Join(u"\\sub"), u"C:\\dir\\sub", 0}, {u"C:/dir/", 32, Join(u"/sub"), u"C:/dir/sub", 0},
      {u"", 32, Join(u"sub"), u"sub", 0}, {u"C:", 32, Join(u""), u"C:", 0}, {u"C:", 32, Join(u"x"), u"C:\\x", 0},
      {u"C:\\dir", 10, Join(u"file.txt"), u"C:\\dir\\fi", kAppendTruncated},
      // The separator takes the last free unit and leaves none for the component.
      {u"C:\\dir", 8, Join(u"file.txt"), u"C:\\dir\\", kAppendNoRoom},
      {u"C:\\dir\\f.exe", 32, Strip, u"C:\\dir", 0}, {u"C:\\f.exe", 32, Strip, u"C:\\", 0},
      {u"f.exe", 32, Strip, u"", 0}, {u"\\file", 32, Strip, u"", 0}, {u"ab/c", 32, Strip, u"ab", 0},
      {u"n=", 32, [](char16_t* b, int n) { return AppendDecimal(0, b, n); }, u"n=0", 0},
      {u"", 32, [](char16_t* b, int n) { return AppendDecimal(18446744073709551615u, b, n); },
       u"18446744073709551615", 0},
      {u"", 5, [](char16_t* b, int n) { return AppendDecimal(1234567890, b, n); }, u"1234", kAppendTruncated},
      {u"a\\tb\\\\tc\\", 32, [](char16_t* b, int) { return ExpandTabEscapes(b), 0; }, u"a\tb\\\tc\\", 0},
  };
  for (const auto& c : cases) {
    char16_t b[32];
    std::fill(b, b + 32, u'#');
    std::u16string start(c.start);
    std::copy(start.c_str(), start.c_str() + start.size() + 1, b);
    const std::string shown = testing::PrintToString(start) + " capacity " + std::to_string(c.capacity);
    EXPECT_EQ(c.result, c.op(b, c.capacity)) << shown;
    EXPECT_EQ(std::u16string(c.text), std::u16string(b)) << shown;
    for (int u = std::max<int>(c.capacity, start.size() + 1); u < 32; ++u) EXPECT_EQ(u'#', b[u]) << shown << " @" << u;
  }
}

// The ANSI code page of every test environment is Windows-1252: natively the
// POSIX backend's own table, under Wine the system's conversion.
TEST(CodePage, EveryByteConvertsAsWindows1252AndBack) {
  // Bytes 0x80 to 0x9F as Windows converts them; the five undefined bytes come
  // back as the C1 control of the same value. All other bytes are identity.
  const char16_t kHigh1252[32] = {
      0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
      0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
      0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
  };
  char bytes[256], back[256];
  for (int b = 1; b < 256; ++b) bytes[b - 1] = static_cast<char>(b);
  bytes[255] = 0;
  char16_t wide[256];
  NarrowToWide(bytes, wide, 256);
  WideToNarrow(wide, back, 256);
  for (int b = 1; b < 256; ++b) {
    EXPECT_EQ(b >= 0x80 && b < 0xA0 ? kHigh1252[b - 0x80] : b, wide[b - 1]) << "byte 0x" << std::hex << b;
    EXPECT_EQ(b, static_cast<unsigned char>(back[b - 1])) << "from U+" << std::hex << int(wide[b - 1]);
  }
  // CJK and Hangul have no best-fit form in Windows-1252; a cut keeps whole bytes.
  char narrow[8] = "#######";
  WideToNarrow(u"a\u4E2D\uAC00b\u20AC", narrow, 6);
  EXPECT_STREQ("a??b\x80", narrow);
  WideToNarrow(u"a\u4E2D\uAC00b\u20AC", narrow, 4);
  EXPECT_STREQ("a??", narrow);
  EXPECT_EQ('\x80', narrow[4]) << "written past the capacity";
}

TEST(StringTables, TableChosenBySystemLanguageLookupConvertsAndCuts) {
  const struct { const StringTable* table; int16_t id; int capacity; std::u16string text; } cases[] = {
      // The success message is glued directly behind the product name; at most capacity - 2 characters are kept.
      {&kStringTableItalian, kTextInstalled, 64, u" \u00E8 stato installato correttamente."},
      {&kStringTableGerman, kTextInstalled, 4, u" w"}, {&kStringTableEnglish, kTextInstalled, 4, u" h"},
      {&kStringTableGerman, kTextCancel, 2, u""},
      {&kStringTableGerman, kTextCancel, 0, u"#"}, {&kStringTableGerman, 999, 64, u""}, {nullptr, kTextCancel, 64, u""},
  };
  for (const auto& c : cases) {
    char16_t b[65] = {u'#', 0};
    std::fill(b + 2, b + 65, u'#');
    LookupString(c.table, c.id, b, c.capacity);
    EXPECT_EQ(c.text, std::u16string(b)) << c.id;
    EXPECT_EQ(u'#', b[std::max(c.capacity, 2)]) << c.id << ": written past the capacity";
  }

  // The system's language chooses the table: every German and Italian country, and nothing else.
  const struct { uint16_t id; const StringTable* table; } languages[] = {
      {0x0407, &kStringTableGerman},  {0x0807, &kStringTableGerman},  {0x0C07, &kStringTableGerman},
      {0x1007, &kStringTableGerman},  {0x1407, &kStringTableGerman},  {0x0410, &kStringTableItalian},
      {0x0810, &kStringTableItalian}, {0x0409, &kStringTableEnglish}, {0x1807, &kStringTableEnglish},
      {0x0007, &kStringTableEnglish}, {0x0010, &kStringTableEnglish}, {0x0C10, &kStringTableEnglish},
      {0x040C, &kStringTableEnglish}, {0x0000, &kStringTableEnglish},
  };
  for (const auto& c : languages) {
    char code[3];
    LanguageIdToCode(c.id, code);
    EXPECT_EQ(c.table, FindStringTable(code)) << std::hex << c.id;
  }
  EXPECT_EQ(&kStringTableItalian, FindStringTable("iT"));

  // "%1" to "%9" take the arguments there are; any other "%" stays, and the result is cut to fit.
  const char16_t* args[] = {u"2.0", u"Pebble"};
  const struct { const char16_t* pattern; int count, capacity; std::u16string text; } formats[] = {
      {u"%2 %1 over %1", 2, 64, u"Pebble 2.0 over 2.0"}, {u"%3%2 100% %0%", 2, 64, u"%3Pebble 100% %0%"},
      {u"%2 %1", 1, 64, u"%2 2.0"}, {u"%2 %1", 2, 8, u"Pebble "}, {nullptr, 2, 64, u""},
  };
  for (const auto& f : formats) {
    char16_t out[64];
    FormatString(f.pattern, args, f.count, out, f.capacity);
    EXPECT_EQ(f.text, std::u16string(out)) << f.count << " " << f.capacity;
  }
  EXPECT_EQ(&kStringTableEnglish, FindStringTable("DEU"));
}

// Every table holds each text once, none empty, with the placeholders and TAB
// marks of the English one: a row filed under another id leaves a text missing.
TEST(StringTables, EveryTableHasEveryTextOnce) {
  std::map<int16_t, std::string> english;
  for (const StringRow* row = kStringTableEnglish.rows; row->id != 0; ++row) english[row->id] = row->text;
  auto marks = [](const std::string& text) {
    std::string found;
    for (size_t i = 0; i + 1 < text.size(); ++i) {
      if ((text[i] == '%' && text[i + 1] >= '1' && text[i + 1] <= '9') || (text[i] == '\\' && text[i + 1] == 't')) {
        found += text.substr(i, 2);
      }
    }
    std::sort(found.begin(), found.end());
    return found;
  };
  for (int i = 0; kStringTables[i] != nullptr; ++i) {
    const StringTable* table = kStringTables[i];
    std::map<int16_t, std::string> rows;
    for (const StringRow* row = table->rows; row->id != 0; ++row) {
      EXPECT_TRUE(rows.emplace(row->id, row->text).second) << table->languageCode << ": id " << row->id << " twice";
      EXPECT_STRNE("", row->text) << table->languageCode << ": id " << row->id;
    }
    EXPECT_EQ(english.size(), rows.size()) << table->languageCode;
    for (const auto& row : english) {
      ASSERT_EQ(1u, rows.count(row.first)) << table->languageCode << ": no text " << row.first;
      EXPECT_EQ(marks(row.second), marks(rows[row.first])) << table->languageCode << ": text " << row.first;
    }
  }
}

TEST(ProductDescription, FirstLineGrammarAndLimits) {
  const std::string n127(127, 'n');
  const struct { std::string text, expected; } cases[] = {  // expected: "name|version"
      {"Example Tool Version 3.2 beta (build 7)\r\nmore", "Example Tool|3.2 beta"}, {"Tool  \nx", "Tool |"},
      {"Tool version 2", "Tool version 2|"}, {"Tool Version 2 Version 3", "Tool|2 Version 3"}, {" Version 9", "|9"},
      {"[T] Version 2", "|"}, {std::string("Tool\0x", 6), "Tool|"},
      {"Caf\xE9 Version " + std::string(40, '\xB2'), "Caf\xE9|" + std::string(31, '\xB2')},
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
      {u"file_id.diz", kScanEntryDescription}, {u"docs\\FILE_ID.DIZ", kScanEntryOther}, {u"IT.LNG", kScanEntryOther},
      {u"Lang\\T_it.lng", kScanEntryLanguageFile}, {u"_IT.LNG", kScanEntryLanguageFile}, {u"a.LNG.x", kScanEntryOther},
  };
  for (const auto& c : cases) EXPECT_EQ(c.kind, ClassifyScanEntry(c.name)) << testing::PrintToString(c.name);
}

TEST(LanguageFile, NameCodeBaseAndPath) {
  const std::vector<uint8_t> utf16 = TestUtf16File(u"[Language=Deutsch");
  const struct { std::vector<uint8_t> bytes; std::u16string name; uint32_t cut = 0; } cases[] = {
      {TestBytes("[Info]\r\nLanguage=Deutsch (German)\r\nNext=1\r\n"), u"Deutsch"},
      {TestBytes("[Info]\nMyLanguage:Fran\xE7" "ais \t  \nx"), u"Fran\u00E7ais \t"},  // the first "Language" anywhere
      {TestBytes("[Language=   \r\n"), u""}, {TestBytes("[Language=(De)"), u"(none)"}, {TestBytes("[Language=x"), u"x"},
      {TestBytes(" [Language=x"), u"(none)"}, {TestBytes("[Language"), u"(none)"},
      {TestBytes("[" + std::string(1020, ' ') + "Language=Deutsch"), u"(none)"},
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
}
