#include "text/bounded_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>

namespace {

int Append(char16_t* b, int n) { return AppendWide(u"de", b, n); }
int Copy(char16_t* b, int n) { return CopyWide(u"abcdef", b, n), 0; }
int Ensure(char16_t* b, int n) { return EnsureTrailingSeparator(b, n), 0; }
int Strip(char16_t* b, int) { return StripFileName(b), 0; }
int Offset(char16_t* b, int) { return FileNameOffset(b); }
std::function<int(char16_t*, int)> Join(const char16_t* component) {
  return [component](char16_t* b, int n) { return AppendPathComponent(component, b, n); };
}

}  // namespace

// Each operation runs on a 32-unit buffer holding `start`, filled with a marker
// behind it; no unit at or past the capacity may be written.
TEST(BoundedText, ResultsAndCutsAtEachCapacity) {
  const struct {
    const char16_t* start;
    int capacity;
    std::function<int(char16_t*, int)> op;  // returns the operation's result, 0 for those without one
    const char16_t* text;                   // the buffer's text after it
    int result;
  } cases[] = {
      {u"abc", 4, Append, u"abc", kAppendNoRoom}, {u"abc", 5, Append, u"abcd", kAppendTruncated},
      {u"abc", 6, Append, u"abcde", 0},           {u"abc", 0, Append, u"abc", 0},
      {u"abcd", 4, Append, u"abcd", kAppendNoRoom},  // no terminator within capacity: full
      {u"old", 4, Copy, u"abc", 0},               {u"old", 1, Copy, u"", 0},
      {u"old", 0, Copy, u"old", 0},  // capacity 0 has no unit even for a terminator
      {u"old", 4, [](char16_t* b, int n) { return NarrowToWide("\x80\x80\x80\x80", b, n), 0; }, u"\u20AC\u20AC\u20AC", 0},
      {u"ab", 5, [](char16_t* b, int n) { return AppendNarrowToWide("cdef", b, n), 0; }, u"abcd", 0},
      // SetWide's source may lie further on in the destination's own buffer.
      {u"Name: Product 1.0", 8, [](char16_t* b, int n) { return SetWide(b + 6, b, n); }, u"Product", kAppendTruncated},
      {u"", 10, Ensure, u"", 0},      {u"C:", 10, Ensure, u"C:\\", 0},
      {u"C:\\d/", 10, Ensure, u"C:\\d/", 0}, {u"C:\\dir", 7, Ensure, u"C:\\dir", 0},
      {u"C:\\dir", 32, Join(u"\\sub"), u"C:\\dir\\sub", 0}, {u"C:/dir/", 32, Join(u"/sub"), u"C:/dir/sub", 0},
      {u"", 32, Join(u"sub"), u"sub", 0},                 {u"C:\\dir", 32, Join(u""), u"C:\\dir", 0},
      {u"C:\\dir", 10, Join(u"file.txt"), u"C:\\dir\\fi", kAppendTruncated},
      // The separator takes the last free unit and leaves none for the component.
      {u"C:\\dir", 8, Join(u"file.txt"), u"C:\\dir\\", kAppendNoRoom},
      {u"C:\\dir\\f.exe", 32, Strip, u"C:\\dir", 0}, {u"C:\\f.exe", 32, Strip, u"C:\\", 0},
      {u"C:\\", 32, Strip, u"C:\\", 0},             {u"f.exe", 32, Strip, u"", 0},
      {u"\\file", 32, Strip, u"", 0},               {u"ab/c", 32, Strip, u"ab", 0},
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
