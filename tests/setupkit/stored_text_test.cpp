// What pack may store: identity texts and entry names in Windows-1252.
#include <gtest/gtest.h>

#include "archive/entry_format.h"
#include "setupkit/ansi_text.h"
#include "setupkit/stored_text.h"

TEST(StoredText, TextsAndNamesInWindows1252) {
  std::string ansi, accents;
  EXPECT_EQ(u8"contains U+1F600 (\U0001F600), which Windows-1252 cannot hold", ansi::FromUtf8(u8"\U0001F600", &ansi));
  for (const char* bad : {"\xC3", "\xC0\xAF", "\xED\xA0\x80", "a\x80"})
    EXPECT_EQ("is not valid UTF-8", ansi::FromUtf8(bad, &ansi)) << bad;
  for (int i = 0; i < 31; ++i) accents += u8"\u00e9";  // 31 bytes in Windows-1252, 62 in UTF-8
  EXPECT_EQ("", stored::CheckIdentity(stored::Identity::kMainProgram, accents, &ansi));
  EXPECT_EQ("must be a file name without folders",
            stored::CheckIdentity(stored::Identity::kMainProgram, "bin\\app.exe", &ansi));

  // stored: the name in Windows-1252, or "!" and the start of the problem.
  const struct { std::string utf8, stored; } names[] = {
      {u8"docs/Stra\u00dfe\\\u20ac \u0178", "docs\\Stra\xDF" "e\\\x80 \x9F"}, {"COM10", "COM10"},
      {std::string(1019, 'n'), std::string(1019, 'n')}, {std::string(1020, 'n'), "!is 1020 bytes long in Windows-1252"},
      {"/x.txt", "!starts with a separator"}, {"C:\\x.txt", "!contains ':'"}, {"a\\..\\x", "!has the component \"..\""},
      {"a\\\\x.txt", "!has an empty folder component"}, {"dir \\x", "!has the component \"dir \" ending in a space"},
      {"a/nul.txt", "!uses the device name \"nul.txt\""}, {u8"\u0081", "!contains U+0081, the one character"},
  };
  for (const auto& c : names) {
    std::string problem = stored::CheckEntryName(c.utf8, &ansi);
    EXPECT_EQ(c.stored, problem.empty() ? ansi : ("!" + problem).substr(0, c.stored.size())) << c.utf8.substr(0, 20);
  }
  EXPECT_EQ(stored::FoldKey("\xC9T\xC9.\x8A"), stored::FoldKey("\xE9t\xE9.\x9A"));  // ÉTÉ.Š and été.š
}

// UTF-16 and UTF-8 both ways, characters outside the first plane included; a
// lone surrogate becomes U+FFFD.
TEST(AnsiText, Utf16AndUtf8BothWays) {
  const std::u16string wide = u"a\u00e9\u20ac\U0001F600z";
  const std::string utf8 = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80z";
  EXPECT_EQ(utf8, Utf16ToUtf8(wide));
  EXPECT_EQ(wide, Utf8ToUtf16(utf8));
  EXPECT_EQ("a\xEF\xBF\xBD" "b\xEF\xBF\xBD", Utf16ToUtf8(std::u16string(u"a") + char16_t(0xD83D) + u"b" +
                                                               char16_t(0xDE00)));
}

// Every month's last day is a date an installer holds, the day after it is not.
TEST(StoredText, ArchiveDatesToTheLastDayOfEachMonth) {
  const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  for (int year : {2013, 2016, 2100, 2400}) {
    const bool leap = year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
    for (int month = 1; month <= 12; ++month) {
      const int last = days[month - 1] + (month == 2 && leap ? 1 : 0);
      int y = 0, m = 0, d = 0;
      EXPECT_TRUE(ArchiveDateToYmd(ArchiveDateFromYmd(year, month, last), &y, &m, &d)) << year << "-" << month;
      EXPECT_EQ(year * 10000 + month * 100 + last, y * 10000 + m * 100 + d);
      if (last < 31) {
        EXPECT_FALSE(ArchiveDateToYmd(ArchiveDateFromYmd(year, month, last + 1), &y, &m, &d)) << month;
      }
    }
  }
  int y, m, d;
  EXPECT_FALSE(ArchiveDateToYmd(ArchiveDateFromYmd(30828, 1, 1), &y, &m, &d) ||
               ArchiveDateToYmd(kArchiveDateMin - 1, &y, &m, &d));
}
