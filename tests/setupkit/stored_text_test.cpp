#include "setupkit/stored_text.h"

#include <gtest/gtest.h>

#include "setupkit/ansi_text.h"

namespace {

std::string Name(const std::string& utf8) {
  std::string ansi;
  std::string problem = stored::CheckEntryName(utf8, &ansi);
  return problem.empty() ? ansi : "!" + problem;
}

}  // namespace

TEST(StoredText, ConvertsUtf8ToWindows1252) {
  std::string ansi;
  EXPECT_EQ("", ansi::FromUtf8(u8"caf\u00e9 \u00fc \u20ac \u0178", &ansi));
  EXPECT_EQ("caf\xE9 \xFC \x80 \x9F", ansi);
  EXPECT_EQ(u8"caf\u00e9 \u00fc \u20ac \u0178", ansi::ToUtf8(ansi));
  EXPECT_EQ(u8"contains U+0100 (\u0100), which Windows-1252 cannot hold", ansi::FromUtf8(u8"\u0100", &ansi));
  EXPECT_EQ(u8"contains U+1F600 (\U0001F600), which Windows-1252 cannot hold", ansi::FromUtf8(u8"\U0001F600", &ansi));
  for (const char* bad : {"\xC3", "\xC0\xAF", "\xED\xA0\x80", "\xFF", "a\x80"}) {
    EXPECT_EQ("is not valid UTF-8", ansi::FromUtf8(bad, &ansi)) << bad;
  }
  EXPECT_EQ(u8"a\U0001F600\u00e9", Utf16ToUtf8(Utf8ToUtf16(u8"a\U0001F600\u00e9")));
}

// The command-line refusals are in pack_test.cpp; these are the edges of the limits.
TEST(StoredText, IdentityTexts) {
  std::string ansi;
  EXPECT_EQ("", stored::CheckIdentity(stored::Identity::kProductCode, u8"\u00c9Z1", &ansi));
  EXPECT_EQ("\xC9Z1", ansi);
  EXPECT_EQ("", stored::CheckIdentity(stored::Identity::kWindowClass, "", &ansi));
  EXPECT_EQ("", stored::CheckIdentity(stored::Identity::kWindowClass, std::string(31, 'w'), &ansi));
  EXPECT_EQ("is 32 bytes long in Windows-1252; at most 31 fit",
            stored::CheckIdentity(stored::Identity::kWindowClass, std::string(32, 'w'), &ansi));
  // Thirty-one characters of two UTF-8 bytes each still fit: the limit counts stored bytes.
  std::string accents;
  for (int i = 0; i < 31; ++i) accents += u8"\u00e9";
  EXPECT_EQ("", stored::CheckIdentity(stored::Identity::kMainProgram, accents, &ansi));
  EXPECT_EQ("contains the control character U+0009",
            stored::CheckIdentity(stored::Identity::kWindowClass, "a\tb", &ansi));
  EXPECT_EQ("must be a file name without folders",
            stored::CheckIdentity(stored::Identity::kMainProgram, "bin\\app.exe", &ansi));
}

TEST(StoredText, EntryNames) {
  EXPECT_EQ("docs\\read me.txt", Name("docs/read me.txt"));
  EXPECT_EQ(
      "Stra\xDF"
      "e\\\x80.txt",
      Name(u8"Stra\u00dfe\\\u20ac.txt"));
  EXPECT_EQ(std::string(1019, 'n'), Name(std::string(1019, 'n')));
  EXPECT_EQ("!is 1020 bytes long in Windows-1252; at most 1019 fit", Name(std::string(1020, 'n')));
  EXPECT_EQ("!is empty", Name(""));
  EXPECT_EQ("!starts with a separator; entry names are relative paths", Name("\\x.txt"));
  EXPECT_EQ("!starts with a separator; entry names are relative paths", Name("/x.txt"));
  EXPECT_EQ("!contains ':', which Windows file names cannot hold", Name("C:\\x.txt"));
  EXPECT_EQ("!has the component \"..\"", Name("a\\..\\x.txt"));
  EXPECT_EQ("!has the component \".\"", Name("./x.txt"));
  EXPECT_EQ("!has an empty folder component", Name("a\\\\x.txt"));
  EXPECT_EQ("!has an empty folder component", Name("a\\"));
  EXPECT_EQ("!has the component \"x.\" ending in a dot, which Windows drops", Name("x."));
  EXPECT_EQ("!has the component \"dir \" ending in a space, which Windows drops", Name("dir \\x"));
  EXPECT_EQ("!uses the device name \"nul.txt\", which Windows reserves", Name("a/nul.txt"));
  EXPECT_EQ("!uses the device name \"COM1\", which Windows reserves", Name("COM1"));
  EXPECT_EQ("COM10", Name("COM10"));
  EXPECT_EQ("!contains U+0081, the one character a stored text cannot hold", Name(u8"\u0081.txt"));
  EXPECT_EQ("!contains the control character U+000A", Name("a\nb"));
  EXPECT_EQ("!contains '?', which Windows file names cannot hold", Name("what?.txt"));
}

TEST(StoredText, FoldKeyComparesLettersWithoutCase) {
  EXPECT_EQ(stored::FoldKey("README.TXT"), stored::FoldKey("readme.txt"));
  EXPECT_EQ(stored::FoldKey("\xC9T\xC9.\x8A"), stored::FoldKey("\xE9t\xE9.\x9A"));  // ÉTÉ.Š and été.š
  EXPECT_NE(stored::FoldKey("a\xF7"), stored::FoldKey("a\xD7"));                    // ÷ and × are no letters
  EXPECT_EQ("x.txt", stored::LastComponent("a\\b/x.txt"));
}

TEST(StoredText, ExtractRefusesNamesLeavingTheFolder) {
  EXPECT_EQ(nullptr, stored::ExtractRefusal(u"docs\\readme.txt"));
  EXPECT_EQ(nullptr, stored::ExtractRefusal(u"a..b\\..c"));
  EXPECT_STREQ("is an absolute path", stored::ExtractRefusal(u"\\windows\\x.dll"));
  EXPECT_STREQ("is an absolute path", stored::ExtractRefusal(u"/etc/passwd"));
  EXPECT_STREQ("names a drive or a stream (':')", stored::ExtractRefusal(u"C:x.txt"));
  EXPECT_STREQ("names a drive or a stream (':')", stored::ExtractRefusal(u"a.txt:hidden"));
  for (const char16_t* name : {u"..\\evil.txt", u"a\\..\\..\\evil.txt", u"a/../../evil", u"..", u".. \\x", u"...\\x"}) {
    EXPECT_STREQ("would leave the folder (\"..\")", stored::ExtractRefusal(name)) << Utf16ToUtf8(name);
  }
}
