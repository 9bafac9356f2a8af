// The ANSI code page of every test environment is Windows-1252.
#include <gtest/gtest.h>

#include <string>

#include "text/bounded_text.h"

namespace {

// Windows-1252 bytes 0x80 to 0x9F as Windows converts them; the five undefined
// bytes come back as the C1 control of the same value. All other bytes are identity.
const char16_t kHigh1252[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 0x80
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 0x88
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 0x90
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 0x98
};

char16_t Expected1252(int byte) {
  return (byte >= 0x80 && byte < 0xA0) ? kHigh1252[byte - 0x80] : static_cast<char16_t>(byte);
}

}  // namespace

TEST(CodePage, EveryByteConvertsAsWindows1252AndBack) {
  char bytes[256];
  for (int b = 1; b < 256; ++b) bytes[b - 1] = static_cast<char>(b);
  bytes[255] = 0;

  char16_t wide[257];
  wide[256] = u'#';
  NarrowToWide(bytes, wide, 256);
  for (int b = 1; b < 256; ++b) {
    EXPECT_EQ(Expected1252(b), wide[b - 1]) << "byte 0x" << std::hex << b;
  }
  EXPECT_EQ(0, wide[255]);
  EXPECT_EQ(u'#', wide[256]);

  char back[257];
  back[256] = '#';
  WideToNarrow(wide, back, 256);
  for (int b = 1; b < 256; ++b) {
    EXPECT_EQ(b, static_cast<unsigned char>(back[b - 1]))
        << "from U+" << std::hex << int(wide[b - 1]);
  }
  EXPECT_EQ(0, back[255]);
  EXPECT_EQ('#', back[256]);
}

TEST(CodePage, UnmappableCharactersBecomeQuestionMarks) {
  // CJK and Hangul have no best-fit form in Windows-1252.
  char narrow[16];
  WideToNarrow(u"a\u4E2D\u65E5b\uAC00", narrow, 16);
  EXPECT_STREQ("a??b?", narrow);
}

TEST(CodePage, ConversionsCutAtCapacity) {
  char16_t wide[8];
  for (char16_t& u : wide) u = u'#';
  NarrowToWide("\x80\x80\x80\x80\x80", wide, 4);
  EXPECT_EQ(u"\u20AC\u20AC\u20AC", std::u16string(wide));
  EXPECT_EQ(u'#', wide[4]);

  NarrowToWide("abcdef", wide, 1);
  EXPECT_EQ(u"", std::u16string(wide));

  char narrow[8];
  for (char& c : narrow) c = '#';
  WideToNarrow(u"\u20ACbcdef", narrow, 4);
  EXPECT_EQ(std::string("\x80" "bc"), narrow);
  EXPECT_EQ('#', narrow[4]);

  WideToNarrow(u"abcdef", narrow, 1);
  EXPECT_STREQ("", narrow);
}
