// What pack may store: identity texts and entry names in Windows-1252.
#include <gtest/gtest.h>

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
