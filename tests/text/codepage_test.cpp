// The ANSI code page of every test environment is Windows-1252: natively the
// POSIX backend's own table, under Wine the system's conversion.
#include <gtest/gtest.h>

#include "text/bounded_text.h"

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
