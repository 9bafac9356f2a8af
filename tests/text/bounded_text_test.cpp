#include "text/bounded_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>

namespace {

int Append(char16_t* b, int n) { return AppendWide(u"de", b, n); }
int Copy(char16_t* b, int n) { return CopyWide(u"abcdef", b, n), 0; }
int Strip(char16_t* b, int) { return StripFileName(b), 0; }
int Offset(char16_t* b, int) { return FileNameOffset(b); }
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
      {u"old", 4, Copy, u"abc", 0}, {u"old", 1, Copy, u"", 0}, {u"old", 0, Copy, u"old", 0},  // 0: not even a terminator
      {u"old", 4, [](char16_t* b, int n) { return NarrowToWide("\x80\x80\x80\x80", b, n), 0; }, u"\u20AC\u20AC\u20AC", 0},
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
      {u"a\\b/c.txt", 32, Offset, u"a\\b/c.txt", 4}, {u"dir\\", 32, Offset, u"dir\\", 4},
  };
  for (const auto& c : cases) {
    char16_t b[32];
    std::fill(b, b + 32, u'#');
    std::u16string start(c.start);
    std::copy(start.c_str(), start.c_str() + start.size() + 1, b);
    const std::string shown = testing::PrintToString(start) + " capacity " + std::to_string(c.capacity);
    EXPECT_EQ(c.result, c.op(b, c.capacity)) << shown;
    EXPECT_EQ(std::u16string(c.text), std::u16string(b)) << shown;
    for (int u = std::max<int>(c.capacity, start.size() + 1); u < 32; ++u) EXPECT_EQ(u'#', b[u]) << shown << " unit " << u;
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
